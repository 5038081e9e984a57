#include "OrdersRecord.h"

#include "core/platform/OwnedFiles.h"

#include <QFile>

namespace drovane {

QString oneLineText(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = u' ';
    return out;
}

QByteArray OrdersRecord::line(const QDateTime& whenUtc, const QString& domain,
                              const QString& orderId, int slot) {
    // Put together piece by piece: a "%1" in a name must stay as it is.
    const QString text = whenUtc.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                         QStringLiteral(" UTC - ") + oneLineText(domain) +
                         QStringLiteral(" - Order ID: ") + oneLineText(orderId) +
                         QStringLiteral(" - Slot: ") + QString::number(slot) + u'\n';
    return text.toUtf8();
}

QString OrdersRecord::append(const QDateTime& whenUtc, const QString& domain,
                             const QString& orderId, int slot) const {
    // A planted link or someone else's file in its place must not receive the line.
    QFile file;
    if (QString reason; !openOwnedForAppend(file, path_, &reason))
        return reason;
    const QByteArray bytes = line(whenUtc, domain, orderId, slot);
    if (file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    return QString();
}

} // namespace drovane
