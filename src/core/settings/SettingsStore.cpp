#include "SettingsStore.h"

#include "FolderMessages.h"
#include "SettingNames.h"
#include "core/model/HandleError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/platform/OwnedFiles.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace drovane {
namespace {
const QString kModule = QStringLiteral("modMain");
const QString kSettingsFile = QStringLiteral("settings.dat");
const QString kDomainsFile = QStringLiteral("domains.dat");
const QString kOptions = QLatin1String(kOptionsFile);

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
QString SettingsStore::ordersPath() const {
    return QDir(files_->folder()).filePath(QStringLiteral("orders.txt"));
}

QString SettingsStore::Settings(int k) const {
    return k >= 1 && k <= kSettingCount ? settings_[k] : QString();
}

void SettingsStore::setSettings(int k, const QString& value) {
    if (k >= 1 && k <= kSettingCount)
        settings_[k] = value;
}

void SettingsStore::noteLoad(const QString& name, FileRead::Status status, const QString& reason) {
    if (status == FileRead::Failed)
        unreadable_[name] = reason;
    else
        unreadable_.remove(name);
}

QStringList SettingsStore::loadProblems() const {
    QStringList texts;
    for (auto it = unreadable_.begin(); it != unreadable_.end(); ++it)
        texts << QStringLiteral("%1 was not read: %2. Drovane leaves this file as it is and "
                                "does not save over it until it is started again, so changes "
                                "to what it holds are not kept.")
                     .arg(QDir::toNativeSeparators(QDir(files_->folder()).filePath(it.key())),
                          it.value());
    for (const QString& notice : optionNotices_)
        texts << QStringLiteral("%1: %2.").arg(
            QDir::toNativeSeparators(QDir(files_->folder()).filePath(kOptions)), notice);
    return texts;
}

void SettingsStore::GetSettings() {
    const FileRead file = files_->read(kSettingsFile);
    noteLoad(kSettingsFile, file.status, file.error);
    const OptionsRead options = files_->readOptions();
    noteLoad(kOptions, options.status, options.error);
    if (options.status == FileRead::Failed)
        HandleError(53, options.error, QStringLiteral("GetSettings"),
                    QDir(files_->folder()).filePath(kOptions), kModule);
    options_ = options.options;
    optionNotices_ = options.notices;
    optionsChanged_ = false;
    if (file.status == FileRead::Missing) {
        settings_ = SettingsArray{};
        return;
    }
    if (file.status == FileRead::Failed) {
        // Nothing of a file that was not read counts, as if it were not there.
        settings_ = SettingsArray{};
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
    const EditScope edit(*this);
    if (!edit) {
        HandleError(75, edit.error(), QStringLiteral("WriteSettings"), files_->folder(), kModule);
        return {false, edit.error(), {}};
    }
    settings_[setting::Username] = f.username;
    settings_[setting::Password] = f.password;
    settings_[setting::DelayTime] = f.delayTime;
    settings_[setting::Logging] = QString::number(f.logging);
    settings_[setting::NameServers] = QString::number(f.nameServers);
    settings_[setting::StartImmediately] = QString::number(f.startImmediately);
    settings_[setting::StartTime] = f.startTime;
    settings_[setting::EndTime] = f.endTime;

    QList<NamedBytes> files;
    if (!unreadable_.contains(kSettingsFile))
        files.append({kSettingsFile, encodeSettings(settings_)});
    if (!unreadable_.contains(kDomainsFile))
        files.append({kDomainsFile, encodeDomains(f.domains)});
    QString error = files.isEmpty() ? QString() : files_->replace(files);
    if (error.isEmpty() && optionsChanged_ && !unreadable_.contains(kOptions)) {
        error = files_->writeOptions(options_);
        optionsChanged_ = !error.isEmpty();
    }
    if (!error.isEmpty()) {
        HandleError(75, error, QStringLiteral("WriteSettings"), files_->folder(), kModule);
        return {false, error, {}};
    }
    QStringList leftAlone;
    for (const QString& name : unreadable_.keys())
        leftAlone << QDir(files_->folder()).filePath(name);
    return {true, {}, leftAlone};
}

QString SettingsStore::readDomains() {
    const FileRead file = files_->read(kDomainsFile);
    noteLoad(kDomainsFile, file.status, file.error);
    if (file.status == FileRead::Failed)
        HandleError(53, file.error, QStringLiteral("Form_Load"), domainsPath(),
                    QStringLiteral("frmMain"));
    return file.status == FileRead::Read ? decodeDomains(file.bytes) : QString();
}

void SettingsStore::removeStaleSaves() {
    // Under the edit lock no save of another process is under way, so no temporary file
    // of one is taken for a leftover.
    if (const EditScope edit(*this); edit)
        files_->removeStaleSaves();
}

SettingsStore::EditScope::EditScope(SettingsStore& store) : store_(store) {
    if (store_.editDepth_++ > 0) {
        error_ = store_.editError_; // an inner scope fares as the outermost did
        return;
    }
    LockAttempt attempt = store_.files_->lock(FolderRole::Edit, kEditWaitMs);
    store_.editLock_ = std::move(attempt.lock);
    if (!store_.editLock_)
        error_ = attempt.busy ? folderBusyMessage(store_.folder(), attempt.holder, kEditWaitMs)
                              : attempt.error;
    store_.editError_ = error_;
}

SettingsStore::EditScope::~EditScope() {
    if (--store_.editDepth_ == 0)
        store_.editLock_.reset();
}

std::unique_ptr<HeldLock> SettingsStore::claim(FolderRole role, QString* refusal) {
    LockAttempt attempt = files_->lock(role, 0);
    if (!attempt)
        *refusal = attempt.busy ? folderHeldMessage(role, files_->folder(), attempt.holder)
                                : folderLockFailedMessage(attempt.error);
    return std::move(attempt.lock);
}

bool FileExists(const QString& path) {
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

QString folderTrustProblem(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return systemError(errno);
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("it is not a folder");
    // Root may keep a service's folder, which belongs to the service's own user.
    if (st.st_uid != ::geteuid() && ::geteuid() != 0)
        return QStringLiteral("it belongs to another user");
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("its group or other users may write to it");
    return QString();
}

bool ownPrivateFolder(const QString& path) {
    // As OpenSSH's StrictModes: a folder others can write to lets them put links or
    // their own files where the program's files belong.
    struct stat st {};
    const QByteArray native = QFile::encodeName(path);
    return !path.isEmpty() && ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           st.st_uid == ::geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 &&
           ::access(native.constData(), W_OK) == 0;
}

QString dataFolder(const QString& executableFolder) {
    if (ownPrivateFolder(executableFolder) && !isSystemFolder(executableFolder))
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
