#pragma once

#include <QDateTime>
#include <QString>

namespace drovane {

// What one counted submission came to, as the faces show it (status window, server
// runner lines, order notices).
struct ReplyEvent {
    enum class Outcome {
        Taken,      // a code that only means "go on" (the name is registered, ...)
        Free,       // a check found the name free
        Ordered,    // a purchase succeeded
        Rejected,   // the account was rejected
        Unexpected, // no rule: the description says what the registrar said
        SentBlind,  // a purchase sent without reading its reply (PURCHASE method)
    };
    QDateTime at; // UTC
    int slot = 0;
    QString domain;
    int tries = 0; // the job's count after this submission
    Outcome outcome = Outcome::Taken;
    QString code;        // the RRPCode= value, when the reply had one
    QString orderId;     // Ordered: the OrderID= value
    QString description; // Unexpected: the Err1= text or the RRPCode= line
};

// A request of a slot that came to nothing: its connection failed, or the watchdog found
// it unanswered. Told so that a stalled catch is not a silent one.
struct SlotFailure {
    int slot = 0;
    QString domain; // the name the request was, or would have been, for; may be empty
    QString what;   // "no reply within 8 s", "the connection failed: Connection refused"
    QDateTime at;   // UTC, stamped by the host
};

} // namespace drovane
