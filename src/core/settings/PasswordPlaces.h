#pragma once

#include "Keyring.h"

#include <QString>
#include <QStringList>

namespace drovane {

// Where the account's password can come from besides settings.dat.

// A systemd credential (or a mounted secret file): the whole file is the password, a
// final line end aside.
struct CredentialRead {
    enum Status { Absent, Read, Failed };
    Status status = Absent;
    QString password;
    QString error; // why a Failed file cannot be used, naming it
};
CredentialRead readCredentialFile(const QString& path);

// $CREDENTIALS_DIRECTORY/registrar-password, or empty without the variable.
QString credentialPathFromEnvironment();

// The name of the credential systemd hands the service (LoadCredentialEncrypted=).
inline const char* const kCredentialName = "registrar-password";

// The keyring plugin, living as long as the program: beside the executable (a build), or
// in ../lib/drovane/plugins from it (installed). Null with the reason, in plain words, when none
// loads.
Keyring* loadKeyring(const QString& executableFolder, QString* why);

// The plugin's file name.
inline const char* const kKeyringPlugin = "drovane-keyring.so";

} // namespace drovane
