#pragma once

#include "Platform.h"

namespace drovane {

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The real program's platform: QTimer (precise), QTcpSocket or, for TLS, QSslSocket
// (no proxy).
class QtPlatform : public Platform {
public:
    // The program always uses the defaults; the benchmarks measure them against Qt's
    // coarse timers and a request left in the socket's buffer.
    struct Options {
        Qt::TimerType timerType = Qt::PreciseTimer;
        bool flushOnSend = true;
    };
    QtPlatform() = default;
    explicit QtPlatform(Options options) : options_(options) {}

    std::unique_ptr<Timer> createTimer(int intervalMs) override;
    std::unique_ptr<TcpSocket> createSocket() override;
    const Clock& clock() const override { return clock_; }

private:
    Options options_;
    SystemClock clock_;
};

} // namespace drovane
