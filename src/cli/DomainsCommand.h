#pragma once

#include "CommandLine.h"

namespace drovane::cli {

// `drovane-cli domains list|add|remove|import`. Returns the exit status.
int domainsCommand(const Invocation& invocation, const QString& folder);

} // namespace drovane::cli
