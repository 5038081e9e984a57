#pragma once

#include "Endpoint.h"
#include "ReplyEvent.h"
#include "ReplyInterpreter.h"
#include "RequestBuilder.h"
#include "core/model/clsDomainsMain.h"
#include "core/platform/Platform.h"

#include <memory>

namespace drovane {

// What the two slots share: the run's counter, the log, the account and the run itself.
class SlotHost {
public:
    virtual ~SlotHost() = default;
    virtual RequestContext requestContext() const = 0;
    virtual QString delayText() const = 0; // the interval box, read on every pacing tick
    virtual bool purchaseMethod() const = 0;
    virtual qint32 submissions() const = 0;
    virtual void countSubmission() = 0;
    // Appends the job's log line when logging is on; `handler` names the event that
    // counted it, for the error report if the line cannot be written.
    virtual void logSubmission(const clsDomains& job, const QString& handler) = 0;
    // Every counted submission, after its log line; the host stamps the time.
    virtual void submissionCounted(const ReplyEvent& event) = 0;
    virtual void accountRejected() = 0;
    // The TLS handshake with `host` failed or its certificate was refused; `reason` says
    // why in plain words. Nothing was sent on that connection.
    virtual void secureConnectionFailed(const QString& host, const QString& reason) = 0;
    virtual void serverError(int slot, const DomainJob& job, int position,
                             const QString& description) = 0;
};

// One slot's clockwork: connect, request, reply, pacing, watchdog.
class Slot {
public:
    static constexpr int kFirstWatchdogMs = 12000;
    static constexpr int kWatchdogMs = 8000;

    Slot(int index, std::shared_ptr<clsDomainsMain> group, Platform& platform, SlotHost& host,
         const Endpoint& endpoint);
    ~Slot();

    int index() const { return index_; }
    // Starts the slot's first connection; the watchdog guards it from the start.
    void start();
    // The reconnect sequence: close, then connect to the registrar afresh.
    void reconnect();
    // Detaches every callback and drops the connection; the slot does nothing more.
    void shutdown();

    Timer& tmrDelay() { return *tmrDelay_; }
    Timer& tmrBackup() { return *tmrBackup_; }
    const clsDomainsMain& group() const { return *group_; }

private:
    void connected();
    void sendComplete();
    void dataArrived(const QByteArray& bytes);
    void closedByPeer();
    void judge();
    ReplyEvent eventFor(const Request& request, const ReplyVerdict& verdict) const;
    void pacingTick();
    void watchdogTick();
    void rearmPacing();
    void restartWatchdog();

    int index_;
    std::shared_ptr<clsDomainsMain> group_;
    SlotHost& host_;
    Endpoint endpoint_;
    std::unique_ptr<TcpSocket> wskMAIN_;
    std::unique_ptr<Timer> tmrDelay_;
    std::unique_ptr<Timer> tmrBackup_;
    bool active_ = true;

    // The current connection: what was asked and what has come back so far.
    std::optional<Request> pending_;
    QByteArray reply_;
    ReplyEndTracker replyEnd_;
    bool judged_ = false;
};

} // namespace drovane
