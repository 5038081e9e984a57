#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace drovane {

enum class ReplyKind {
    NoMarker,    // not an answer to a check or purchase: ignored
    Pace,        // a code that only means "go on"
    Free,        // the name can be registered: buy it at the next connection
    BadLogin,    // the account was rejected: the run ends
    Ordered,     // a successful purchase
    ServerError, // no rule: the user is asked
    // The account does not take requests from this machine's address (its allow-list):
    // the run ends, as for a rejected account.
    AddressRefused,
};

struct ReplyVerdict {
    ReplyKind kind = ReplyKind::NoMarker;
    QString description; // for ServerError: the Err1= text or the RRPCode= line
    QString code;        // the RRPCode= value, when the reply has one
    QString orderId;     // for Ordered: the OrderID= value
    QString address;     // for AddressRefused: the address the registrar saw, if it said
};

// Judges one whole reply of the registrar by its markers.
ReplyVerdict interpretReply(const QByteArray& reply);

// The registrar's allow-list refusal, "Err1=User not permitted from this IP address -
// 203.0.113.5" (ResponseNumber1=713254), with the address it saw; an older form ends in
// a digit instead of the address, and then `address` is empty.
struct AddressRefusal {
    QString address;
};
std::optional<AddressRefusal> addressRefusal(const QByteArray& reply);

// A rejected user name or password: "Bad User name or Password" (ResponseNumber1=304155).
bool loginRejected(const QByteArray& reply);

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
