#pragma once

#include <QString>
#include <optional>

namespace drovane {

// The one notion of "a number" shared by the interval check and the pacing tick:
// C-locale decimal text with an optional sign, decimal point and exponent
// ("5", "-1", "1.5", "1e2", ".5"). No blanks, grouping, hex, inf or nan.
std::optional<double> parseDecimal(const QString& text);

} // namespace drovane
