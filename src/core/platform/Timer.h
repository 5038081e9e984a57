#pragma once

#include <functional>

namespace drovane {

// A timer with the enabled-flag semantics the run engine relies on: disabling and
// enabling again restarts the countdown, while enabling a timer that is already
// enabled changes nothing (QTimer::start() would restart it).
class Timer {
public:
    virtual ~Timer() = default;

    void setEnabled(bool on);
    bool isEnabled() const { return enabled_; }

    // A new interval on an enabled timer restarts its countdown with that interval.
    void setInterval(int ms);
    int interval() const { return intervalMs_; }

    std::function<void()> onTick;

protected:
    Timer(int intervalMs) : intervalMs_(intervalMs) {}
    virtual void startCountdown(int ms) = 0;
    virtual void stopCountdown() = 0;
    // Called by the implementation each time the interval elapses while enabled.
    void elapse();

private:
    int intervalMs_;
    bool enabled_ = false;
};

} // namespace drovane
