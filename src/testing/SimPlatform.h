#pragma once

#include "core/platform/Platform.h"

#include <QList>
#include <functional>
#include <map>
#include <memory>

namespace drovane {

// How a scripted peer treats one connection attempt.
struct SimConnectPlan {
    enum Outcome { Accept, Refuse, Silent, Unresolvable };
    Outcome outcome = Accept;
    qint64 delayMs = 1;
    // Over TLS only: the handshake's length after the connect, and, when not empty, why
    // it fails (the socket then reports a handshake failure instead of connecting).
    qint64 handshakeMs = 0;
    QString handshakeFailure;
    // When not negative: the peer closes an accepted connection that has asked nothing
    // this long after it was set up.
    qint64 closeIdleAfterMs = -1;
};

// How a scripted peer answers one request.
struct SimReply {
    QList<QByteArray> pieces; // written one after another
    qint64 firstDelayMs = 5;  // from the request to the first piece
    qint64 pieceGapMs = 0;    // between pieces
    bool closeAfter = true;   // HTTP/1.0: the peer closes after the reply
    bool resetAfter = false;  // the connection is reset instead of closed
    bool silent = false;      // nothing is ever answered
};

struct SimEvent {
    qint64 atMs;
    int socketId;
    QString what; // "connect", "handshake", "handshake failed", "request", "close"...
    QByteArray bytes;
};

// Virtual time shared by simulated timers, sockets and the clock. Nothing happens
// until a test advances it.
class SimPlatform : public Platform {
public:
    explicit SimPlatform(QDateTime start = QDateTime(QDate(2026, 1, 5), QTime(10, 0, 0)));
    ~SimPlatform() override;

    std::unique_ptr<Timer> createTimer(int intervalMs) override;
    std::unique_ptr<TcpSocket> createSocket() override;
    std::unique_ptr<Alarm> createAlarm() override;
    const Clock& clock() const override;

    qint64 nowMs() const { return nowMs_; }
    // Runs every event due up to now + ms, in time order.
    void advance(qint64 ms);
    void advanceTo(qint64 atMs);
    // Moves the wall clock without running events (a clock adjustment).
    void shiftWallClock(qint64 ms) { wallOffsetMs_ += ms; }

    using Callback = std::function<void()>;
    // Returns an id that cancel() accepts.
    quint64 schedule(qint64 delayMs, Callback cb);
    void cancel(quint64 id);

    // The scripted peer.
    std::function<SimConnectPlan(const QString& host, quint16 port)> connectPlan;
    std::function<SimReply(const QByteArray& request)> replyFor;

    QList<SimEvent> log; // what the sockets did, for assertions
    QList<QByteArray> requests() const;
    int count(const QString& what) const;

    QDateTime start_;
    qint64 wallOffsetMs_ = 0;
    // What the clock says of its own synchronisation: in step, within 5 ms, unless a
    // test says otherwise.
    ClockSync clockSync{ClockSync::State::Synchronised, 5000, {}};

private:
    qint64 nowMs_ = 0;
    quint64 nextId_ = 1;
    std::map<std::pair<qint64, quint64>, Callback> queue_;
    std::map<quint64, qint64> whenById_;
    std::unique_ptr<Clock> clock_;
    int nextSocketId_ = 1;
    friend class SimSocket;
};

} // namespace drovane
