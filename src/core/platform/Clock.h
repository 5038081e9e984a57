#pragma once

#include <QDateTime>

namespace drovane {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0; // local date and time
};

} // namespace drovane
