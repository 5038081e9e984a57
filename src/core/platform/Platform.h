#pragma once

#include "Alarm.h"
#include "Clock.h"
#include "TcpSocket.h"
#include "Timer.h"

#include <memory>

namespace drovane {

// What the run engine needs from the outside world: Qt's event loop in the program,
// a virtual-time simulator in tests.
class Platform {
public:
    virtual ~Platform() = default;
    virtual std::unique_ptr<Timer> createTimer(int intervalMs) = 0;
    virtual std::unique_ptr<TcpSocket> createSocket() = 0;
    virtual std::unique_ptr<Alarm> createAlarm() = 0;
    virtual const Clock& clock() const = 0;
};

} // namespace drovane
