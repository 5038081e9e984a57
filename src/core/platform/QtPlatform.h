#pragma once

#include "Platform.h"

#include <chrono>

namespace drovane {

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    qint64 wallUs() const override {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
    // CLOCK_MONOTONIC, the clock the alarms' timerfd counts on.
    qint64 steadyUs() const override {
        return std::chrono::duration_cast<std::chrono::microseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    ClockSync sync() const override { return readKernelClockSync(); }
};

// The real program's platform: QTimer (precise), a timerfd for alarms, and QTcpSocket or,
// for TLS, QSslSocket (no proxy).
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
    std::unique_ptr<Alarm> createAlarm() override;
    const Clock& clock() const override { return clock_; }

private:
    Options options_;
    SystemClock clock_;
};

} // namespace drovane
