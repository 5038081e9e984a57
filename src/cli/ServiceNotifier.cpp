#include "ServiceNotifier.h"

#include <QFile>

#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace drovane::cli {

ServiceNotifier ServiceNotifier::fromEnvironment() {
    const QString path = qEnvironmentVariable("NOTIFY_SOCKET");
    qint64 watchdogUs = qEnvironmentVariable("WATCHDOG_USEC").toLongLong();
    // A watchdog meant for another process (the PID systemd named) is not ours to ping.
    if (const QString pid = qEnvironmentVariable("WATCHDOG_PID");
        !pid.isEmpty() && pid.toLongLong() != qint64(::getpid()))
        watchdogUs = 0;
    for (const char* name : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"})
        qunsetenv(name);
    return ServiceNotifier(path, watchdogUs);
}

ServiceNotifier::ServiceNotifier(const QString& socketPath, qint64 watchdogUs)
    : watchdogUs_(watchdogUs > 0 ? watchdogUs : 0) {
    QByteArray path = QFile::encodeName(socketPath);
    if (path.startsWith('@'))
        path[0] = '\0';
    // Only a path or an abstract name is a socket this program can reach.
    if (path.isEmpty() || (path[0] != '/' && path[0] != '\0') ||
        size_t(path.size()) >= sizeof(sockaddr_un::sun_path))
        return;
    address_ = path;
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

ServiceNotifier::ServiceNotifier(ServiceNotifier&& other) noexcept
    : address_(std::move(other.address_)), fd_(other.fd_), watchdogUs_(other.watchdogUs_) {
    other.fd_ = -1;
}

ServiceNotifier::~ServiceNotifier() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool ServiceNotifier::notify(const QByteArray& assignments) const {
    if (fd_ < 0)
        return false;
    sockaddr_un to{};
    to.sun_family = AF_UNIX;
    std::memcpy(to.sun_path, address_.constData(), size_t(address_.size()));
    // An abstract name is exactly its bytes long; a path ends at its NUL.
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(address_.size()) +
                                  (address_.startsWith('\0') ? 0 : 1));
    // Never waits: a manager that is not reading must not hold up a slot.
    return ::sendto(fd_, assignments.constData(), size_t(assignments.size()),
                    MSG_NOSIGNAL | MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
                    length) == assignments.size();
}

} // namespace drovane::cli
