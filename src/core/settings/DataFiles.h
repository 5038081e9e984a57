#pragma once

#include "Options.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace drovane {

struct FileRead {
    enum Status { Missing, Read, Failed };
    Status status = Missing;
    QByteArray bytes;
    QString error; // why a Failed read failed
};

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
    // its old file, so a failure leaves every old file as it was. Returns an empty
    // string or the reason.
    virtual QString replace(const QList<NamedBytes>& files) = 0;
    virtual Options readOptions() const = 0;
    virtual QString writeOptions(const Options& options) = 0;
    // Deletes what saves killed midway left behind (they may hold the password).
    virtual void removeStaleSaves() = 0;
};

// The files of one folder on disk: atomic replacement, owner-only permissions.
class FolderFiles final : public DataFiles {
public:
    explicit FolderFiles(const QString& folder) : folder_(folder) {}

    QString folder() const override { return folder_; }
    FileRead read(const QString& name) const override;
    QString replace(const QList<NamedBytes>& files) override;
    Options readOptions() const override;
    QString writeOptions(const Options& options) override;
    void removeStaleSaves() override;

private:
    QString folder_;
};

// The options file beside settings.dat.
inline const char* const kOptionsFile = "options.ini";

} // namespace drovane
