#pragma once

#include <QByteArray>
#include <QString>

namespace drovane {

enum class ReplyKind {
    NoMarker,    // not an answer to a check or purchase: ignored
    Pace,        // a code that only means "go on"
    Free,        // the name can be registered: buy it at the next connection
    BadLogin,    // the account was rejected: the run ends
    Ordered,     // a successful purchase
    ServerError, // no rule: the user is asked
};

struct ReplyVerdict {
    ReplyKind kind = ReplyKind::NoMarker;
    QString description; // for ServerError: the Err1= text or the RRPCode= line
    QString code;        // the RRPCode= value, when the reply has one
    QString orderId;     // for Ordered: the OrderID= value
};

// Judges one whole reply of the registrar by its markers.
ReplyVerdict interpretReply(const QByteArray& reply);

// True once the reply carries HTTP headers with a Content-Length and at least that
// many body bytes; without one, a reply ends when the registrar closes the connection.
bool replyIsComplete(const QByteArray& reply);

// The same test for a reply that grows piece by piece: each call looks only at what
// came since the last one, so a reply trickled in small pieces costs time linear in
// its size. Give it the whole reply so far every time; reset() for the next reply.
class ReplyEndTracker {
public:
    bool complete(const QByteArray& reply);
    void reset() { *this = ReplyEndTracker(); }

private:
    qsizetype scanned_ = 0;    // the header end lies at or after this offset
    qsizetype bodyStart_ = -1; // once the header end was found
    qint64 length_ = -1;       // the Content-Length, when the headers had a valid one
};

} // namespace drovane
