#include "DomainGroup.h"

#include "HandleError.h"

#include <QLatin1StringView>
#include <algorithm>
#include <climits>

namespace drovane {
namespace {
void outOfRange(const char* procedure, int position) {
    HandleError(9, QStringLiteral("Subscript out of range: %1").arg(position),
                QString::fromLatin1(procedure), QStringLiteral("clsDomainsMain"),
                QStringLiteral("clsDomainsMain"));
}

bool isLatin1(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}
} // namespace

struct DomainGroup::Store {
    // The packed jobs' names one after another, Latin-1 (a name with other characters
    // is kept in `renamed`); record i's name runs from starts[i] to starts[i + 1].
    QByteArray text;
    std::vector<quint32> starts{0};
    std::vector<qint16> tries;
    std::vector<bool> purchase;
    std::unordered_map<quint32, QString> renamed;
    // Jobs added whole; a removed one is let go (its place stays, so indices hold).
    std::vector<DomainJobPtr> whole;
    // The packed jobs that are held now, both ways.
    std::unordered_map<quint32, std::weak_ptr<DomainJob>> live;
    std::unordered_map<const DomainJob*, quint32> idOf;

    QLatin1StringView packedName(quint32 id) const {
        return QLatin1StringView(text.constData() + starts[id], starts[id + 1] - starts[id]);
    }
    QString name(quint32 id) const {
        if (const auto it = renamed.find(id); it != renamed.end())
            return it->second;
        return packedName(id);
    }
    // The last holder of a job made on demand let go: its fields are the record's again.
    void takeBack(quint32 id, const DomainJob& job) {
        tries[id] = job.tries;
        purchase[id] = job.buyNext;
        const auto it = renamed.find(id);
        if (it != renamed.end() ? it->second != job.domain : packedName(id) != job.domain)
            renamed[id] = job.domain;
        live.erase(id);
        idOf.erase(&job);
    }
};

DomainGroup::Store& DomainGroup::store() const {
    if (!store_)
        store_ = std::make_shared<Store>();
    return *store_;
}

void DomainGroup::add(const DomainJobPtr& job) {
    Store& s = store();
    order_.push_back(kWhole | quint32(s.whole.size()));
    s.whole.push_back(job);
}

void DomainGroup::addName(QStringView domain) {
    Store& s = store();
    const quint32 id = quint32(s.tries.size());
    // Offsets are 32-bit: a list past 4 GiB of names goes on with whole jobs.
    if (qsizetype(s.text.size()) + domain.size() > qsizetype(UINT32_MAX) || id >= kWhole - 1) {
        auto job = std::make_shared<DomainJob>();
        job->domain = domain.toString();
        add(job);
        return;
    }
    if (isLatin1(domain)) {
        const qsizetype at = s.text.size();
        s.text.resize(at + domain.size());
        char* out = s.text.data() + at;
        for (QChar c : domain)
            *out++ = char(c.unicode());
    } else {
        s.renamed.emplace(id, domain.toString());
    }
    s.starts.push_back(quint32(s.text.size()));
    s.tries.push_back(0);
    s.purchase.push_back(false);
    order_.push_back(id);
}

void DomainGroup::reserve(qsizetype names, qsizetype characters) {
    Store& s = store();
    const size_t more = size_t(std::max<qsizetype>(names, 0));
    s.text.reserve(s.text.size() + std::max<qsizetype>(characters, 0));
    s.starts.reserve(s.starts.size() + more);
    s.tries.reserve(s.tries.size() + more);
    s.purchase.reserve(s.purchase.size() + more);
    order_.reserve(order_.size() + more);
}

DomainJobPtr DomainGroup::packed(quint32 id) const {
    Store& s = *store_;
    if (const auto it = s.live.find(id); it != s.live.end())
        if (DomainJobPtr held = it->second.lock())
            return held;
    auto* job = new DomainJob;
    job->domain = s.name(id);
    job->tries = s.tries[id];
    job->buyNext = s.purchase[id];
    DomainJobPtr handle(job, [store = std::weak_ptr<Store>(store_), id](DomainJob* j) {
        if (const auto owner = store.lock())
            owner->takeBack(id, *j);
        delete j;
    });
    s.live[id] = handle;
    s.idOf[job] = id;
    return handle;
}

DomainJobPtr DomainGroup::at(int position) const {
    if (position < 1 || position > size()) {
        outOfRange("Item", position);
        return nullptr;
    }
    const quint32 entry = order_[size_t(position - 1)];
    if (entry & kWhole)
        return store_->whole[entry & ~kWhole];
    return packed(entry);
}

QString DomainGroup::domainAt(int position) const {
    if (position < 1 || position > size())
        return QString();
    const quint32 entry = order_[size_t(position - 1)];
    if (entry & kWhole) {
        const DomainJobPtr& job = store_->whole[entry & ~kWhole];
        return job ? job->domain : QString();
    }
    // A job that is held may have been renamed by its holder.
    if (const auto it = store_->live.find(entry); it != store_->live.end())
        if (const DomainJobPtr held = it->second.lock())
            return held->domain;
    return store_->name(entry);
}

void DomainGroup::remove(int position) {
    if (position < 1 || position > size()) {
        outOfRange("Remove", position);
        return;
    }
    const quint32 entry = order_[size_t(position - 1)];
    order_.erase(order_.begin() + (position - 1));
    if (entry & kWhole)
        store_->whole[entry & ~kWhole].reset();
}

int DomainGroup::indexOf(const DomainJobPtr& job) const {
    if (!job || !store_)
        return 0;
    const Store& s = *store_;
    quint32 entry = 0;
    if (const auto it = s.idOf.find(job.get()); it != s.idOf.end()) {
        entry = it->second;
    } else {
        const auto at = std::find(s.whole.begin(), s.whole.end(), job);
        if (at == s.whole.end())
            return 0;
        entry = kWhole | quint32(at - s.whole.begin());
    }
    const auto at = std::find(order_.begin(), order_.end(), entry);
    return at == order_.end() ? 0 : int(at - order_.begin()) + 1;
}

std::optional<DomainGroup::Choice> DomainGroup::nextChoice(RequestMethod method) const {
    const int count = size();
    if (count == 0 || method == RequestMethod::None)
        return std::nullopt;
    Choice choice;
    choice.purchase = method == RequestMethod::Purchase;
    int from = cursor;
    if (method == RequestMethod::Check) {
        // A cursor past the end (after a removal) names no job: nothing is pending.
        const bool inRange = from >= 1 && from <= count;
        if (inRange && at(from)->buyNext) {
            choice.position = from;
            choice.purchase = choice.pendingPurchase = true;
            return choice;
        }
        if (from == 1 && at(1)->tries == 0)
            from = 0; // the first check of a run goes to the first name
    }
    // The walk 1, 2, ..., size(), 1, ...; a cursor outside the group comes back to 1.
    choice.position = from >= 0 && from < count ? from + 1 : 1;
    return choice;
}

std::optional<Pick> DomainGroup::pickNext(RequestMethod method) {
    const std::optional<Choice> choice = nextChoice(method);
    if (!choice)
        return std::nullopt;
    DomainJobPtr job = at(choice->position);
    if (choice->pendingPurchase)
        job->buyNext = false;
    cursor = choice->position;
    return Pick{std::move(job), choice->position, choice->purchase};
}

std::optional<Pick> DomainGroup::peekNext(RequestMethod method) const {
    const std::optional<Choice> choice = nextChoice(method);
    if (!choice)
        return std::nullopt;
    return Pick{at(choice->position), choice->position, choice->purchase};
}

} // namespace drovane
