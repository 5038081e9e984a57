#include "Slot.h"

#include "core/model/HandleError.h"
#include "core/platform/NumberText.h"

namespace drovane {
namespace {
// A reply larger than this is not the registrar's; the rest of it is not kept.
constexpr qsizetype kMaxReply = 4 * 1024 * 1024;

// Looked up on every reply: the job is almost always still at the position its request
// was sent from, so a search through a long group is only needed after a removal.
bool inGroup(const clsDomainsMain& group, const Request& request) {
    if (request.position >= 1 && request.position <= group.Count() &&
        group.item(request.position) == request.job)
        return true;
    return group.indexOf(request.job) > 0;
}
} // namespace

ReplyEvent Slot::eventFor(const Request& request, const ReplyVerdict& verdict) const {
    ReplyEvent event;
    event.slot = index_;
    event.domain = request.job->Domain;
    event.tries = request.job->Tries;
    event.code = verdict.code;
    event.orderId = verdict.orderId;
    event.description = verdict.description;
    switch (verdict.kind) {
    case ReplyKind::Free:
        event.outcome = ReplyEvent::Outcome::Free;
        break;
    case ReplyKind::Ordered:
        event.outcome = ReplyEvent::Outcome::Ordered;
        break;
    case ReplyKind::BadLogin:
        event.outcome = ReplyEvent::Outcome::Rejected;
        break;
    case ReplyKind::ServerError:
        event.outcome = ReplyEvent::Outcome::Unexpected;
        break;
    case ReplyKind::Pace:
    case ReplyKind::NoMarker:
        event.outcome = ReplyEvent::Outcome::Taken;
        break;
    }
    return event;
}

Slot::Slot(int index, std::shared_ptr<clsDomainsMain> group, Platform& platform, SlotHost& host,
           const Endpoint& endpoint)
    : index_(index), group_(std::move(group)), host_(host), endpoint_(endpoint),
      wskMAIN_(platform.createSocket()), tmrDelay_(platform.createTimer(1000)),
      tmrBackup_(platform.createTimer(kFirstWatchdogMs)) {
    tmrDelay_->Tag = QStringLiteral("0");
    tmrDelay_->onTick = [this] { pacingTick(); };
    tmrBackup_->onTick = [this] { watchdogTick(); };
    wskMAIN_->onConnected = [this] { connected(); };
    wskMAIN_->onSendComplete = [this] { sendComplete(); };
    wskMAIN_->onData = [this](const QByteArray& bytes) { dataArrived(bytes); };
    wskMAIN_->onClosedByPeer = [this] { closedByPeer(); };
    // A failed attempt leaves the slot to its watchdog.
    wskMAIN_->onError = [](const QString&) {};
    // A registrar that cannot be verified gets nothing, and retrying would not change
    // its certificate: the run stops.
    wskMAIN_->onHandshakeFailed = [this](const QString& reason) {
        host_.secureConnectionFailed(endpoint_.host, reason);
    };
}

Slot::~Slot() {
    shutdown();
}

void Slot::shutdown() {
    active_ = false;
    wskMAIN_->onConnected = nullptr;
    wskMAIN_->onSendComplete = nullptr;
    wskMAIN_->onData = nullptr;
    wskMAIN_->onClosedByPeer = nullptr;
    wskMAIN_->onError = nullptr;
    wskMAIN_->onHandshakeFailed = nullptr;
    wskMAIN_->close();
    tmrDelay_->setEnabled(false);
    tmrBackup_->setEnabled(false);
}

void Slot::start() {
    reconnect();
    restartWatchdog();
}

void Slot::reconnect() {
    if (!active_)
        return;
    // Whatever the old connection left is not a reply to the next request.
    pending_.reset();
    reply_.clear();
    replyEnd_.reset();
    judged_ = false;
    wskMAIN_->close();
    if (endpoint_.secure)
        wskMAIN_->connectEncrypted(endpoint_.host, endpoint_.port);
    else
        wskMAIN_->connectTo(endpoint_.host, endpoint_.port);
}

void Slot::restartWatchdog() {
    tmrBackup_->setEnabled(false);
    tmrBackup_->setEnabled(true);
}

void Slot::rearmPacing() {
    tmrBackup_->setEnabled(false);
    tmrDelay_->setEnabled(true);
}

void Slot::connected() {
    restartWatchdog();
    pending_ = buildRequest(*group_, host_.requestContext());
    if (!pending_)
        return;
    // A copy: a send-complete handler may replace pending_ while the bytes are in use.
    const QByteArray bytes = pending_->bytes;
    wskMAIN_->send(bytes);
}

void Slot::sendComplete() {
    if (!pending_ || !host_.purchaseMethod() || host_.submissions() <= 10)
        return;
    // Blind sending: the answer is not awaited.
    const Request sent = *pending_;
    pending_.reset();
    wskMAIN_->close();
    host_.logSubmission(*sent.job, QStringLiteral("wskMAIN_SendComplete"));
    if (inGroup(*group_, sent))
        sent.job->countTry();
    host_.countSubmission();
    ReplyEvent event;
    event.slot = index_;
    event.domain = sent.job->Domain;
    event.tries = sent.job->Tries;
    event.outcome = ReplyEvent::Outcome::SentBlind;
    host_.submissionCounted(event);
    rearmPacing();
}

void Slot::dataArrived(const QByteArray& bytes) {
    if (judged_ || reply_.size() >= kMaxReply)
        return;
    reply_ += bytes.left(kMaxReply - reply_.size());
    if (replyEnd_.complete(reply_))
        judge();
}

void Slot::closedByPeer() {
    if (!judged_)
        judge();
}

void Slot::judge() {
    judged_ = true;
    const ReplyVerdict verdict = interpretReply(reply_);
    reply_.clear();
    replyEnd_.reset();
    if (verdict.kind == ReplyKind::NoMarker || !pending_)
        return;
    const Request request = *pending_;
    pending_.reset();
    // A job dropped from its group meanwhile is still counted in the run's total, but
    // no longer bought or reported.
    const bool stillThere = inGroup(*group_, request);
    if (stillThere)
        request.job->countTry();
    host_.countSubmission();
    host_.logSubmission(*request.job, QStringLiteral("wskMAIN_DataArrival"));
    host_.submissionCounted(eventFor(request, verdict));

    switch (verdict.kind) {
    case ReplyKind::Pace:
    case ReplyKind::Ordered:
        rearmPacing();
        break;
    case ReplyKind::Free:
        if (stillThere)
            request.job->DoPURCHASE = true;
        rearmPacing();
        break;
    case ReplyKind::BadLogin:
        host_.accountRejected(); // this slot is shut down by now
        break;
    case ReplyKind::ServerError:
        if (stillThere)
            host_.serverError(index_, request.job, group_->CurPos, verdict.description);
        break;
    case ReplyKind::NoMarker:
        break;
    }
}

void Slot::pacingTick() {
    const std::optional<double> delay = parseDecimal(host_.delayText());
    const std::optional<double> waited = parseDecimal(tmrDelay_->Tag);
    if (!delay || !waited) {
        HandleError(13, QStringLiteral("Type mismatch"), QStringLiteral("tmrDelay_Timer"),
                    QStringLiteral("txtDelayTime"), QStringLiteral("frmMain"));
        return;
    }
    if (*delay - 1 > *waited) {
        tmrDelay_->Tag = QString::number(qint64(*waited) + 1);
        return;
    }
    reconnect();
    tmrBackup_->setInterval(kWatchdogMs);
    restartWatchdog();
    tmrDelay_->setEnabled(false);
    tmrDelay_->Tag = QStringLiteral("0");
}

void Slot::watchdogTick() {
    reconnect();
}

} // namespace drovane
