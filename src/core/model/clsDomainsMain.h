#pragma once

#include "clsDomains.h"

#include <QByteArray>
#include <QStringView>
#include <memory>
#include <unordered_map>
#include <vector>

namespace drovane {

// The domain group of one slot: its jobs in list order and the cursor the slot walks.
// Positions are 1-based. CurPos is only ever changed by the callers.
//
// A run over a million names keeps them packed: the names dealt with AddName live in one
// buffer, their counters in a small record each, and a clsDomains exists only while
// someone holds it (a request in flight, an error report): item() makes it on demand,
// hands out the same object as long as it is held, and takes its counters back when the
// last holder lets go. Jobs added whole with Add are kept as they are.
class clsDomainsMain {
public:
    int CurPos = 0;

    void Add(const DomainJob& job);
    // Appends a new job for `domain` (Tries 0, no purchase pending), packed.
    void AddName(QStringView domain);
    // Makes room for that many more names of that many characters in all.
    void reserve(qsizetype names, qsizetype characters);
    int Count() const { return int(order_.size()); }
    // The job at a 1-based position; null (and a trapped error) outside 1..Count.
    DomainJob item(int position) const;
    // The name of the job at a 1-based position, without making the job; empty outside.
    QString domainAt(int position) const;
    // Deletes the job at a 1-based position; outside 1..Count nothing happens.
    void Remove(int position);
    // The 1-based position of a job, or 0 when it is not in the group.
    int indexOf(const DomainJob& job) const;

private:
    // What a job made on demand carries back when it is let go; kept apart from the
    // group, which a holder may outlive.
    struct Store;
    // An entry of order_: a packed job's record, or (with kWhole) a job added whole.
    static constexpr quint32 kWhole = 0x80000000u;

    Store& store() const;
    DomainJob packed(quint32 id) const;

    mutable std::shared_ptr<Store> store_;
    std::vector<quint32> order_;
};

} // namespace drovane
