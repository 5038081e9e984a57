#include "ListLines.h"

#include "core/settings/SettingsCodec.h"

#include <algorithm>

namespace drovane {

ListLines::ListLines() : starts_{0} {}

void ListLines::setText(const QString& text) {
    text_ = unifyLineBreaks(text, u"\n");
    text_.squeeze();
    starts_.clear();
    starts_.append(0);
    for (qsizetype at = text_.indexOf(u'\n'); at >= 0; at = text_.indexOf(u'\n', at + 1))
        starts_.append(at + 1);
    starts_.squeeze();
}

QString ListLines::crlfText() const {
    return unifyLineBreaks(text_, u"\r\n");
}

qsizetype ListLines::lineEnd(int line) const {
    return line + 1 < starts_.size() ? starts_[line + 1] - 1 : text_.size();
}

QStringView ListLines::line(int line) const {
    return QStringView(text_).sliced(starts_[line], lineEnd(line) - starts_[line]);
}

int ListLines::lineOf(qsizetype position) const {
    const auto after = std::upper_bound(starts_.cbegin(), starts_.cend(), position);
    return int(after - starts_.cbegin()) - 1;
}

qsizetype ListLines::replace(qsizetype from, qsizetype to, const QString& with) {
    from = std::clamp<qsizetype>(from, 0, text_.size());
    to = std::clamp<qsizetype>(to, from, text_.size());
    const QString added = unifyLineBreaks(with, u"\n");
    text_.replace(from, to - from, added);

    // Lines that began inside the replaced range are gone; those after it move.
    const qsizetype delta = added.size() - (to - from);
    const auto first = std::upper_bound(starts_.begin(), starts_.end(), from);
    const auto last = std::upper_bound(first, starts_.end(), to);
    const qsizetype keptBefore = first - starts_.begin();
    starts_.erase(first, last);
    for (auto it = starts_.begin() + keptBefore; it != starts_.end(); ++it)
        *it += delta;
    QList<qsizetype> fresh;
    for (qsizetype at = added.indexOf(u'\n'); at >= 0; at = added.indexOf(u'\n', at + 1))
        fresh.append(from + at + 1);
    starts_.insert(keptBefore, fresh.size(), 0);
    std::copy(fresh.cbegin(), fresh.cend(), starts_.begin() + keptBefore);
    return added.size();
}

} // namespace drovane
