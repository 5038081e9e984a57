#pragma once

#include "clsDomains.h"

#include <QList>

namespace drovane {

// The domain group of one slot: its jobs in list order and the cursor the slot walks.
// Positions are 1-based. CurPos is only ever changed by the callers.
class clsDomainsMain {
public:
    int CurPos = 0;

    void Add(const DomainJob& job);
    int Count() const { return int(jobs_.size()); }
    // The job at a 1-based position; null (and a trapped error) outside 1..Count.
    DomainJob item(int position) const;
    // Deletes the job at a 1-based position; outside 1..Count nothing happens.
    void Remove(int position);
    // The 1-based position of a job, or 0 when it is not in the group.
    int indexOf(const DomainJob& job) const;

private:
    QList<DomainJob> jobs_;
};

} // namespace drovane
