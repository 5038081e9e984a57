#pragma once

#include "Options.h"
#include "core/platform/FolderLock.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace drovane {

struct FileRead {
    // Failed: the file is there but was not read (a symbolic link, not a regular file,
    // unreadable); it must then not be replaced either.
    enum Status { Missing, Read, Failed };
    Status status = Missing;
    QByteArray bytes;
    QString error; // why a Failed read failed, in plain words ("it is a symbolic link")
};

struct OptionsRead {
    FileRead::Status status = FileRead::Missing;
    Options options; // the defaults unless Read
    QString error;
    // Values that were neither true nor false, each of which kept its default.
    QStringList notices;
};

// Reads the options from the text of options.ini: true/false or 1/0 as `settings set`
// takes them, any other value keeping its default with a notice; a text that is not an
// INI file at all is Failed, naming its first line that is not.
OptionsRead parseOptions(const QByteArray& bytes);

struct NamedBytes {
    QString name;
    QByteArray bytes;
};

// Where the program's files are kept: its data folder in the program, memory in the
// logic tests (so a simulated run never waits for a disk).
class DataFiles {
public:
    virtual ~DataFiles() = default;

    // The folder the names are relative to; also where the transaction log goes.
    virtual QString folder() const = 0;
    virtual FileRead read(const QString& name) const = 0;
    // Replaces the named files: each is written in full before any of them replaces
    // its old file, so a failure leaves every old file as it was. Refuses when one of
    // them is a symbolic link or anything but a regular file. Returns an empty string
    // or the reason.
    virtual QString replace(const QList<NamedBytes>& files) = 0;
    virtual OptionsRead readOptions() const = 0;
    // Keys this version does not know stay in the file as they were.
    virtual QString writeOptions(const Options& options) = 0;
    // Deletes what saves killed midway left behind (they may hold the password): only
    // the user's own regular files named as a save names its temporary files.
    virtual void removeStaleSaves() = 0;

    // The folder's locks (see FolderRole): taken at once, or an Edit lock waited for up
    // to `waitMs`; and who else holds one, without taking it.
    virtual LockAttempt lock(FolderRole role, int waitMs) = 0;
    virtual std::optional<LockHolder> lockHolder(FolderRole role) const = 0;
};

// The files of one folder on disk: atomic replacement, owner-only permissions, never
// through a symbolic link.
class FolderFiles final : public DataFiles {
public:
    explicit FolderFiles(const QString& folder) : folder_(folder) {}

    QString folder() const override { return folder_; }
    FileRead read(const QString& name) const override;
    QString replace(const QList<NamedBytes>& files) override;
    OptionsRead readOptions() const override;
    QString writeOptions(const Options& options) override;
    void removeStaleSaves() override;
    LockAttempt lock(FolderRole role, int waitMs) override {
        return FolderLockFile(folder_).take(role, waitMs);
    }
    std::optional<LockHolder> lockHolder(FolderRole role) const override {
        return FolderLockFile(folder_).heldBy(role);
    }

private:
    QString folder_;
};

// The options file beside settings.dat.
inline const char* const kOptionsFile = "options.ini";

// What a save calls its temporary file for `name`, followed by six random letters or
// digits; no other file is ever deleted as a leftover.
inline const char* const kSaveTag = ".drovane-save-";

} // namespace drovane
