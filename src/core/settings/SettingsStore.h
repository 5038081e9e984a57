#pragma once

#include "SettingsCodec.h"
#include "core/model/MainFields.h"

#include <QString>

namespace drovane {

// Outcome of a save, so that the settings window can tell the user why it failed.
struct SaveResult {
    bool ok = true;
    QString error;
};

// The twenty settings and their two files, settings.dat and domains.dat, in one folder.
class SettingsStore {
public:
    explicit SettingsStore(const QString& folder);

    const QString& folder() const { return folder_; }
    QString settingsPath() const;
    QString domainsPath() const;
    QString logPath() const;

    // Settings(k) for k in 1..20; anything else reads as empty and writes nothing.
    QString Settings(int k) const;
    void setSettings(int k, const QString& value);
    const SettingsArray& all() const { return settings_; }

    // Fills the settings from settings.dat; a missing file empties all twenty.
    void GetSettings();
    // Takes over the main window's fields, then replaces both files atomically: a
    // failure leaves the old file as it was.
    SaveResult WriteSettings(const MainFields& fields);
    // The saved domain list as the main window shows it, or empty.
    QString readDomains() const;
    // Deletes the temporary files a save that was killed midway left beside the two
    // files; they may hold the password. Called at start-up, before any save.
    void removeStaleSaves() const;

private:
    QString folder_;
    SettingsArray settings_;
};

// True for an existing ordinary file (not a directory); false for an empty path.
bool FileExists(const QString& path);

// Writes bytes to path through a temporary file beside it, flushed and renamed over
// the old one, owner-only. Returns an empty string or the reason it failed.
QString writeFileAtomically(const QString& path, const QByteArray& bytes);

// The folder the program keeps its files in: the executable's folder when it is
// writable, otherwise the per-user data folder (created owner-only).
QString dataFolder(const QString& executableFolder);

} // namespace drovane
