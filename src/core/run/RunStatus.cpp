#include "RunStatus.h"

#include <QLatin1StringView>
#include <QLocale>
#include <algorithm>
#include <climits>

namespace drovane {

void RunStatus::begin(const QList<std::shared_ptr<DomainGroup>>& groups) {
    rows_.clear();
    text_.clear();
    starts_.assign(1, 0);
    wide_.clear();
    extra_.clear();
    slots_.assign(size_t(groups.size()), {});
    qsizetype total = 0;
    for (const auto& group : groups)
        total += group->size();
    rows_.reserve(size_t(total));
    starts_.reserve(size_t(total) + 1);
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const DomainGroup& group = *groups[g];
        Span& span = slots_[size_t(g)];
        span.first = span.cursor = int(rows_.size());
        for (int i = 1; i <= group.size(); ++i) {
            const QString domain = group.domainAt(i);
            const bool latin1 = std::all_of(domain.begin(), domain.end(),
                                            [](QChar c) { return c.unicode() <= 0xFF; });
            if (latin1 && text_.size() + domain.size() <= qsizetype(UINT32_MAX)) {
                const qsizetype at = text_.size();
                text_.resize(at + domain.size());
                char* out = text_.data() + at;
                for (QChar c : domain)
                    *out++ = char(c.unicode());
            } else {
                wide_.emplace(int(rows_.size()), domain);
            }
            starts_.push_back(quint32(text_.size()));
            Packed row;
            row.slot = quint8(g + 1);
            rows_.push_back(row);
        }
        span.end = int(rows_.size());
    }
    text_.squeeze(); // grown step by step, it may hold half as much again unused
    changes_ = Changes{true, -1, -1};
    requests_ = orders_ = 0;
    lastAt_ = QDateTime();
}

bool RunStatus::nameIs(int r, const QString& domain) const {
    if (const auto it = wide_.find(r); it != wide_.end())
        return it->second == domain;
    const size_t k = size_t(r);
    return QLatin1StringView(text_.constData() + starts_[k], starts_[k + 1] - starts_[k]) == domain;
}

RunStatus::Row RunStatus::row(int index) const {
    const Packed& p = rows_[size_t(index)];
    Row row;
    if (const auto it = wide_.find(index); it != wide_.end())
        row.domain = it->second;
    else
        row.domain = QLatin1StringView(text_.constData() + starts_[size_t(index)],
                                       starts_[size_t(index) + 1] - starts_[size_t(index)]);
    row.slot = p.slot;
    row.tries = p.tries;
    row.replied = p.replied;
    row.outcome = ReplyEvent::Outcome(p.outcome);
    if (p.atMs != kNoTime)
        row.at = QDateTime::fromMSecsSinceEpoch(p.atMs, Qt::UTC);
    if (const auto it = extra_.find(index); it != extra_.end()) {
        row.detail = it->second.detail;
        row.orderId = it->second.orderId;
    }
    return row;
}

int RunStatus::findRow(int slot, const QString& domain) {
    if (slot < 1 || slot > int(slots_.size()))
        return -1;
    Span& span = slots_[size_t(slot - 1)];
    const int count = span.end - span.first;
    for (int step = 0; step < count; ++step) {
        int r = span.cursor + step;
        if (r >= span.end)
            r -= count;
        if (nameIs(r, domain)) {
            span.cursor = r;
            return r;
        }
    }
    return -1;
}

void RunStatus::apply(const ReplyEvent& event) {
    if (requests_ < INT_MAX)
        ++requests_;
    if (event.outcome == ReplyEvent::Outcome::Ordered)
        ++orders_;
    lastAt_ = event.at;
    const int r = findRow(event.slot, event.domain);
    if (r < 0)
        return;
    Packed& row = rows_[size_t(r)];
    row.tries = event.tries;
    row.replied = true;
    row.outcome = quint8(event.outcome);
    row.atMs = event.at.isValid() ? event.at.toMSecsSinceEpoch() : kNoTime;
    switch (event.outcome) {
    case ReplyEvent::Outcome::Ordered: {
        Extra& extra = extra_[r];
        extra.detail = event.orderId;
        extra.orderId = event.orderId;
        break;
    }
    case ReplyEvent::Outcome::Unexpected:
        extra_[r].detail = event.description;
        break;
    default:
        // The order id stays: the last order of the name is kept when later replies say taken.
        if (const auto it = extra_.find(r); it != extra_.end()) {
            it->second.detail.clear();
            if (it->second.orderId.isEmpty())
                extra_.erase(it);
        }
        break;
    }
    if (changes_.reset)
        return;
    if (changes_.first < 0 || r < changes_.first)
        changes_.first = r;
    if (r > changes_.last)
        changes_.last = r;
}

RunStatus::Changes RunStatus::takeChanges() {
    const Changes taken = changes_;
    changes_ = Changes{};
    return taken;
}

QString RunStatus::summaryText(const QDateTime& now) const {
    const QLocale c = QLocale::c();
    auto count = [&](qint64 n, const char* one, const char* many) {
        return c.toString(n) + u' ' + QLatin1String(n == 1 ? one : many);
    };
    QString text = count(rows_.size(), "name", "names") + QStringLiteral(", ") +
                   count(requests_, "request", "requests") + QStringLiteral(", ") +
                   count(orders_, "order", "orders");
    if (!lastAt_.isValid())
        return text + QStringLiteral(", no reply yet");
    const qint64 ago = std::max<qint64>(0, lastAt_.secsTo(now));
    const QString when = ago < 120    ? QStringLiteral("%1 s").arg(ago)
                         : ago < 7200 ? QStringLiteral("%1 min").arg(ago / 60)
                                      : QStringLiteral("%1 h").arg(ago / 3600);
    return text + QStringLiteral(", last reply %1 ago").arg(when);
}

QString RunStatus::outcomeText(const Row& row) {
    if (!row.replied)
        return QString();
    switch (row.outcome) {
    case ReplyEvent::Outcome::Taken:
        return QStringLiteral("taken");
    case ReplyEvent::Outcome::Free:
        return QStringLiteral("free");
    case ReplyEvent::Outcome::Ordered:
        return QStringLiteral("ordered ") + row.detail;
    case ReplyEvent::Outcome::Rejected:
        return QStringLiteral("account rejected");
    case ReplyEvent::Outcome::Unexpected:
        return QStringLiteral("unexpected reply: ") + row.detail;
    case ReplyEvent::Outcome::SentBlind:
        return QStringLiteral("purchase sent, reply not read");
    }
    return QString();
}

} // namespace drovane
