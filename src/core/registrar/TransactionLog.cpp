#include "TransactionLog.h"

#include "core/platform/OwnedFiles.h"
#include "core/settings/Cp1252.h"

#include <QFile>

namespace drovane {

QByteArray TransactionLog::line(const QDateTime& when, const QString& domain, int tries) {
    return when.toString(QStringLiteral("MM/dd/yyyy HH:mm:ss")).toLatin1() + " - " +
           cp1252::encode(domain) + " - Tries: " + QByteArray::number(tries) + "\r\n";
}

QString TransactionLog::append(const QDateTime& when, const QString& domain, int tries) const {
    QFile file;
    if (QString reason; !openOwnedForAppend(file, path_, &reason))
        return reason;
    const QByteArray bytes = line(when, domain, tries);
    if (file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    return QString();
}

} // namespace drovane
