#pragma once

#include "CommandLine.h"

namespace drovane::cli {

// `drovane-cli settings show|set`. Returns the exit status.
int settingsCommand(const Invocation& invocation, const QString& folder);

} // namespace drovane::cli
