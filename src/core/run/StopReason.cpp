#include "StopReason.h"

namespace drovane {

QString stopReasonWord(StopReason reason) {
    switch (reason) {
    case StopReason::None:
        return QStringLiteral("none");
    case StopReason::User:
        return QStringLiteral("user");
    case StopReason::EndTime:
        return QStringLiteral("end-time");
    case StopReason::AccountRejected:
        return QStringLiteral("account-rejected");
    case StopReason::CertificateFailure:
        return QStringLiteral("secure-connection-failed");
    case StopReason::AddressRefused:
        return QStringLiteral("address-refused");
    case StopReason::StopAll:
        return QStringLiteral("stop-all");
    }
    return QString();
}

} // namespace drovane
