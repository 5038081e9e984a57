#include "SettingsStore.h"

#include "SettingNames.h"
#include "core/model/HandleError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace drovane {
namespace {
const QString kModule = QStringLiteral("modMain");
const QString kSettingsFile = QStringLiteral("settings.dat");
const QString kDomainsFile = QStringLiteral("domains.dat");

// Where packages and `make install` put programs. Files written there belong to no package,
// are shared by every user of the machine, and an administrator starting the program would
// leave the account password beside the executables; root may write there all the same.
bool isSystemFolder(const QString& folder) {
    const QString path = QFileInfo(folder).canonicalFilePath();
    for (const char* root : {"/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
        const QLatin1String prefix(root);
        if (path.startsWith(prefix) &&
            (path.size() == prefix.size() || path.at(prefix.size()) == QLatin1Char('/')))
            return true;
    }
    return false;
}
} // namespace

SettingsStore::SettingsStore(const QString& folder)
    : SettingsStore(std::make_unique<FolderFiles>(folder)) {}

SettingsStore::SettingsStore(std::unique_ptr<DataFiles> files) : files_(std::move(files)) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::folder() const {
    return files_->folder();
}

QString SettingsStore::settingsPath() const {
    return QDir(files_->folder()).filePath(kSettingsFile);
}
QString SettingsStore::domainsPath() const {
    return QDir(files_->folder()).filePath(kDomainsFile);
}
QString SettingsStore::logPath() const {
    return QDir(files_->folder()).filePath(QStringLiteral("enomlog.txt"));
}

QString SettingsStore::Settings(int k) const {
    return k >= 1 && k <= kSettingCount ? settings_[k] : QString();
}

void SettingsStore::setSettings(int k, const QString& value) {
    if (k >= 1 && k <= kSettingCount)
        settings_[k] = value;
}

void SettingsStore::GetSettings() {
    const FileRead file = files_->read(kSettingsFile);
    options_ = files_->readOptions();
    optionsChanged_ = false;
    if (file.status == FileRead::Missing) {
        settings_ = SettingsArray{};
        return;
    }
    if (file.status == FileRead::Failed) {
        HandleError(53, file.error, QStringLiteral("GetSettings"), settingsPath(), kModule);
        return;
    }
    const int pieces = decodeSettings(file.bytes, settings_);
    if (pieces < kSettingCount)
        HandleError(9,
                    QStringLiteral("Subscript out of range: settings.dat holds %1 of 20 settings")
                        .arg(pieces),
                    QStringLiteral("GetSettings"), settingsPath(), kModule);
}

void SettingsStore::setOptions(const Options& options) {
    if (options == options_)
        return;
    options_ = options;
    optionsChanged_ = true;
}

SaveResult SettingsStore::WriteSettings(const MainFields& f) {
    settings_[setting::Username] = f.username;
    settings_[setting::Password] = f.password;
    settings_[setting::DelayTime] = f.delayTime;
    settings_[setting::Logging] = QString::number(f.logging);
    settings_[setting::NameServers] = QString::number(f.nameServers);
    settings_[setting::StartImmediately] = QString::number(f.startImmediately);
    settings_[setting::StartTime] = f.startTime;
    settings_[setting::EndTime] = f.endTime;

    QString error = files_->replace(
        {{kSettingsFile, encodeSettings(settings_)}, {kDomainsFile, encodeDomains(f.domains)}});
    if (error.isEmpty() && optionsChanged_) {
        error = files_->writeOptions(options_);
        optionsChanged_ = !error.isEmpty();
    }
    if (!error.isEmpty()) {
        HandleError(75, error, QStringLiteral("WriteSettings"), files_->folder(), kModule);
        return {false, error};
    }
    return {};
}

QString SettingsStore::readDomains() const {
    const FileRead file = files_->read(kDomainsFile);
    if (file.status == FileRead::Failed)
        HandleError(53, file.error, QStringLiteral("Form_Load"), domainsPath(),
                    QStringLiteral("frmMain"));
    return file.status == FileRead::Read ? decodeDomains(file.bytes) : QString();
}

void SettingsStore::removeStaleSaves() const {
    files_->removeStaleSaves();
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

QString dataFolder(const QString& executableFolder) {
    const QFileInfo exe(executableFolder);
    if (exe.isDir() && exe.isWritable() && !isSystemFolder(executableFolder))
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
