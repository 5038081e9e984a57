#include "ListLines.h"

#include "core/settings/SettingsCodec.h"

#include <algorithm>

namespace drovane {

ListLines::ListLines() : starts_{0} {}

void ListLines::setText(QString text) {
    // Every break becomes one "\n", never longer than what it replaces, so the text is
    // rewritten where it lies and the line starts are found on the way.
    starts_.clear();
    starts_.append(0);
    const qsizetype n = text.size();
    QChar* const chars = text.data();
    qsizetype out = 0;
    for (qsizetype in = 0; in < n; ++in) {
        const QChar c = chars[in];
        if (isLineBreak(c)) {
            if (c == u'\r' && in + 1 < n && chars[in + 1] == u'\n')
                ++in;
            chars[out++] = u'\n';
            starts_.append(out);
        } else {
            chars[out++] = c;
        }
    }
    text.truncate(out);
    text_ = std::move(text);
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
