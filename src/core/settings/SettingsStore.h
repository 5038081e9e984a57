#pragma once

#include "DataFiles.h"
#include "Keyring.h"
#include "Options.h"
#include "SettingsCodec.h"
#include "core/model/MainFields.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>

namespace drovane {

// Outcome of a save, so that the settings window can tell the user why it failed.
struct SaveResult {
    bool ok = true;
    QString error;
    // Paths of files left as they are because they were not read at start-up (not a
    // failure: the user was told then).
    QStringList leftAlone;
    // Saved, but not as the user chose (the keyring did not take the password, which is
    // kept in settings.dat instead): said once, for the user to be told.
    QString notice;
};

// Where the account's password came from at the last load.
enum class PasswordSource { SettingsFile, Keyring, CredentialFile };

// The twenty settings and their two files, settings.dat and domains.dat, in one folder.
class SettingsStore {
public:
    // The files of a folder on disk.
    explicit SettingsStore(const QString& folder);
    explicit SettingsStore(std::unique_ptr<DataFiles> files);
    ~SettingsStore();

    QString folder() const;
    QString settingsPath() const;
    QString domainsPath() const;
    QString logPath() const;
    QString ordersPath() const;

    // Settings(k) for the twenty settings; a place outside 1..20 (made with Setting(k))
    // reads as empty and writes nothing.
    QString Settings(Setting k) const;
    void setSettings(Setting k, const QString& value);
    const SettingsArray& all() const { return settings_; }

    // Fills the settings from settings.dat and the options from options.ini; a missing
    // settings.dat empties all twenty, a missing options.ini gives the defaults.
    void GetSettings();
    // What the last loads could not read, one text per file in plain words, for the
    // user to be told once at start-up. Saves leave such a file as it is.
    QStringList loadProblems() const;

    const Options& options() const { return options_; }
    // Changed options are written with the next save.
    void setOptions(const Options& options);
    // Takes over the main window's fields, then replaces both files atomically (and
    // options.ini when an option changed): a failure leaves the old files as they were.
    // A file whose last load failed is not replaced: it may hold what the user cannot
    // get back, and nothing of it was loaded.
    SaveResult WriteSettings(const MainFields& fields);
    // The saved domain list as the main window shows it, or empty.
    QString readDomains();
    // Deletes the temporary files a save that was killed midway left beside the two
    // files; they may hold the password. Called at start-up, before any save.
    void removeStaleSaves();

    // Holds the folder's edit lock while it lives, so that a load, a change and the save
    // that follows are one step for every other Drovane on the folder. Scopes nest: the
    // lock is taken by the outermost one. False, with the reason, when it was not taken.
    class EditScope {
    public:
        explicit EditScope(SettingsStore& store);
        ~EditScope();
        EditScope(const EditScope&) = delete;
        EditScope& operator=(const EditScope&) = delete;
        explicit operator bool() const { return error_.isEmpty(); }
        const QString& error() const { return error_; }

    private:
        SettingsStore& store_;
        QString error_;
    };

    // Takes the folder's run or window lock, or says plainly why not (who holds it).
    std::unique_ptr<HeldLock> claim(FolderRole role, QString* refusal);
    // Who else holds `role`, without taking it.
    std::optional<LockHolder> holder(FolderRole role) const { return files_->lockHolder(role); }

    // How long a save waits for another process's save on the same folder.
    static constexpr int kEditWaitMs = 20000;

    // Where the password may be kept besides settings.dat; GetSettings reads it from the
    // credential file when that exists, else from settings.dat's own field when that is
    // set (the program empties it whenever the keyring takes the password, so a filled
    // field is the newer one), else from the keyring. A save leaves the field as it was
    // under a credential file, empties it when the keyring took the password, and
    // otherwise writes it in clear text as it always did. Null / empty: none; the reason
    // is what the user is told when no keyring could be had.
    void setKeyring(Keyring* keyring, const QString& unavailableReason = {});
    void setCredentialFile(const QString& path);
    PasswordSource passwordSource() const { return source_; }
    // Why no password could be had from where it is kept (a credential file that cannot be
    // used, a keyring that does not answer), in plain words; empty when all is well.
    QString passwordProblem() const { return passwordProblem_; }
    // Where the password is kept, as both faces tell the user ("the system keyring"), and
    // why not in the keyring when it is not (empty when there is nothing to explain).
    QString passwordPlace() const;
    QString passwordPlaceReason() const;
    // A keyring is there and has answered this session.
    bool keyringAnswers() const { return keyring_ && keyringAnswered_ && !keyringDown_; }
    // The password sits in settings.dat in clear text, the keyring answers and the user
    // was never asked whether to move it there.
    bool offerKeyringMove() const;
    // The user's choice; the next save moves the password accordingly.
    void chooseKeyring(bool keep);
    // The next save puts the password into the keyring (when it answers).
    bool keyringChosen() const;

private:
    // Fills settings_[Password] from where it is kept.
    void resolvePassword();
    // What settings.dat's field gets in a save of `f`; writes the keyring when that is
    // where the password goes. `removeAfter` names the keyring entry a successful save
    // makes stale.
    QString placePassword(const MainFields& f, SaveResult& result, QString* removeAfter);
    Keyring::Lookup keyringLookup(const QString& user);
    // Says once per session that a password went to settings.dat for want of a keyring.
    void tellFallback(SaveResult& result);

    Keyring* keyring_ = nullptr;
    QString keyringMissing_;
    QString credentialPath_;
    PasswordSource source_ = PasswordSource::SettingsFile;
    QString passwordProblem_;
    QString diskPassword_; // settings.dat's field as last read or written
    bool keyringAnswered_ = false;
    bool keyringDown_ = false; // it failed once: no more tries this session
    bool fallbackTold_ = false;
    QString keyringError_;
    // What the keyring is known to hold: user, secret (empty: nothing).
    std::optional<std::pair<QString, QString>> keyringHolds_;

private:
    std::unique_ptr<HeldLock> editLock_;
    int editDepth_ = 0;
    QString editError_;

    std::unique_ptr<DataFiles> files_;
    SettingsArray settings_;
    Options options_;
    bool optionsChanged_ = false;
    QStringList optionNotices_; // values of options.ini read as their defaults
    // Files whose last load failed, with the reason.
    QMap<QString, QString> unreadable_;

    void noteLoad(const QString& name, FileRead::Status status, const QString& reason);
};

// True for an existing ordinary file (not a directory); false for an empty path.
bool FileExists(const QString& path);

// The folder the program keeps its files in: the executable's folder when it is not a
// system folder (/usr, /bin, ...) and is a folder of the user's own that the user can
// write to and nobody else can (neither group nor others have write permission),
// otherwise the per-user data folder (created owner-only).
QString dataFolder(const QString& executableFolder);
bool ownPrivateFolder(const QString& path);
// Why files in a folder named from outside (a --folder, a service's state folder) are not
// to be trusted: it belongs to another user (root excepted), or others may write to it
// and so put their own settings.dat there. Empty when they are.
QString folderTrustProblem(const QString& path);

} // namespace drovane
