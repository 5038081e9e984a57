#pragma once

#include <QString>

namespace drovane {

inline constexpr char kIntervalRangeMessage[] = "Please enter a number between 1 and 999!";

// The verdict on a new text of the interval box. The box then holds `text`, which is
// also its new last accepted text (its Tag): the new text when accepted, otherwise the
// last accepted one, after the range message or with a beep.
struct IntervalCheck {
    enum Outcome { Accept, RangeMessage, Beep };
    Outcome outcome;
    QString text;
};

// Numbers above 0 and below 1000 are accepted, and so is the empty text. Any other
// number gets the range message; text that is not a number gets a beep.
IntervalCheck checkIntervalText(const QString& text, const QString& lastAccepted);

} // namespace drovane
