#include "clsDomainsMain.h"

#include "HandleError.h"

namespace drovane {
namespace {
void outOfRange(const char* procedure, int position) {
    HandleError(9, QStringLiteral("Subscript out of range: %1").arg(position),
                QString::fromLatin1(procedure), QStringLiteral("clsDomainsMain"),
                QStringLiteral("clsDomainsMain"));
}
} // namespace

void clsDomainsMain::Add(const DomainJob& job) {
    jobs_.append(job);
}

DomainJob clsDomainsMain::item(int position) const {
    if (position < 1 || position > Count()) {
        outOfRange("Item", position);
        return nullptr;
    }
    return jobs_[position - 1];
}

void clsDomainsMain::Remove(int position) {
    if (position < 1 || position > Count()) {
        outOfRange("Remove", position);
        return;
    }
    jobs_.removeAt(position - 1);
}

int clsDomainsMain::indexOf(const DomainJob& job) const {
    return job ? int(jobs_.indexOf(job)) + 1 : 0;
}

} // namespace drovane
