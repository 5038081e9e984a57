#pragma once

#include "ClockSync.h"

#include <QDateTime>

namespace drovane {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0; // local date and time
    // Microseconds since the epoch, finer than now() for aiming at a wall-clock second.
    virtual qint64 wallUs() const { return now().toMSecsSinceEpoch() * 1000; }
    // A monotonic reading in microseconds: what alarms are set against.
    virtual qint64 steadyUs() const = 0;
    // Whether the clock is kept in step, as far as this process may know.
    virtual ClockSync sync() const { return {}; }
};

} // namespace drovane
