#include "SettingsStore.h"

#include "core/model/HandleError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace drovane {
namespace {
const QString kModule = QStringLiteral("modMain");
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

SettingsStore::SettingsStore(const QString& folder) : folder_(folder) {}

QString SettingsStore::settingsPath() const {
    return QDir(folder_).filePath(QStringLiteral("settings.dat"));
}
QString SettingsStore::domainsPath() const {
    return QDir(folder_).filePath(QStringLiteral("domains.dat"));
}
QString SettingsStore::logPath() const {
    return QDir(folder_).filePath(QStringLiteral("enomlog.txt"));
}

QString SettingsStore::Settings(int k) const {
    return k >= 1 && k <= kSettingCount ? settings_[k] : QString();
}

void SettingsStore::setSettings(int k, const QString& value) {
    if (k >= 1 && k <= kSettingCount)
        settings_[k] = value;
}

void SettingsStore::GetSettings() {
    const QString path = settingsPath();
    if (!FileExists(path)) {
        settings_ = SettingsArray{};
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        HandleError(53, file.errorString(), QStringLiteral("GetSettings"), path, kModule);
        return;
    }
    const QByteArray bytes = file.readAll();
    const int pieces = decodeSettings(bytes, settings_);
    if (pieces < kSettingCount)
        HandleError(9,
                    QStringLiteral("Subscript out of range: settings.dat holds %1 of 20 settings")
                        .arg(pieces),
                    QStringLiteral("GetSettings"), path, kModule);
}

SaveResult SettingsStore::WriteSettings(const MainFields& f) {
    settings_[2] = f.username;
    settings_[3] = f.password;
    settings_[5] = f.delayTime;
    settings_[4] = QString::number(f.logging);
    settings_[16] = QString::number(f.nameServers);
    settings_[13] = QString::number(f.startImmediately);
    settings_[14] = f.startTime;
    settings_[15] = f.endTime;

    // Both new files are written in full before either replaces its old one, so a disk
    // that fills up on the second file still leaves the old pair as it was.
    QSaveFile settingsFile(settingsPath());
    QSaveFile domainsFile(domainsPath());
    QString error = stage(settingsFile, encodeSettings(settings_));
    if (error.isEmpty())
        error = stage(domainsFile, encodeDomains(f.domains));
    if (error.isEmpty())
        error = commit(settingsFile);
    if (error.isEmpty())
        error = commit(domainsFile);
    if (!error.isEmpty()) {
        HandleError(75, error, QStringLiteral("WriteSettings"), folder_, kModule);
        return {false, error};
    }
    return {};
}

QString SettingsStore::readDomains() const {
    const QString path = domainsPath();
    if (!FileExists(path))
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        HandleError(53, file.errorString(), QStringLiteral("Form_Load"), path,
                    QStringLiteral("frmMain"));
        return QString();
    }
    return decodeDomains(file.readAll());
}

void SettingsStore::removeStaleSaves() const {
    // QSaveFile names its temporary file after the target plus six random characters.
    const QDir dir(folder_);
    const QStringList stale =
        dir.entryList({QStringLiteral("settings.dat.??????"), QStringLiteral("domains.dat.??????")},
                      QDir::Files | QDir::Hidden);
    for (const QString& name : stale)
        QFile::remove(dir.filePath(name));
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

QString writeFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    const QString error = stage(file, bytes);
    return error.isEmpty() ? commit(file) : error;
}

QString dataFolder(const QString& executableFolder) {
    const QFileInfo exe(executableFolder);
    if (exe.isDir() && exe.isWritable())
        return executableFolder;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty())
        folder = QDir::home().filePath(QStringLiteral(".drovane"));
    QDir().mkpath(folder);
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return folder;
}

} // namespace drovane
