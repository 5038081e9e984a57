#include "FolderLock.h"

#include "OwnedFiles.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace drovane {
namespace {

// Each role locks one byte; its holder's note lies in a block of its own further on,
// so writing one note never touches another role's.
constexpr off_t kNoteSize = 512;

off_t noteAt(FolderRole role) {
    return kNoteSize * (off_t(role) + 1);
}

struct flock byteOf(FolderRole role, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(role);
    lock.l_len = 1;
    return lock;
}

class HeldByte final : public HeldLock {
public:
    HeldByte(int fd, FolderRole role) : fd_(fd), role_(role) {}
    ~HeldByte() override {
        // The note goes first, so nobody reads this process as the holder of a lock
        // that someone else took next.
        const QByteArray blank(kNoteSize, '\0');
        [[maybe_unused]] const ssize_t n =
            ::pwrite(fd_, blank.constData(), size_t(kNoteSize), noteAt(role_));
        ::close(fd_); // lets go of the lock
    }

private:
    int fd_;
    FolderRole role_;
};

LockHolder readNote(int fd, FolderRole role) {
    QByteArray note(kNoteSize, '\0');
    const ssize_t n = ::pread(fd, note.data(), size_t(kNoteSize), noteAt(role));
    note.truncate(n > 0 ? qsizetype(n) : 0);
    const qsizetype end = note.indexOf('\0');
    if (end >= 0)
        note.truncate(end);
    const QList<QByteArray> lines = note.split('\n');
    LockHolder holder;
    if (lines.size() >= 3) {
        holder.program = QString::fromUtf8(lines[0]).left(64);
        holder.pid = lines[1].toLongLong();
        holder.host = QString::fromUtf8(lines[2]).left(255);
    }
    return holder;
}

void writeNote(int fd, FolderRole role) {
    const LockHolder me = thisProcess();
    QByteArray note =
        me.program.toUtf8() + '\n' + QByteArray::number(me.pid) + '\n' + me.host.toUtf8() + '\n';
    note = note.left(kNoteSize - 1);
    note.append(QByteArray(kNoteSize - note.size(), '\0'));
    [[maybe_unused]] const ssize_t n =
        ::pwrite(fd, note.constData(), size_t(kNoteSize), noteAt(role));
}

// The lock file, never through a link and only if it is the user's own: a file planted
// by someone else could name a holder that is not there, or never be lockable.
int openLockFile(const QString& path, QString* error) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = errno == ELOOP ? QStringLiteral("it is a symbolic link") : systemError(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        *error = systemError(errno);
    else if (!S_ISREG(st.st_mode))
        *error = QStringLiteral("it is not a regular file");
    else if (st.st_uid != ::geteuid())
        *error = QStringLiteral("it belongs to another user");
    else
        return fd;
    ::close(fd);
    return -1;
}

void pause(long ms) {
    timespec wait{0, ms * 1000000L};
    while (::nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

} // namespace

QString LockHolder::describe() const {
    if (program.isEmpty())
        return QStringLiteral("another Drovane program");
    return QStringLiteral("%1, process %2 on %3").arg(program).arg(pid).arg(host);
}

LockHolder thisProcess() {
    return {QString::fromLocal8Bit(program_invocation_short_name), qint64(::getpid()),
            QSysInfo::machineHostName()};
}

QString FolderLockFile::path() const {
    return QDir(folder_).filePath(QLatin1String(kLockFile));
}

LockAttempt FolderLockFile::take(FolderRole role, int waitMs) const {
    LockAttempt attempt;
    const int fd = openLockFile(path(), &attempt.error);
    if (fd < 0) {
        attempt.error =
            QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path()), attempt.error);
        return attempt;
    }
    struct flock lock = byteOf(role, F_WRLCK);
    long waited = 0;
    long step = 1;
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const int error = errno;
        if (error != EAGAIN && error != EACCES && error != EINTR) {
            attempt.error =
                QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path()), systemError(error));
            ::close(fd);
            return attempt;
        }
        if (waited >= waitMs) {
            attempt.busy = true;
            attempt.holder = readNote(fd, role);
            ::close(fd);
            return attempt;
        }
        pause(step);
        waited += step;
        step = std::min(step * 2, 16L);
        lock = byteOf(role, F_WRLCK);
    }
    writeNote(fd, role);
    attempt.lock = std::make_unique<HeldByte>(fd, role);
    return attempt;
}

std::optional<LockHolder> FolderLockFile::heldBy(FolderRole role) const {
    QString error;
    const int fd = openLockFile(path(), &error);
    if (fd < 0)
        return std::nullopt;
    struct flock lock = byteOf(role, F_WRLCK);
    std::optional<LockHolder> holder;
    if (::fcntl(fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK)
        holder = readNote(fd, role);
    ::close(fd);
    return holder;
}

} // namespace drovane
