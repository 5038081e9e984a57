#include "DataFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace drovane {
namespace {
constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QString failure(const QSaveFile& file, const QString& reason) {
    return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file.fileName()), reason);
}

// Writes the new content in full to the temporary file beside the old one, so that
// nothing is left to fail for want of space once the old file is replaced.
QString stage(QSaveFile& file, const QByteArray& bytes) {
    if (!file.open(QIODevice::WriteOnly))
        return failure(file, file.errorString());
    // The temporary file must never be readable by others: it holds the password.
    file.setPermissions(kOwnerOnly);
    qint64 written = file.write(bytes);
    // A short write records no error; writing the rest again fails with the reason.
    if (written >= 0 && written < bytes.size())
        written +=
            std::max<qint64>(0, file.write(bytes.constData() + written, bytes.size() - written));
    // commit() ignores a failure of its own final flush and would rename a short file
    // over the old one (a full disk), so the buffer is flushed and checked here.
    if (written != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return failure(file, reason);
    }
    return QString();
}

QString commit(QSaveFile& file) {
    return file.commit() ? QString() : failure(file, file.errorString());
}

} // namespace

FileRead FolderFiles::read(const QString& name) const {
    const QString path = QDir(folder_).filePath(name);
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {FileRead::Failed, {}, file.errorString()};
    return {FileRead::Read, file.readAll(), {}};
}

QString FolderFiles::replace(const QList<NamedBytes>& files) {
    std::vector<std::unique_ptr<QSaveFile>> staged;
    for (const NamedBytes& f : files) {
        staged.push_back(std::make_unique<QSaveFile>(QDir(folder_).filePath(f.name)));
        if (QString error = stage(*staged.back(), f.bytes); !error.isEmpty())
            return error;
    }
    for (auto& file : staged)
        if (QString error = commit(*file); !error.isEmpty())
            return error;
    return QString();
}

Options FolderFiles::readOptions() const {
    const QSettings ini(QDir(folder_).filePath(QLatin1String(kOptionsFile)), QSettings::IniFormat);
    const Options defaults;
    Options o;
    o.secure = ini.value(QStringLiteral("secure"), defaults.secure).toBool();
    o.testEnvironment =
        ini.value(QStringLiteral("test-environment"), defaults.testEnvironment).toBool();
    o.buyAtOnce = ini.value(QStringLiteral("buy-at-once"), defaults.buyAtOnce).toBool();
    return o;
}

QString FolderFiles::writeOptions(const Options& options) {
    const QString path = QDir(folder_).filePath(QLatin1String(kOptionsFile));
    // QSettings replaces the file atomically and keeps the permissions of the one it
    // replaces, so a new file is made owner-only first.
    if (const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        fd >= 0)
        ::close(fd);
    QSettings ini(path, QSettings::IniFormat);
    // Keys this version does not know stay in the file as they were.
    ini.setValue(QStringLiteral("secure"), options.secure);
    ini.setValue(QStringLiteral("test-environment"), options.testEnvironment);
    ini.setValue(QStringLiteral("buy-at-once"), options.buyAtOnce);
    ini.sync();
    if (ini.status() != QSettings::NoError)
        return QStringLiteral("%1: cannot be written").arg(QDir::toNativeSeparators(path));
    return QString();
}

void FolderFiles::removeStaleSaves() {
    // QSaveFile names its temporary file after the target plus six random characters.
    const QDir dir(folder_);
    const QStringList stale =
        dir.entryList({QStringLiteral("settings.dat.??????"), QStringLiteral("domains.dat.??????")},
                      QDir::Files | QDir::Hidden);
    for (const QString& name : stale)
        QFile::remove(dir.filePath(name));
}

} // namespace drovane
