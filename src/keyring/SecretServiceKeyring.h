#pragma once

#include "core/settings/Keyring.h"

#include <QObject>

namespace drovane {

// The freedesktop Secret Service (GNOME Keyring, KeePassXC, KWallet) through QtKeychain,
// which finds libsecret at run time. Each call waits for its answer in a local event loop
// that takes no user input, as long as an unlock prompt may take.
class SecretServiceKeyring : public QObject, public Keyring {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID DROVANE_KEYRING_IID)
    Q_INTERFACES(drovane::Keyring)
public:
    Lookup read(const QString& user) override;
    QString write(const QString& user, const QString& secret) override;
    QString remove(const QString& user) override;
};

} // namespace drovane
