#include "IntervalCheck.h"

#include "core/platform/NumberText.h"

namespace drovane {

IntervalCheck checkIntervalText(const QString& text, const QString& lastAccepted) {
    // The same parser as the pacing tick, so an accepted interval is always one it can use.
    if (const auto v = parseDecimal(text)) {
        if (*v > 0 && *v < 1000)
            return {IntervalCheck::Accept, text};
        return {IntervalCheck::RangeMessage, lastAccepted};
    }
    if (text.isEmpty())
        return {IntervalCheck::Accept, text};
    return {IntervalCheck::Beep, lastAccepted};
}

} // namespace drovane
