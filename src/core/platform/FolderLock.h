#pragma once

#include <QString>
#include <memory>
#include <optional>

namespace drovane {

// What a folder's files can be held for. Each is an exclusive lock of its own:
// - Edit: one load-change-replace of the files at a time, held for milliseconds;
// - Run: one run per folder, whatever face starts it, or names would be bought twice;
// - Window: the open window keeps its own copy of the files and writes it back when it
//   closes, so nobody else may edit them meanwhile.
enum class FolderRole { Edit, Run, Window };

// Who holds a lock, as the user is told: "drovane-cli, process 4242 on srv1".
struct LockHolder {
    QString program;
    qint64 pid = 0;
    QString host;

    QString describe() const;
};

// A lock held until this object goes.
class HeldLock {
public:
    virtual ~HeldLock() = default;
};

// The outcome of taking a lock: the lock, or who holds it, or why it cannot be taken.
struct LockAttempt {
    std::unique_ptr<HeldLock> lock;
    bool busy = false; // someone else holds it: `holder` says who, as far as known
    LockHolder holder;
    QString error; // the lock file itself failed (neither taken nor busy)

    explicit operator bool() const { return bool(lock); }
};

// The kernel's open-file-description locks on one file, `drovane.lock`, in the folder:
// a process that dies (a kill, a power cut) loses its locks with it, so a stale lock is
// taken over without anyone being asked, and nothing depends on process ids that may be
// reused. Who holds a lock is written into the file beside it, for messages only.
class FolderLockFile {
public:
    explicit FolderLockFile(const QString& folder) : folder_(folder) {}

    // Takes `role` at once or tells who has it. An Edit lock is waited for up to
    // `waitMs`, as its holders let go within milliseconds.
    LockAttempt take(FolderRole role, int waitMs = 0) const;
    // Whether someone else holds `role`, without taking it; null when nobody does.
    std::optional<LockHolder> heldBy(FolderRole role) const;

    QString path() const;

private:
    QString folder_;
};

// This process as a lock holder.
LockHolder thisProcess();

inline const char* const kLockFile = "drovane.lock";

} // namespace drovane
