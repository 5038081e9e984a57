#pragma once

#include "core/settings/Keyring.h"

#include <QHash>

namespace drovane::test {

// The system keyring in memory: it answers, or fails every call with `failWith`.
class FakeKeyring final : public Keyring {
public:
    QHash<QString, QString> secrets; // by user name
    QString failWith;
    int reads = 0;
    int writes = 0;
    int removes = 0;

    Lookup read(const QString& user) override {
        ++reads;
        if (!failWith.isEmpty())
            return {Lookup::Failed, {}, failWith};
        const auto it = secrets.find(user);
        return it == secrets.end() ? Lookup{} : Lookup{Lookup::Found, *it, {}};
    }
    QString write(const QString& user, const QString& secret) override {
        ++writes;
        if (!failWith.isEmpty())
            return failWith;
        secrets.insert(user, secret);
        return QString();
    }
    QString remove(const QString& user) override {
        ++removes;
        if (!failWith.isEmpty())
            return failWith;
        secrets.remove(user);
        return QString();
    }
};

} // namespace drovane::test
