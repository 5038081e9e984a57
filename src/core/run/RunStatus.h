#pragma once

#include "core/model/DomainGroup.h"
#include "core/registrar/ReplyEvent.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

namespace drovane {

// How each name of the last run is doing, for the status window. Kept up to date on
// every counted submission at the cost of a string comparison or two; a view reads what
// changed when it pleases (takeChanges), so drawing never holds up a slot. The rows are
// packed (about 30 bytes a name with its text): a run may hold a million names.
class RunStatus {
public:
    struct Row {
        QString domain;
        int slot = 0;
        int tries = 0;
        bool replied = false; // false until the name's first counted submission
        ReplyEvent::Outcome outcome = ReplyEvent::Outcome::Taken;
        QString detail;  // Ordered: the order id; Unexpected: what the registrar said
        QString orderId; // the last order of the name, kept when later replies say taken
        QDateTime at;    // UTC of the last counted submission
    };
    // Rows that changed since the last takeChanges, as one span.
    struct Changes {
        bool reset = false; // a new run: every row is new
        int first = -1;     // -1 when no row changed
        int last = -1;
    };

    // A new run: one row per job of each slot's group, in the group's order, slot 1's
    // names first.
    void begin(const QList<std::shared_ptr<DomainGroup>>& groups);
    void apply(const ReplyEvent& event);

    int rowCount() const { return int(rows_.size()); }
    Row row(int index) const;
    // "taken", "free", "ordered 157237889", "unexpected reply: ...", or "" before any.
    static QString outcomeText(const Row& row);

    // The run at a glance: "3 names, 1,204 requests, 1 order, last reply 2 s ago" (`now`
    // in UTC).
    QString summaryText(const QDateTime& now) const;
    int requests() const { return requests_; }
    int orders() const { return orders_; }

    Changes takeChanges();

private:
    // Where a reply's row is: a slot asks about its names in turn, so the row of its
    // next reply is the row of its last one (a purchase after "free") or one of the
    // next few (after a removal); the search goes on from there and wraps.
    int findRow(int slot, const QString& domain);

    struct Span {
        int first = 0;
        int end = 0;
        int cursor = 0; // the row of the slot's last reply
    };
    // A row as it is kept; the name is in text_, the rare detail and order id in extra_.
    struct Packed {
        qint64 atMs = kNoTime; // UTC
        qint32 tries = 0;
        quint8 slot = 0;
        bool replied = false;
        quint8 outcome = quint8(ReplyEvent::Outcome::Taken);
    };
    struct Extra {
        QString detail;
        QString orderId;
    };
    static constexpr qint64 kNoTime = std::numeric_limits<qint64>::min();

    bool nameIs(int row, const QString& domain) const;

    std::vector<Packed> rows_;
    // The rows' names one after another, Latin-1; row r's runs from starts_[r] to
    // starts_[r + 1]. A name with other characters (or past 4 GiB) is kept in wide_.
    QByteArray text_;
    std::vector<quint32> starts_;
    std::unordered_map<int, QString> wide_;
    std::unordered_map<int, Extra> extra_;
    std::vector<Span> slots_; // slot - 1
    Changes changes_;
    int requests_ = 0;
    int orders_ = 0;
    QDateTime lastAt_;
};

} // namespace drovane
