#include "ScheduleClock.h"

#include "core/model/HandleError.h"
#include "core/platform/DateTimeText.h"

namespace drovane {
namespace {

constexpr int kDay = 86400;
// Ticks land this long after the second, so that a tick a little early still sees it.
constexpr int kTickOffsetMs = 2;

// Wall time as shown on the clock face: a change to or from summer time is a jump
// of the clock like any other.
QDateTime wallSecond(const QDateTime& now) {
    const QTime t = now.time();
    return QDateTime(now.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC);
}

} // namespace

void ScheduleClock::begin(const QDateTime& now) {
    previous_ = wallSecond(now);
}

ScheduleClock::Action ScheduleClock::tick(const QDateTime& now, const QString& startText,
                                          const QString& endText) {
    const QDateTime current = wallSecond(now);
    const QDateTime previous = previous_;
    previous_ = current;
    const qint64 elapsed = previous.secsTo(current);
    if (elapsed <= 0)
        return Action::None;

    const auto start = parseDateTime(startText);
    const auto end = parseDateTime(endText);
    if (!start || !end) {
        HandleError(13, QStringLiteral("Type mismatch"), QStringLiteral("tmrSec_Timer"),
                    start ? QStringLiteral("txtEndTime") : QStringLiteral("txtStartTime"),
                    QStringLiteral("frmMain"));
        return Action::None;
    }
    const int from = previous.time().msecsSinceStartOfDay() / 1000;
    auto second = [](const DateTimeValue& v) { return v.time.msecsSinceStartOfDay() / 1000; };
    auto crossed = [&](const DateTimeValue& v) {
        if (v.hasDate()) // a date never equals a time of day
            return false;
        if (elapsed >= kDay)
            return true;
        const int ahead = ((second(v) - from) % kDay + kDay) % kDay;
        return ahead > 0 && ahead <= elapsed;
    };
    const bool startCrossed = crossed(*start);
    const bool endCrossed = crossed(*end);
    // Equal times: the start wins and the run goes on. A tick that crossed both the
    // start and the end of a window (a machine waking up, a clock jump) came after the
    // window was over; starting now would run until the end came round a day later.
    if (startCrossed && (!endCrossed || second(*start) == second(*end)))
        return Action::Start;
    if (endCrossed)
        return Action::Stop;
    return Action::None;
}

std::optional<qint64> ScheduleClock::usToStart(const QDateTime& now, qint64 wallUs,
                                               const QString& startText, const QString& endText) {
    const auto start = parseDateTime(startText);
    if (!start || !parseDateTime(endText) || start->hasDate())
        return std::nullopt;
    constexpr qint64 kDayUs = qint64(kDay) * 1000000;
    const qint64 localUs = wallUs + qint64(now.offsetFromUtc()) * 1000000;
    const qint64 intoDay = (localUs % kDayUs + kDayUs) % kDayUs;
    const qint64 target = qint64(start->time.msecsSinceStartOfDay() / 1000) * 1000000;
    return ((target - intoDay) % kDayUs + kDayUs) % kDayUs;
}

int ScheduleClock::msToNextTick(const QDateTime& now) {
    return 1000 - now.time().msec() + kTickOffsetMs;
}

} // namespace drovane
