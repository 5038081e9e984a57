#pragma once

#include "Endpoint.h"
#include "ReplyEvent.h"
#include "ReplyInterpreter.h"
#include "RequestBuilder.h"
#include "core/model/DomainGroup.h"
#include "core/platform/Platform.h"

#include <memory>

namespace drovane {

// What the two slots share: the run's counter, the log, the account and the run itself.
class SlotHost {
public:
    virtual ~SlotHost() = default;
    virtual RequestContext requestContext() const = 0;
    virtual QString delayText() const = 0; // the interval box, read at the start of each wait
    virtual bool purchaseMethod() const = 0;
    // A name found free is bought at once instead of at the next pacing moment.
    virtual bool buyAtOnce() const = 0;
    virtual qint32 submissions() const = 0;
    virtual void countSubmission() = 0;
    // Appends the job's log line when logging is on; `handler` names the event that
    // counted it, for the error report if the line cannot be written.
    virtual void logSubmission(const DomainJob& job, const QString& handler) = 0;
    // Every counted submission, after its log line; the host stamps the time.
    virtual void submissionCounted(const ReplyEvent& event) = 0;
    virtual void accountRejected() = 0;
    // The registrar does not take requests from this machine's address; `address` is the
    // one it saw, empty when it did not say. Ends the run like a rejected account.
    virtual void addressRefused(const QString& address) {
        Q_UNUSED(address);
        accountRejected();
    }
    // A request that came to nothing; the slot goes on through its watchdog.
    virtual void slotFailed(const SlotFailure& failure) { Q_UNUSED(failure); }
    // The TLS handshake with `host` failed or its certificate was refused; `reason` says
    // why in plain words. Nothing was sent on that connection.
    virtual void secureConnectionFailed(const QString& host, const QString& reason) = 0;
    virtual void serverError(int slot, const DomainJobPtr& job, int position,
                             const QString& description) = 0;
};

// One slot's clockwork: connect, request, reply, pacing, watchdog.
//
// Still one request per connection, but the connection for the next request is opened a
// lead time ahead, so the request leaves the moment it is due instead of one connection
// set-up later. The set-up time runs to the socket's connected event, so a socket that
// reports it after an encrypted handshake counts the handshake in. Buying at once, a
// second connection is opened beside it, so that a purchase can follow a "free" reply
// at once even where a handshake takes longer than the check's round trip.
class Slot {
public:
    static constexpr int kFirstWatchdogMs = 12000;
    static constexpr int kWatchdogMs = 8000;
    // The lead is this many times the last set-up time, within the bounds below; the upper
    // bound keeps a held connection from idling long enough for the registrar to drop it.
    static constexpr int kLeadFactor = 3;
    static constexpr qint64 kMinLeadUs = 200000;
    static constexpr qint64 kMaxLeadUs = 2000000;
    // A held connection the peer keeps closing is reopened at most this often per request;
    // after that the request connects when it is due.
    static constexpr int kMaxReopens = 2;

    // How the connections opened ahead fared, for the timing report.
    struct Stats {
        int openedAhead = 0;
        int reopened = 0;        // a held connection was lost before use and opened again
        int dueWhileOpening = 0; // the request waited for its connection to complete
        int fellBack = 0;        // no connection at the due moment: connected then
        qint64 lastLeadUs = 0;
        qint64 lastSetupUs = 0;
    };

    Slot(int index, std::shared_ptr<DomainGroup> group, Platform& platform, SlotHost& host,
         const Endpoint& endpoint);
    ~Slot();

    int index() const { return index_; }
    // Starts the slot's first connection now; the watchdog guards it from the start.
    void start();
    // Starts the slot so that its first request leaves at `steadyUs` (Clock::steadyUs),
    // on a connection opened ahead. Whatever the slot was doing is dropped.
    void startAt(qint64 steadyUs);
    // The reconnect sequence: close, then connect to the registrar afresh; the request
    // goes out on the connect event.
    void reconnect();
    // Detaches every callback and drops the connections; the slot does nothing more.
    void shutdown();

    const DomainGroup& group() const { return *group_; }
    const Stats& stats() const { return stats_; }
    // For checks from outside (the whole-run simulation): what is due and when.
    const Timer& pacing() const { return *pacing_; }
    const Timer& watchdog() const { return *watchdog_; }
    qint64 leadUs() const;

private:
    // One connection. A slot needs a second one only to hold a connection ready while a
    // check is still waiting for its reply (buying at once).
    struct Link {
        enum class State {
            Closed,
            Opening,  // ahead of its request
            Held,     // connected, waiting for its request's moment
            Dialing,  // the request is due: it goes out on the connect event
            Carrying, // the request went out (or there was none): its reply is awaited
        };
        std::unique_ptr<TcpSocket> socket;
        State state = State::Closed;
        qint64 openedUs = 0;
    };

    Link& link(int i);
    void attach(Link& l);
    void open(Link& l, Link::State as);
    void closeAll();
    Link* ahead();
    Link* held();
    Link* freeLink();
    int aheadCount() const;
    // How many connections should be open ahead now: one for the coming request and,
    // buying at once, one beside each check for the purchase its reply may call for.
    int wantedAhead() const;
    void openMissing();

    void connected(Link& l);
    void sendComplete(Link& l);
    void dataArrived(Link& l, const QByteArray& bytes);
    void closedByPeer(Link& l);
    void failed(Link& l, const QString& why);
    void heldLost(Link& l);

    void write(Link& l);
    void judge();
    ReplyEvent eventFor(const Request& request, const ReplyVerdict& verdict) const;
    void beginRequest();
    void rearmPacing(bool buyNow = false);
    void paceFromInterval();
    void scheduleOpen();
    void pacingTick();
    void dueArrived();
    void watchdogTick();
    // Tells the host of a request that came to nothing.
    void report(const QString& what);
    QString watchdogWhat() const;
    void restartWatchdog();
    qint64 nowUs() const { return clock_.steadyUs(); }

    int index_;
    std::shared_ptr<DomainGroup> group_;
    Platform& platform_;
    const Clock& clock_;
    SlotHost& host_;
    Endpoint endpoint_;
    Link links_[2];
    std::unique_ptr<Timer> pacing_;   // counts down to the moment to open ahead
    std::unique_ptr<Timer> watchdog_; // reconnects a slot whose request came to nothing
    std::unique_ptr<Alarm> dueAlarm_; // the moment the next request is written
    bool active_ = true;

    std::optional<qint64> dueUs_; // while waiting for the next request's moment
    bool readAgain_ = false;      // the interval could not be read: try again
    int reopens_ = 0;             // of held connections, for the coming request
    Stats stats_;

    // The current request: its connection, what was asked and what has come back so far.
    Link* carrier_ = nullptr;
    std::optional<Request> pending_;
    QByteArray reply_;
    ReplyEndTracker replyEnd_;
    bool judged_ = false;
    QString trouble_; // what went wrong with the current request, when it was seen
};

} // namespace drovane
