#pragma once

#include <QtGlobal>
#include <functional>

namespace drovane {

// A one-shot wake-up at a moment of the platform's monotonic clock (Clock::steadyUs),
// kept to well under a millisecond: a request that must leave at a given instant is
// written from it. Qt's timers round every wait up to whole milliseconds and end a
// long wait about 0.1 % late, which is too coarse for that.
class Alarm {
public:
    virtual ~Alarm() = default;
    // Replaces any earlier moment; a moment already past fires on the next turn.
    virtual void setAt(qint64 steadyUs) = 0;
    virtual void cancel() = 0;
    virtual bool isSet() const = 0;

    // May destroy the alarm's owner.
    std::function<void()> onFire;
};

} // namespace drovane
