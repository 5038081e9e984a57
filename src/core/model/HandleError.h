#pragma once

#include <QString>

namespace drovane {

// The common error routine: every handler hands its failures here and ends. Nothing
// is shown to the user, but each failure leaves one line on standard error.
void HandleError(long number, const QString& description, const QString& procedure,
                 const QString& source, const QString& module);

// Counts the calls, so tests can tell that a failure was trapped.
int handledErrorCount();

} // namespace drovane
