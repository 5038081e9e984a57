#include "Timer.h"

namespace drovane {

void Timer::setEnabled(bool on) {
    if (on == enabled_)
        return;
    enabled_ = on;
    if (on)
        startCountdown(intervalMs_);
    else
        stopCountdown();
}

void Timer::setInterval(int ms) {
    intervalMs_ = ms;
    if (enabled_)
        startCountdown(intervalMs_);
}

void Timer::elapse() {
    if (!enabled_)
        return;
    if (onTick) {
        // The handler may destroy this timer's owner; copy the callback first.
        auto tick = onTick;
        tick();
    }
}

} // namespace drovane
