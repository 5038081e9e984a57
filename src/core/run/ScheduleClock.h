#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

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
    // Microseconds from `wallUs` (the same moment as `now`, finer) to the beginning of the
    // next second the start text names, when a tick would act on it: both texts must be
    // valid and the start a time of day. Reports nothing: the ticks do that.
    static std::optional<qint64> usToStart(const QDateTime& now, qint64 wallUs,
                                           const QString& startText, const QString& endText);

private:
    QDateTime previous_; // local wall time to the second, without a time zone
};

} // namespace drovane
