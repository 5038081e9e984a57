#include "PasswordPlaces.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPluginLoader>
#include <QStringDecoder>

namespace drovane {
namespace {
// Far more than any password; a larger file is not one.
constexpr qint64 kCredentialMaxBytes = 4096;

CredentialRead failed(const QString& path, const QString& why) {
    return {CredentialRead::Failed,
            {},
            QStringLiteral("The credential file %1 %2, so no password was read from it.")
                .arg(QDir::toNativeSeparators(path), why)};
}
} // namespace

CredentialRead readCredentialFile(const QString& path) {
    if (path.isEmpty())
        return {};
    // A mounted secret (Kubernetes) is a symbolic link into its volume: followed.
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (!info.isFile())
        return failed(path, QStringLiteral("is not a regular file"));
    if (info.size() > kCredentialMaxBytes)
        return failed(path, QStringLiteral("is larger than %1 bytes").arg(kCredentialMaxBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed(path, QStringLiteral("cannot be read (%1)").arg(file.errorString()));
    QByteArray bytes = file.read(kCredentialMaxBytes + 1);
    // `echo` and editors end the file with a line end; nobody means it as part of it.
    if (bytes.endsWith('\n'))
        bytes.chop(1);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    if (bytes.isEmpty())
        return failed(path, QStringLiteral("is empty"));
    if (bytes.contains('\n') || bytes.contains('\r'))
        return failed(path, QStringLiteral("holds more than one line"));
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return failed(path, QStringLiteral("holds a control character"));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return failed(path, QStringLiteral("is not UTF-8 text"));
    return {CredentialRead::Read, text, {}};
}

QString credentialPathFromEnvironment() {
    const QString folder = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    if (folder.isEmpty())
        return QString();
    return QDir(folder).filePath(QLatin1String(kCredentialName));
}

Keyring* loadKeyring(const QString& executableFolder, QString* why) {
    QString lastError;
    const QDir bin(executableFolder);
    for (const QString& folder :
         {bin.path(), bin.filePath(QStringLiteral("../lib/drovane/plugins"))}) {
        const QString path = QDir::cleanPath(QDir(folder).filePath(QLatin1String(kKeyringPlugin)));
        if (!QFileInfo(path).isFile())
            continue;
        // Never unloaded: the keyring lives as long as the program.
        auto* loader = new QPluginLoader(path);
        if (auto* keyring = qobject_cast<Keyring*>(loader->instance()))
            return keyring;
        lastError = QStringLiteral("%1 did not load: %2").arg(path, loader->errorString());
        delete loader;
    }
    // The places looked in are in the manual; the window has room for a few words only.
    if (why)
        *why = !lastError.isEmpty() ? lastError
                                    : QStringLiteral("the keyring module is not installed");
    return nullptr;
}

} // namespace drovane
