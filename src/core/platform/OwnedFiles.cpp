#include "OwnedFiles.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace drovane {
namespace {

const QString kLink = QStringLiteral("it is a symbolic link");
const QString kNotRegular = QStringLiteral("it is not a regular file");

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// O_NONBLOCK keeps a FIFO in the file's place from blocking the open; the descriptor
// is put back to blocking once it is known to be a regular file.
bool regularOrClose(int fd, QString* reason, struct stat* st) {
    if (::fstat(fd, st) != 0) {
        *reason = systemError(errno);
    } else if (!S_ISREG(st->st_mode)) {
        *reason = kNotRegular;
    } else {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags != -1 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
            return true;
        *reason = systemError(errno);
    }
    ::close(fd);
    return false;
}

QString openFailure(int errorNumber) {
    switch (errorNumber) {
    case ELOOP:
        return kLink;
    case ENXIO: // a FIFO nobody reads, a socket
    case ENODEV:
    case EISDIR:
        return kNotRegular;
    default:
        return systemError(errorNumber);
    }
}

} // namespace

QString systemError(int errorNumber) {
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

OwnedRead readRegularFile(const QString& path, QByteArray* bytes, QString* reason) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return OwnedRead::Missing;
        *reason = openFailure(errno);
        return OwnedRead::Refused;
    }
    struct stat st {};
    if (!regularOrClose(fd, reason, &st))
        return OwnedRead::Refused;
    // Another user's file would feed the run their values (their name servers). Root
    // keeps a service's files, which belong to the service's own user.
    if (st.st_uid != ::geteuid() && ::geteuid() != 0) {
        ::close(fd);
        *reason = QStringLiteral("it belongs to another user");
        return OwnedRead::Refused;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        *reason = file.errorString();
        return OwnedRead::Refused;
    }
    *bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        bytes->clear();
        return OwnedRead::Refused;
    }
    return OwnedRead::Read;
}

bool openOwnedForAppend(QFile& file, const QString& path, QString* reason) {
    const int fd =
        ::open(native(path).constData(),
               O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        *reason = openFailure(errno);
        return false;
    }
    struct stat st {};
    if (!regularOrClose(fd, reason, &st))
        return false;
    if (st.st_uid != ::geteuid()) {
        ::close(fd);
        *reason = QStringLiteral("it belongs to another user");
        return false;
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        *reason = file.errorString();
        return false;
    }
    return true;
}

QString notReplaceable(const QString& path) {
    struct stat st {};
    if (::lstat(native(path).constData(), &st) != 0 || S_ISREG(st.st_mode))
        return QString();
    return S_ISLNK(st.st_mode) ? kLink : kNotRegular;
}

} // namespace drovane
