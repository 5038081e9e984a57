#include "NumberText.h"

#include <cmath>

namespace drovane {

std::optional<double> parseDecimal(const QString& text) {
    const int n = text.size();
    int i = 0;
    auto isDigit = [&](int k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    int digits = 0;
    while (isDigit(i))
        ++i, ++digits;
    if (i < n && text[i] == u'.') {
        ++i;
        while (isDigit(i))
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        if (!isDigit(i))
            return std::nullopt;
        while (isDigit(i))
            ++i;
    }
    if (i != n)
        return std::nullopt;
    bool ok = false;
    const double v = text.toDouble(&ok); // QString::toDouble is C-locale
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace drovane
