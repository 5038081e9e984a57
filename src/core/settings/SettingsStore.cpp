#include "SettingsStore.h"

#include "FolderMessages.h"
#include "PasswordPlaces.h"
#include "SettingNames.h"
#include "core/model/HandleError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "core/platform/OwnedFiles.h"

#include <cerrno>
#include <utility>

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

namespace {
bool isPlace(Setting k) {
    return int(k) >= 1 && int(k) <= kSettingCount;
}
} // namespace

QString SettingsStore::Settings(Setting k) const {
    return isPlace(k) ? settings_[k] : QString();
}

void SettingsStore::setSettings(Setting k, const QString& value) {
    if (isPlace(k))
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
    } else if (file.status == FileRead::Failed) {
        // Nothing of a file that was not read counts, as if it were not there.
        settings_ = SettingsArray{};
        HandleError(53, file.error, QStringLiteral("GetSettings"), settingsPath(), kModule);
    } else if (const int pieces = decodeSettings(file.bytes, settings_); pieces < kSettingCount) {
        HandleError(9,
                    QStringLiteral("Subscript out of range: settings.dat holds %1 of 20 settings")
                        .arg(pieces),
                    QStringLiteral("GetSettings"), settingsPath(), kModule);
    }
    resolvePassword();
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
        return {false, edit.error(), {}, {}};
    }
    settings_[Setting::Username] = f.username;
    settings_[Setting::Password] = f.password;
    settings_[Setting::DelayTime] = f.delayTime;
    settings_[Setting::Logging] = QString::number(f.logging);
    settings_[Setting::NameServers] = QString::number(f.nameServers);
    settings_[Setting::StartImmediately] = QString::number(f.startImmediately);
    settings_[Setting::StartTime] = f.startTime;
    settings_[Setting::EndTime] = f.endTime;
    SaveResult result;
    QString staleEntry;
    SettingsArray onDisk = settings_;
    onDisk[Setting::Password] = placePassword(f, result, &staleEntry);

    QList<NamedBytes> files;
    if (!unreadable_.contains(kSettingsFile))
        files.append({kSettingsFile, encodeSettings(onDisk)});
    if (!unreadable_.contains(kDomainsFile))
        files.append({kDomainsFile, encodeDomains(f.domains)});
    QString error = files.isEmpty() ? QString() : files_->replace(files);
    if (error.isEmpty() && optionsChanged_ && !unreadable_.contains(kOptions)) {
        error = files_->writeOptions(options_);
        optionsChanged_ = !error.isEmpty();
    }
    if (!error.isEmpty()) {
        HandleError(75, error, QStringLiteral("WriteSettings"), files_->folder(), kModule);
        return {false, error, {}, result.notice};
    }
    if (!unreadable_.contains(kSettingsFile)) {
        diskPassword_ = onDisk[Setting::Password];
        if (source_ != PasswordSource::CredentialFile)
            source_ = diskPassword_.isEmpty() && !f.password.isEmpty()
                          ? PasswordSource::Keyring
                          : PasswordSource::SettingsFile;
        // settings.dat holds the password now: the keyring's copy would only go stale.
        if (!staleEntry.isEmpty() && keyring_->remove(staleEntry).isEmpty())
            keyringHolds_ = {staleEntry, QString()};
    }
    for (const QString& name : unreadable_.keys())
        result.leftAlone << QDir(files_->folder()).filePath(name);
    return result;
}

void SettingsStore::setKeyring(Keyring* keyring, const QString& unavailableReason) {
    keyring_ = keyring;
    keyringMissing_ = unavailableReason;
    keyringHolds_.reset();
    keyringAnswered_ = false;
    keyringDown_ = false;
}

void SettingsStore::setCredentialFile(const QString& path) {
    credentialPath_ = path;
}

Keyring::Lookup SettingsStore::keyringLookup(const QString& user) {
    if (keyringHolds_ && keyringHolds_->first == user) {
        if (keyringHolds_->second.isEmpty())
            return {Keyring::Lookup::NotFound, {}, {}};
        return {Keyring::Lookup::Found, keyringHolds_->second, {}};
    }
    Keyring::Lookup lookup = keyring_->read(user);
    if (lookup.status == Keyring::Lookup::Failed) {
        // Asked again at every save it would prompt the user again: not this session.
        keyringDown_ = true;
        keyringError_ = lookup.error;
        return lookup;
    }
    keyringAnswered_ = true;
    keyringHolds_ = {user, lookup.status == Keyring::Lookup::Found ? lookup.secret : QString()};
    return lookup;
}

void SettingsStore::resolvePassword() {
    diskPassword_ = settings_[Setting::Password];
    passwordProblem_.clear();
    source_ = PasswordSource::SettingsFile;
    if (const CredentialRead credential = readCredentialFile(credentialPath_);
        credential.status != CredentialRead::Absent) {
        source_ = PasswordSource::CredentialFile;
        settings_[Setting::Password] = credential.password;
        passwordProblem_ = credential.error;
        return;
    }
    const QString user = settings_[Setting::Username];
    if (!keyring_ || keyringDown_ || user.isEmpty())
        return;
    if (!diskPassword_.isEmpty()) {
        // Only to learn whether the keyring could take it, for the offer to move it.
        if (options_.keyring == Options::Keyring::Unasked)
            keyringLookup(user);
        return;
    }
    const Keyring::Lookup lookup = keyringLookup(user);
    if (lookup.status == Keyring::Lookup::Found) {
        settings_[Setting::Password] = lookup.secret;
        source_ = PasswordSource::Keyring;
    } else if (lookup.status == Keyring::Lookup::Failed &&
               options_.keyring == Options::Keyring::Yes) {
        passwordProblem_ =
            QStringLiteral("The password is kept in the system keyring, which did not answer: %1. "
                           "Unlock the keyring and start again; a password entered meanwhile is "
                           "kept in settings.dat in clear text until then.")
                .arg(lookup.error);
    }
}

QString SettingsStore::placePassword(const MainFields& f, SaveResult& result,
                                     QString* removeAfter) {
    const QString& user = f.username;
    const QString& password = f.password;
    // A credential file is the administrator's: settings.dat keeps what it had.
    if (source_ == PasswordSource::CredentialFile)
        return diskPassword_;
    const bool holdsUsersSecret =
        keyringHolds_ && keyringHolds_->first == user && !keyringHolds_->second.isEmpty();
    // A clear-text password stays where it is until the user chose.
    const bool wanted = keyringChosen() && !user.isEmpty();
    if (!wanted) {
        if (keyring_ && !keyringDown_ && options_.keyring == Options::Keyring::No &&
            !password.isEmpty() && holdsUsersSecret)
            *removeAfter = user;
        return password;
    }
    if (keyringDown_) {
        if (!password.isEmpty())
            tellFallback(result);
        return password;
    }
    if (password.isEmpty()) {
        // The user emptied the field; a keyring that was not read leaves nothing to empty.
        if (holdsUsersSecret)
            *removeAfter = user;
        return QString();
    }
    if (keyringHolds_ && keyringHolds_->first == user && keyringHolds_->second == password)
        return QString();
    // Before settings.dat loses its copy, so the password is always in one of them.
    if (const QString error = keyring_->write(user, password); !error.isEmpty()) {
        keyringDown_ = true;
        keyringError_ = error;
        tellFallback(result);
        return password;
    }
    keyringAnswered_ = true;
    keyringHolds_ = {user, password};
    if (options_.keyring == Options::Keyring::Unasked) {
        options_.keyring = Options::Keyring::Yes;
        optionsChanged_ = true;
    }
    return QString();
}

void SettingsStore::tellFallback(SaveResult& result) {
    if (std::exchange(fallbackTold_, true))
        return;
    result.notice =
        QStringLiteral("The system keyring did not take the password (%1). It is kept in "
                       "settings.dat in clear text, as before, until the keyring answers again.")
            .arg(keyringError_);
}

bool SettingsStore::offerKeyringMove() const {
    return keyringAnswers() && source_ == PasswordSource::SettingsFile &&
           !diskPassword_.isEmpty() && options_.keyring == Options::Keyring::Unasked &&
           !unreadable_.contains(kSettingsFile) && !unreadable_.contains(kOptions);
}

bool SettingsStore::keyringChosen() const {
    if (!keyring_ || options_.keyring == Options::Keyring::No)
        return false;
    return options_.keyring == Options::Keyring::Yes || diskPassword_.isEmpty();
}

void SettingsStore::chooseKeyring(bool keep) {
    const Options::Keyring choice = keep ? Options::Keyring::Yes : Options::Keyring::No;
    if (options_.keyring == choice)
        return;
    options_.keyring = choice;
    optionsChanged_ = true;
}

QString SettingsStore::passwordPlace() const {
    switch (source_) {
    case PasswordSource::CredentialFile:
        return QStringLiteral("the credential file %1")
            .arg(QDir::toNativeSeparators(credentialPath_));
    case PasswordSource::Keyring:
        return QStringLiteral("the system keyring");
    case PasswordSource::SettingsFile:
        break;
    }
    if (!settings_[Setting::Password].isEmpty())
        return QStringLiteral("settings.dat, in clear text");
    if (keyringAnswers() && options_.keyring != Options::Keyring::No)
        return QStringLiteral("none stored yet; the system keyring will keep it");
    return QStringLiteral("none stored yet; settings.dat will keep it in clear text");
}

QString SettingsStore::passwordPlaceReason() const {
    if (!passwordProblem_.isEmpty())
        return passwordProblem_;
    if (source_ != PasswordSource::SettingsFile)
        return QString();
    if (!keyring_)
        return keyringMissing_.isEmpty()
                   ? QString()
                   : QStringLiteral("no system keyring: %1").arg(keyringMissing_);
    if (keyringDown_)
        return QStringLiteral("the system keyring did not answer: %1").arg(keyringError_);
    if (options_.keyring == Options::Keyring::No)
        return QStringLiteral("kept out of the system keyring as chosen");
    if (!diskPassword_.isEmpty())
        return keyringAnswered_ ? QStringLiteral("not moved into the system keyring yet")
                                : QString();
    return QString();
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
