#include "RunStatus.h"

namespace drovane {

void RunStatus::begin(const QList<std::shared_ptr<clsDomainsMain>>& groups) {
    rows_.clear();
    bySlot_.assign(size_t(groups.size()), {});
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const clsDomainsMain& group = *groups[g];
        QHash<QString, int>& index = bySlot_[size_t(g)];
        index.reserve(group.Count());
        for (int i = 1; i <= group.Count(); ++i) {
            const QString& domain = group.item(i)->Domain;
            // A name listed twice in one slot is one row: the replies cannot tell them apart.
            if (index.contains(domain))
                continue;
            index.insert(domain, int(rows_.size()));
            Row row;
            row.domain = domain;
            row.slot = int(g) + 1;
            rows_.push_back(std::move(row));
        }
    }
    changes_ = Changes{true, -1, -1};
}

void RunStatus::apply(const ReplyEvent& event) {
    if (event.slot < 1 || event.slot > int(bySlot_.size()))
        return;
    const QHash<QString, int>& index = bySlot_[size_t(event.slot - 1)];
    const auto found = index.constFind(event.domain);
    if (found == index.constEnd())
        return;
    const int r = found.value();
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
