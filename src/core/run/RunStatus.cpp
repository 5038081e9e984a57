#include "RunStatus.h"

#include <QLocale>
#include <algorithm>
#include <climits>

namespace drovane {

void RunStatus::begin(const QList<std::shared_ptr<clsDomainsMain>>& groups) {
    rows_.clear();
    slots_.assign(size_t(groups.size()), {});
    qsizetype total = 0;
    for (const auto& group : groups)
        total += group->Count();
    rows_.reserve(size_t(total));
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const clsDomainsMain& group = *groups[g];
        Span& span = slots_[size_t(g)];
        span.first = span.cursor = int(rows_.size());
        for (int i = 1; i <= group.Count(); ++i) {
            Row row;
            row.domain = group.item(i)->Domain;
            row.slot = int(g) + 1;
            rows_.push_back(std::move(row));
        }
        span.end = int(rows_.size());
    }
    changes_ = Changes{true, -1, -1};
    requests_ = orders_ = 0;
    lastAt_ = QDateTime();
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
        if (rows_[size_t(r)].domain == domain) {
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
    Row& row = rows_[size_t(r)];
    row.tries = event.tries;
    row.replied = true;
    row.outcome = event.outcome;
    row.at = event.at;
    switch (event.outcome) {
    case ReplyEvent::Outcome::Ordered:
        row.detail = event.orderId;
        row.orderId = event.orderId;
        break;
    case ReplyEvent::Outcome::Unexpected:
        row.detail = event.description;
        break;
    default:
        row.detail.clear();
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
