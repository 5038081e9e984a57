#include "Slot.h"

#include "core/model/HandleError.h"
#include "core/platform/NumberText.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace drovane {
namespace {
// A reply larger than this is not the registrar's; the rest of it is not kept.
constexpr qsizetype kMaxReply = 4 * 1024 * 1024;

// Looked up on every reply: the job is almost always still at the position its request
// was sent from, so a search through a long group is only needed after a removal.
bool inGroup(const DomainGroup& group, const Request& request) {
    if (request.position >= 1 && request.position <= group.size() &&
        group.at(request.position) == request.job)
        return true;
    return group.indexOf(request.job) > 0;
}
} // namespace

ReplyEvent Slot::eventFor(const Request& request, const ReplyVerdict& verdict) const {
    ReplyEvent event;
    event.slot = index_;
    event.domain = request.job->domain;
    event.tries = request.job->tries;
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
    case ReplyKind::AddressRefused:
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

Slot::Slot(int index, std::shared_ptr<DomainGroup> group, Platform& platform, SlotHost& host,
           const Endpoint& endpoint)
    : index_(index), group_(std::move(group)), platform_(platform), clock_(platform.clock()),
      host_(host), endpoint_(endpoint), pacing_(platform.createTimer(1000)),
      watchdog_(platform.createTimer(kFirstWatchdogMs)), dueAlarm_(platform.createAlarm()) {
    // The first socket is made now, so that each slot's first connection comes from a socket
    // of its own in the order the slots were made.
    link(0);
    pacing_->onTick = [this] { pacingTick(); };
    watchdog_->onTick = [this] { watchdogTick(); };
    dueAlarm_->onFire = [this] { dueArrived(); };
}

Slot::~Slot() {
    shutdown();
}

Slot::Link& Slot::link(int i) {
    Link& l = links_[i];
    if (!l.socket) {
        l.socket = platform_.createSocket();
        attach(l);
    }
    return l;
}

void Slot::attach(Link& l) {
    TcpSocket& s = *l.socket;
    s.onConnected = [this, &l] { connected(l); };
    s.onSendComplete = [this, &l] { sendComplete(l); };
    s.onData = [this, &l](const QByteArray& bytes) { dataArrived(l, bytes); };
    s.onClosedByPeer = [this, &l] { closedByPeer(l); };
    s.onError = [this, &l](const QString& why) { failed(l, why); };
    // A registrar that cannot be verified gets nothing, and retrying would not change
    // its certificate: the run stops, whether the connection was opened ahead or not.
    s.onHandshakeFailed = [this](const QString& reason) {
        host_.secureConnectionFailed(endpoint_.host, reason);
    };
}

void Slot::shutdown() {
    active_ = false;
    for (Link& l : links_) {
        if (!l.socket)
            continue;
        l.socket->onConnected = nullptr;
        l.socket->onSendComplete = nullptr;
        l.socket->onData = nullptr;
        l.socket->onClosedByPeer = nullptr;
        l.socket->onError = nullptr;
        l.socket->onHandshakeFailed = nullptr;
        l.socket->close();
        l.state = Link::State::Closed;
    }
    pacing_->setEnabled(false);
    watchdog_->setEnabled(false);
    dueAlarm_->cancel();
    dueUs_.reset();
}

qint64 Slot::leadUs() const {
    if (stats_.lastSetupUs <= 0)
        return kMaxLeadUs; // nothing measured yet: the most a connection may be held
    return std::clamp(kLeadFactor * stats_.lastSetupUs, kMinLeadUs, kMaxLeadUs);
}

// The reconnect sequence on one connection: the close always comes first.
void Slot::open(Link& l, Link::State as) {
    Q_ASSERT(as == Link::State::Opening || as == Link::State::Dialing);
    l.socket->close();
    l.state = as;
    l.openedUs = nowUs();
    // A secure connection's set-up includes its handshake: onConnected follows it.
    if (endpoint_.secure)
        l.socket->connectEncrypted(endpoint_.host, endpoint_.port);
    else
        l.socket->connectTo(endpoint_.host, endpoint_.port);
}

void Slot::closeAll() {
    for (Link& l : links_)
        if (l.socket) {
            l.state = Link::State::Closed;
            l.socket->close();
        }
}

Slot::Link* Slot::ahead() {
    for (Link& l : links_)
        if (l.state == Link::State::Opening || l.state == Link::State::Held)
            return &l;
    return nullptr;
}

Slot::Link* Slot::held() {
    for (Link& l : links_)
        if (l.state == Link::State::Held)
            return &l;
    return nullptr;
}

int Slot::aheadCount() const {
    int n = 0;
    for (const Link& l : links_)
        n += l.state == Link::State::Opening || l.state == Link::State::Held;
    return n;
}

// A connection that is neither carrying the current request nor opened ahead.
Slot::Link* Slot::freeLink() {
    for (int i = 0; i < 2; ++i) {
        const Link& l = links_[i];
        if (&l != carrier_ && (l.state == Link::State::Closed || l.state == Link::State::Carrying))
            return &link(i);
    }
    return nullptr;
}

int Slot::wantedAhead() const {
    const bool spare = host_.buyAtOnce() && !host_.purchaseMethod();
    if (dueUs_)
        return spare ? 2 : 1;
    // A check under way (or about to be written on its connect event).
    if (carrier_ && (!pending_ || !pending_->purchase))
        return spare ? 1 : 0;
    return 0;
}

void Slot::openMissing() {
    for (int n = aheadCount(); n < wantedAhead(); ++n) {
        Link* l = freeLink();
        if (!l)
            return;
        ++stats_.openedAhead;
        open(*l, Link::State::Opening);
    }
}

// Forgets the last request: whatever its connection still brings is not a reply to the next.
void Slot::beginRequest() {
    pending_.reset();
    reply_.clear();
    replyEnd_.reset();
    judged_ = false;
    trouble_.clear();
    carrier_ = nullptr;
    reopens_ = 0;
}

void Slot::start() {
    reconnect();
    restartWatchdog();
}

void Slot::startAt(qint64 steadyUs) {
    if (!active_)
        return;
    watchdog_->setEnabled(false);
    pacing_->setEnabled(false);
    readAgain_ = false;
    closeAll();
    beginRequest();
    dueUs_ = steadyUs;
    dueAlarm_->setAt(steadyUs);
    scheduleOpen();
}

void Slot::reconnect() {
    if (!active_)
        return;
    pacing_->setEnabled(false);
    readAgain_ = false;
    dueAlarm_->cancel();
    dueUs_.reset();
    closeAll();
    beginRequest();
    Link& l = link(0);
    carrier_ = &l;
    open(l, Link::State::Dialing);
    // Buying at once, the connection for a purchase is set up beside the first check's.
    openMissing();
}

void Slot::restartWatchdog() {
    watchdog_->setEnabled(false);
    watchdog_->setEnabled(true);
}

void Slot::connected(Link& l) {
    // A link is closed with its socket, so only one being opened can connect.
    Q_ASSERT(l.state == Link::State::Opening || l.state == Link::State::Dialing);
    stats_.lastSetupUs = nowUs() - l.openedUs;
    if (l.state == Link::State::Opening)
        l.state = Link::State::Held; // idle until due: the watchdog does not run
    else if (l.state == Link::State::Dialing)
        write(l);
}

// The request goes out on an established connection; the watchdog guards it from here.
void Slot::write(Link& l) {
    Q_ASSERT(l.state == Link::State::Held || l.state == Link::State::Dialing);
    Q_ASSERT(!pending_);
    carrier_ = &l;
    l.state = Link::State::Carrying;
    pending_ = takeRequest(*group_, host_.requestContext());
    if (!pending_) {
        restartWatchdog();
        return;
    }
    // A copy: a send-complete handler may replace pending_ while the bytes are in use.
    const QByteArray bytes = pending_->bytes;
    l.socket->send(bytes);
    // Restarted after the write, which is what the moment is for; nothing runs between.
    restartWatchdog();
    // Should the reply say free, the purchase must not wait for a connection to be set up:
    // normally the connection was opened ahead with this one, and nothing is done here.
    openMissing();
}

void Slot::sendComplete(Link& l) {
    if (&l != carrier_ || !pending_ || !host_.purchaseMethod() || host_.submissions() <= 10)
        return;
    // Blind sending: the answer is not awaited.
    const Request sent = *pending_;
    pending_.reset();
    l.state = Link::State::Closed;
    l.socket->close();
    host_.logSubmission(*sent.job, QStringLiteral("wskMAIN_SendComplete"));
    if (inGroup(*group_, sent))
        sent.job->countTry();
    host_.countSubmission();
    ReplyEvent event;
    event.slot = index_;
    event.domain = sent.job->domain;
    event.tries = sent.job->tries;
    event.outcome = ReplyEvent::Outcome::SentBlind;
    host_.submissionCounted(event);
    rearmPacing();
}

void Slot::dataArrived(Link& l, const QByteArray& bytes) {
    if (&l != carrier_ || judged_ || reply_.size() >= kMaxReply)
        return;
    reply_ += bytes.left(kMaxReply - reply_.size());
    if (replyEnd_.complete(reply_))
        judge();
}

void Slot::closedByPeer(Link& l) {
    const Link::State was = l.state;
    l.state = Link::State::Closed;
    if (&l == carrier_) {
        if (!judged_)
            judge();
    } else if (was == Link::State::Opening || was == Link::State::Held) {
        heldLost(l);
    }
}

void Slot::failed(Link& l, const QString& why) {
    const Link::State was = l.state;
    l.state = Link::State::Closed;
    // A request's own connection that fails is left to the watchdog.
    if (&l == carrier_) {
        trouble_ = QStringLiteral("the connection failed: %1").arg(why);
        report(trouble_);
    } else if (was == Link::State::Opening || was == Link::State::Held) {
        heldLost(l);
    }
}

// A connection opened ahead was lost before its request: open another at once (on the
// next turn, outside the socket's own event), unless the peer keeps doing it.
void Slot::heldLost(Link&) {
    if (reopens_ >= kMaxReopens || !active_)
        return;
    ++reopens_;
    ++stats_.reopened;
    if (!pacing_->isEnabled()) {
        pacing_->setInterval(0);
        pacing_->setEnabled(true);
    }
}

void Slot::judge() {
    judged_ = true;
    const ReplyVerdict verdict = interpretReply(reply_);
    reply_.clear();
    replyEnd_.reset();
    if (verdict.kind == ReplyKind::NoMarker && pending_)
        trouble_ = QStringLiteral("the reply was not the registrar's");
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
            request.job->buyNext = true;
        rearmPacing(stillThere && host_.buyAtOnce());
        break;
    case ReplyKind::BadLogin:
        host_.accountRejected(); // this slot is shut down by now
        break;
    case ReplyKind::AddressRefused:
        host_.addressRefused(verdict.address); // likewise
        break;
    case ReplyKind::ServerError:
        if (stillThere)
            host_.serverError(index_, request.job, group_->cursor, verdict.description);
        break;
    case ReplyKind::NoMarker:
        break;
    }
}

// The request is done with: wait for the next one's moment (or, buying, none at all).
void Slot::rearmPacing(bool buyNow) {
    Q_ASSERT(active_); // a stopped slot is never set going again
    watchdog_->setEnabled(false);
    watchdog_->setInterval(kWatchdogMs);
    carrier_ = nullptr;
    if (!buyNow) {
        paceFromInterval();
        return;
    }
    dueUs_ = nowUs();
    if (held()) {
        dueArrived();
        return;
    }
    // Connecting afresh may reuse the socket whose event is running: do it on the next turn.
    dueAlarm_->setAt(*dueUs_);
}

void Slot::paceFromInterval() {
    const QString text = host_.delayText();
    const std::optional<double> delay = parseDecimal(text);
    if (!delay) {
        HandleError(13, QStringLiteral("Type mismatch"), QStringLiteral("tmrDelay_Timer"),
                    QStringLiteral("txtDelayTime"), QStringLiteral("frmMain"));
        // Read again a second later, as long as the text stays unreadable.
        dueUs_.reset();
        readAgain_ = true;
        pacing_->setInterval(1000);
        pacing_->setEnabled(true);
        return;
    }
    // The interval as typed, to the millisecond; a day at the most.
    const qint64 ms = qint64(std::clamp(std::round(*delay * 1000.0), 0.0, 86400000.0));
    dueUs_ = nowUs() + ms * 1000;
    dueAlarm_->setAt(*dueUs_);
    scheduleOpen();
}

void Slot::scheduleOpen() {
    Q_ASSERT(dueUs_);
    const qint64 now = nowUs();
    // A connection held ready stays for the coming request only when it is near.
    if (*dueUs_ - now > kMaxLeadUs)
        for (Link& l : links_)
            if (l.state == Link::State::Opening || l.state == Link::State::Held) {
                l.state = Link::State::Closed;
                l.socket->close();
            }
    if (aheadCount() >= wantedAhead())
        return; // ready for the coming request
    const qint64 lead = leadUs();
    stats_.lastLeadUs = lead;
    const qint64 waitUs = *dueUs_ - lead - now;
    // Even "now" goes through the timer: the socket whose event is running may be reused.
    pacing_->setInterval(int(std::clamp<qint64>((waitUs + 999) / 1000, 0, INT_MAX)));
    pacing_->setEnabled(true);
}

void Slot::pacingTick() {
    pacing_->setEnabled(false);
    if (readAgain_) {
        readAgain_ = false;
        paceFromInterval();
        return;
    }
    // Open ahead for the coming request, or for a purchase that may follow a check.
    openMissing();
}

void Slot::dueArrived() {
    if (!active_)
        return;
    // One request of a slot at a time: the last one was done with before this was due.
    Q_ASSERT(!carrier_);
    dueAlarm_->cancel();
    pacing_->setEnabled(false);
    dueUs_.reset();
    Link* ready = held();
    Link* opening = ahead();
    beginRequest();
    if (ready) {
        write(*ready);
        return;
    }
    // From here the watchdog guards the request, as it guards a connection made on time.
    restartWatchdog();
    if (opening) {
        ++stats_.dueWhileOpening;
        opening->state = Link::State::Dialing;
        carrier_ = opening;
        return;
    }
    ++stats_.fellBack;
    Link& l = link(0);
    carrier_ = &l;
    open(l, Link::State::Dialing);
}

void Slot::watchdogTick() {
    // A request answered with a reply that has no rule waits here too: that is no failure.
    if (const QString what = watchdogWhat(); !what.isEmpty())
        report(what);
    reconnect();
}

QString Slot::watchdogWhat() const {
    if (!trouble_.isEmpty())
        return trouble_;
    const QString after = QString::number(watchdog_->interval() / 1000.0);
    if (!carrier_ || carrier_->state == Link::State::Dialing)
        return QStringLiteral("no connection within %1 s").arg(after);
    if (!pending_)
        return QString(); // answered, or nothing to ask
    if (!reply_.isEmpty())
        return QStringLiteral("the reply did not end within %1 s").arg(after);
    return QStringLiteral("no reply within %1 s").arg(after);
}

void Slot::report(const QString& what) {
    if (group_->size() == 0)
        return; // no name is at stake
    SlotFailure failure;
    failure.slot = index_;
    failure.what = what;
    if (pending_)
        failure.domain = pending_->job->domain;
    else if (const auto next = group_->peekNext(requestMethod(host_.requestContext())))
        failure.domain = next->job->domain;
    host_.slotFailed(failure);
}

} // namespace drovane
