#pragma once

#include "CommandLine.h"

namespace drovane::cli {

// `drovane-cli run`: a run from the saved files until it ends. Returns the exit status.
int runCommand(const Invocation& invocation, const QString& folder);

} // namespace drovane::cli
