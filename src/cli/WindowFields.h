#pragma once

#include "core/model/MainFields.h"
#include "core/model/UserTexts.h"
#include "core/platform/Prompter.h"
#include "core/settings/SettingsStore.h"

namespace drovane::cli {

// The main window's fields as the window shows them after loading the store's settings
// and list: a box keeps its created state when its setting is empty or not 0/1, an
// interval the box would refuse is left empty, Custom Nameservers is cleared when a
// name server is missing. Saving these back writes what the window would write.
// The prompter hears what the window would say while loading.
MainFields windowFields(SettingsStore& store, Prompter& prompter);

// Loads the store's files and tells on stderr, once, what could not be read: such a
// file is never saved over.
void loadFiles(SettingsStore& store);

// A save's outcome on stderr; false when it failed or left `path`, the file the
// command changes, alone because it could not be read.
bool reportSave(const SaveResult& saved, const QString& path);

// Takes the folder for one load-change-replace of a command that edits it: the edit
// lock, held while it lives, and a refusal while a window has the files open (it would
// write its own copy over the change when it closes). False after telling why.
class FolderEdit {
public:
    explicit FolderEdit(SettingsStore& store);
    explicit operator bool() const { return status_ == 0; }
    // The exit status of the refusal.
    int status() const { return status_; }

private:
    SettingsStore::EditScope scope_;
    int status_ = 0;
};

// Where the password may come from besides settings.dat: the credential file systemd hands
// a service ($CREDENTIALS_DIRECTORY/registrar-password) and the desktop's keyring (when its
// plugin is installed and a session bus is there) unless `keyring` is false: a command that
// leaves the password alone need not wake a locked keyring.
void usePasswordPlaces(SettingsStore& store, bool keyring = true);

// Where the password is, as `settings show` and `settings set password` say it.
QString passwordPlaceLine(const SettingsStore& store);

} // namespace drovane::cli
