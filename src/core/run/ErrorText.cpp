#include "ErrorText.h"

#include "core/registrar/OrdersRecord.h"

namespace drovane {

QString shortErrorDescription(const QString& description) {
    if (description.size() <= kErrorDescriptionMax)
        return description;
    qsizetype keep = kErrorDescriptionMax - 1;
    // Never keep half of a surrogate pair.
    if (description[keep - 1].isHighSurrogate())
        --keep;
    return description.left(keep) + QChar(0x2026);
}

QString printableLine(const QString& text) {
    return oneLineText(shortErrorDescription(text));
}

QString errorDialogText(const QString& description, int times) {
    const QString text = shortErrorDescription(description);
    return times > 1 ? QStringLiteral("(%1 times) %2").arg(times).arg(text) : text;
}

} // namespace drovane
