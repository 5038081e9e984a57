#pragma once

#include "core/settings/DataFiles.h"

#include <QHash>
#include <QSet>

namespace drovane::test {

// The program's files held in memory: a simulated run saves without touching a disk.
// The folder is only where a transaction log would go.
class MemoryFiles final : public DataFiles {
public:
    explicit MemoryFiles(const QString& folder = QString()) : folder_(folder) {}

    QHash<QString, QByteArray> files;
    Options options;
    int saves = 0;
    QString failWith; // a save fails with this reason while it is set
    // Files that are there but cannot be read, with the reason; options.ini included.
    QHash<QString, QString> unreadable;

    QString folder() const override { return folder_; }
    FileRead read(const QString& name) const override {
        if (unreadable.contains(name))
            return {FileRead::Failed, {}, unreadable.value(name)};
        const auto it = files.find(name);
        return it == files.end() ? FileRead{} : FileRead{FileRead::Read, *it, {}};
    }
    QString replace(const QList<NamedBytes>& named) override {
        if (!failWith.isEmpty())
            return failWith;
        ++saves;
        for (const NamedBytes& f : named)
            files[f.name] = f.bytes;
        return QString();
    }
    OptionsRead readOptions() const override {
        const QString name = QLatin1String(kOptionsFile);
        if (unreadable.contains(name))
            return {FileRead::Failed, {}, unreadable.value(name), {}};
        return {FileRead::Read, options, {}, {}};
    }
    QString writeOptions(const Options& o) override {
        options = o;
        return QString();
    }
    void removeStaleSaves() override {}

    // Locks that another process holds, as the test sets them up.
    QHash<FolderRole, LockHolder> heldElsewhere;
    LockAttempt lock(FolderRole role, int) override {
        LockAttempt attempt;
        if (heldElsewhere.contains(role) || heldHere_.contains(role)) {
            attempt.busy = true;
            attempt.holder = heldElsewhere.value(role, thisProcess());
            return attempt;
        }
        heldHere_.insert(role);
        attempt.lock = std::make_unique<Held>(heldHere_, role);
        return attempt;
    }
    std::optional<LockHolder> lockHolder(FolderRole role) const override {
        if (heldElsewhere.contains(role))
            return heldElsewhere.value(role);
        return std::nullopt;
    }
    bool holds(FolderRole role) const { return heldHere_.contains(role); }

private:
    struct Held final : HeldLock {
        QSet<FolderRole>& set;
        FolderRole role;
        Held(QSet<FolderRole>& s, FolderRole r) : set(s), role(r) {}
        ~Held() override { set.remove(role); }
    };
    QString folder_;
    QSet<FolderRole> heldHere_;
};

} // namespace drovane::test
