#pragma once

#include "DomainJob.h"

#include <QByteArray>
#include <QStringView>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace drovane {

// How a run asks about its names: check each and buy those a check finds free, or send
// a purchase for every name from the first request on. None sends nothing.
enum class RequestMethod { Check, Purchase, None };

// The job the next request goes to, where it stands in its group, and whether that
// request buys it.
struct Pick {
    DomainJobPtr job;
    int position = 0;
    bool purchase = false;
};

// The domain group of one slot: its jobs in list order and the cursor the slot walks.
// Positions are 1-based. The cursor moves with pickNext(); a run that removes a job
// before it steps it back, so that it stays on the job it was on.
//
// A run over a million names keeps them packed: the names dealt with addName live in one
// buffer, their counters in a small record each, and a DomainJob exists only while
// someone holds it (a request in flight, an error report): at() makes it on demand,
// hands out the same object as long as it is held, and takes its counters back when the
// last holder lets go. Jobs added whole with add() are kept as they are.
class DomainGroup {
public:
    int cursor = 0;

    void add(const DomainJobPtr& job);
    // Appends a new job for `domain` (no tries, no purchase pending), packed.
    void addName(QStringView domain);
    // Makes room for that many more names of that many characters in all.
    void reserve(qsizetype names, qsizetype characters);
    int size() const { return int(order_.size()); }
    // The job at a 1-based position; null (and a trapped error) outside 1..size().
    DomainJobPtr at(int position) const;
    // The name of the job at a 1-based position, without making the job; empty outside.
    QString domainAt(int position) const;
    // Deletes the job at a 1-based position; outside 1..size() nothing happens.
    void remove(int position);
    // The 1-based position of a job, or 0 when it is not in the group.
    int indexOf(const DomainJobPtr& job) const;

    // Chooses the job of the next request and moves the cursor onto it. Checking, a job
    // a check found free is bought next (its flag is used up here); otherwise the walk
    // goes 1, 2, ..., size(), 1, ..., the first check of a run going to the first name.
    // Nothing for an empty group or the method None.
    std::optional<Pick> pickNext(RequestMethod method);
    // What pickNext() would choose now, changing nothing: what a report of a connection
    // that failed before its request can name.
    std::optional<Pick> peekNext(RequestMethod method) const;

private:
    // What a job made on demand carries back when it is let go; kept apart from the
    // group, which a holder may outlive.
    struct Store;
    // An entry of order_: a packed job's record, or (with kWhole) a job added whole.
    static constexpr quint32 kWhole = 0x80000000u;

    // Where pickNext() goes, and whether that uses up a pending purchase.
    struct Choice {
        int position = 0;
        bool purchase = false;
        bool pendingPurchase = false;
    };
    std::optional<Choice> nextChoice(RequestMethod method) const;

    Store& store() const;
    DomainJobPtr packed(quint32 id) const;

    mutable std::shared_ptr<Store> store_;
    std::vector<quint32> order_;
};

} // namespace drovane
