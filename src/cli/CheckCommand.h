#pragma once

#include "CommandLine.h"

namespace drovane::cli {

// `drovane-cli check`: the setup checked as a run would find it; one line per check.
// Returns 0 when ready, 1 when something is not ready.
int checkCommand(const Invocation& invocation, const QString& folder);

} // namespace drovane::cli
