#include "HandleError.h"

#include <QtGlobal>

namespace drovane {
namespace {
int errorCount = 0;
}

void HandleError(long number, const QString& description, const QString& procedure,
                 const QString& source, const QString& module) {
    ++errorCount;
    qWarning("Drovane error %ld in %s.%s (%s): %s", number, qUtf8Printable(module),
             qUtf8Printable(procedure), qUtf8Printable(source), qUtf8Printable(description));
}

int handledErrorCount() {
    return errorCount;
}

} // namespace drovane
