#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace drovane {

// A TCP client connection as the slots use it: one request per connection.
// Every callback may destroy or reconnect the socket; implementations must not
// touch their own state after invoking one.
class TcpSocket {
public:
    virtual ~TcpSocket() = default;

    // Drops the connection whatever its state (looking up, connecting, connected).
    virtual void close() = 0;
    virtual void connectTo(const QString& host, quint16 port) = 0;
    // Connects with TLS 1.2 or later, the peer's certificate verified against `host` and
    // the trusted authorities: onConnected comes only after a verified handshake.
    virtual void connectEncrypted(const QString& host, quint16 port) = 0;
    virtual void send(const QByteArray& bytes) = 0;

    std::function<void()> onConnected;
    std::function<void()> onSendComplete;
    std::function<void(const QByteArray&)> onData;
    // The peer closed the connection (the end of an HTTP/1.0 reply).
    std::function<void()> onClosedByPeer;
    // Refused, reset, unresolvable host: the slot's watchdog recovers from these.
    std::function<void(const QString&)> onError;
    // The TLS handshake failed or the peer's certificate was refused: nothing was sent.
    // The text says why in plain words ("its certificate has expired").
    std::function<void(const QString&)> onHandshakeFailed;
};

// Invokes a callback through a copy: the callee may destroy the object that holds it.
template <class F, class... Args> void fire(const F& f, Args&&... args) {
    if (f) {
        F copy = f;
        copy(std::forward<Args>(args)...);
    }
}

} // namespace drovane
