#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

namespace drovane {

// A date/time value converted from the user's text: a time of day, optionally with
// a date. A time without a date counts from the zero date 12/30/1899, which is how
// the minute difference of the schedule check treats it.
struct DateTimeValue {
    QDate date; // null when the text held only a time
    QTime time;
    bool hasDate() const { return date.isValid(); }
    // Minutes since the zero date, counted at minute boundaries.
    qint64 wholeMinutes() const;
};

// Accepts "10:30 PM", "10:30:15 pm", "22:30", "22:30:15", "10:30PM" and a date with
// a time such as "12/31/2026 10:30 PM" or a date alone. Independent of the locale.
std::optional<DateTimeValue> parseDateTime(const QString& text);

// The absolute number of minute boundaries between two values (end minus start).
qint64 minutesBetween(const DateTimeValue& start, const DateTimeValue& end);

} // namespace drovane
