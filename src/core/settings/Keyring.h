#pragma once

#include <QString>
#include <QtPlugin>

namespace drovane {

// The desktop's keyring (the freedesktop Secret Service): one secret per account, kept
// under the service "Drovane" and the account's user name. Calls wait for the answer;
// the keyring may ask the user to unlock it first.
class Keyring {
public:
    struct Lookup {
        // Failed: the keyring did not answer (no session bus, locked and the unlock
        // dismissed, no Secret Service); `error` says why in plain words.
        enum Status { Found, NotFound, Failed };
        Status status = NotFound;
        QString secret;
        QString error;
    };

    virtual ~Keyring() = default;
    virtual Lookup read(const QString& user) = 0;
    // Empty when the keyring took it, otherwise why not.
    virtual QString write(const QString& user, const QString& secret) = 0;
    virtual QString remove(const QString& user) = 0;
};

} // namespace drovane

// The keyring comes from a plugin, so that the server runner links no D-Bus library.
#define DROVANE_KEYRING_IID "org.drovane.Drovane.Keyring/1"
Q_DECLARE_INTERFACE(drovane::Keyring, DROVANE_KEYRING_IID)
