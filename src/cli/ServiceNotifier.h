#pragma once

#include <QByteArray>
#include <QString>

namespace drovane::cli {

// systemd's notification socket ($NOTIFY_SOCKET, Type=notify): readiness, a status line
// for `systemctl status`, and the watchdog's pings. Inactive outside a service.
class ServiceNotifier {
public:
    // From the environment, which it then clears, so that an --on-order command does not
    // inherit the service's socket.
    static ServiceNotifier fromEnvironment();
    // `socketPath` may start with "@" for Linux's abstract namespace; `watchdogUs` is
    // $WATCHDOG_USEC, 0 without a watchdog.
    ServiceNotifier(const QString& socketPath, qint64 watchdogUs);
    ServiceNotifier() = default;
    ~ServiceNotifier();
    ServiceNotifier(ServiceNotifier&& other) noexcept;
    ServiceNotifier& operator=(ServiceNotifier&&) = delete;

    bool active() const { return fd_ >= 0; }
    // One datagram of assignments, one a line ("READY=1\nSTATUS=..."); false when it was
    // not sent.
    bool notify(const QByteArray& assignments) const;
    // How often to ping the watchdog: half its timeout, as systemd advises; 0 without one.
    int watchdogPingMs() const { return int(watchdogUs_ / 2000); }

private:
    QByteArray address_; // sun_path bytes, a leading NUL for the abstract namespace
    int fd_ = -1;
    qint64 watchdogUs_ = 0;
};

} // namespace drovane::cli
