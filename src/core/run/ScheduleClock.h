#pragma once

#include <QDateTime>
#include <QString>

namespace drovane {

// Decides, once a tick, whether a scheduled run starts or ends. A start or end time
// fires when its second was crossed since the previous tick, so a late tick still
// fires; a clock turned back fires nothing. A tick that passed over a whole window,
// start and end, stops the run without starting it.
class ScheduleClock {
public:
    enum class Action { None, Start, Stop };

    // The moment the scheduled run was started: a time equal to it has passed already.
    void begin(const QDateTime& now);
    Action tick(const QDateTime& now, const QString& startText, const QString& endText);

    // Milliseconds from now to just after the next whole second of the wall clock.
    static int msToNextTick(const QDateTime& now);

private:
    QDateTime previous_; // local wall time to the second, without a time zone
};

} // namespace drovane
