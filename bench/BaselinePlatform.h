#pragma once

#include "core/platform/QtPlatform.h"

#include <QTimer>

namespace drovane::bench {

// The literal timing the engine improves on, kept here only to measure against: every
// timer is Qt's default coarse timer, the schedule clock is a plain 1000 ms timer that
// runs from the moment Start was pressed, whatever second the wall clock is in, and a
// request is left in the socket's buffer until the event loop gets round to it.
class BaselinePlatform : public Platform {
public:
    // The next timer created is the schedule clock (a run controller creates it first).
    void pinNextTimer() { pinNext_ = true; }

    std::unique_ptr<Timer> createTimer(int intervalMs) override {
        if (!pinNext_)
            return qt_.createTimer(intervalMs);
        pinNext_ = false;
        return std::make_unique<PinnedTimer>(intervalMs);
    }
    std::unique_ptr<TcpSocket> createSocket() override { return qt_.createSocket(); }
    std::unique_ptr<Alarm> createAlarm() override { return qt_.createAlarm(); }
    const Clock& clock() const override { return qt_.clock(); }

private:
    // The schedule clock: ticks every 1000 ms from the enable on; asking it to land on
    // the next second changes nothing.
    class PinnedTimer final : public Timer {
    public:
        explicit PinnedTimer(int intervalMs) : Timer(intervalMs), timer_(new QTimer) {
            timer_->setTimerType(Qt::CoarseTimer);
            QObject::connect(timer_, &QTimer::timeout, [this] { elapse(); });
        }
        ~PinnedTimer() override {
            timer_->stop();
            timer_->disconnect();
            timer_->deleteLater();
        }

    protected:
        void startCountdown(int) override {
            if (!timer_->isActive())
                timer_->start(1000);
        }
        void stopCountdown() override { timer_->stop(); }

    private:
        QTimer* timer_;
    };

    // Every timer but the schedule clock, and the socket, are the program's own with
    // Qt's defaults: coarse timers, and no flush of a request.
    QtPlatform qt_{{Qt::CoarseTimer, false}};
    bool pinNext_ = false;
};

} // namespace drovane::bench
