#include "RunController.h"

#include "ErrorText.h"
#include "ListText.h"
#include "StartChecks.h"
#include "core/model/HandleError.h"
#include "core/model/UserTexts.h"
#include "core/settings/SettingNames.h"

#include <algorithm>
#include <utility>

namespace drovane {

RunController::RunController(SettingsStore& store, Platform& platform, Prompter& prompter,
                             RunView& view, const QString& liveHost, const EndpointOverride& fixed)
    : store_(store), platform_(platform), prompter_(prompter), view_(view), liveHost_(liveHost),
      fixed_(fixed), endpoint_(chooseEndpoint(store.options(), liveHost, fixed)),
      log_(store.logPath()), orders_(store.ordersPath()),
      scheduleTimer_(platform.createTimer(1000)), deferredNotice_(platform.createTimer(0)) {
    scheduleTimer_->onTick = [this] { scheduleTick(); };
    // Told after the handler that failed has finished, so no slot waits for the user.
    deferredNotice_->onTick = [this] {
        deferredNotice_->setEnabled(false);
        const QString text = std::exchange(noticeText_, QString());
        prompter_.notice(text);
    };
}

RunController::~RunController() {
    for (auto& s : slots_)
        s->shutdown();
}

Slot* RunController::slot(int index) const {
    return index >= 1 && index <= int(slots_.size()) ? slots_[index - 1].get() : nullptr;
}

void RunController::DoStart() {
    // A stop asked for while a start or stop is under way (both slots rejecting the
    // account back to back) is the same stop.
    if (inDoStart_ || halted_)
        return;
    inDoStart_ = true;
    MainFields fields;
    {
        // Where the fields come from the files (a server run), nobody else's save may
        // fall between reading them and writing them back.
        const SettingsStore::EditScope edit(store_);
        // The fields, the list above all, are read from the window once per call.
        fields = view_.fields();
        // A failed save never holds up the run: the user is told once the slots are going.
        if (const SaveResult saved = store_.WriteSettings(fields); !saved.ok)
            deferNotice(settingsNotSaved(saved.error));
        else if (!saved.notice.isEmpty())
            deferNotice(saved.notice);
    }
    if (running_)
        stopRun(fields.startImmediately != 0);
    else
        startRun(std::move(fields));
    inDoStart_ = false;
}

void RunController::stopFor(StopReason reason, const QString& text) {
    nextStopReason_ = reason;
    nextStopText_ = text;
    DoStart();
    nextStopReason_ = StopReason::User;
    nextStopText_.clear();
}

void RunController::startRun(MainFields fields) {
    view_.closeSettingsWindow();
    const QString cleaned = cleanList(fields.domains);
    // A list with nothing to clean comes back as it was, not as a copy to compare.
    if (!cleaned.isSharedWith(fields.domains) && cleaned != fields.domains)
        view_.setDomainsText(cleaned);
    fields.domains = cleaned;
    // Before anything is asked or sent: a second run on the folder would buy twice.
    QString refusal;
    folderInUse_ = false;
    runLock_ = store_.claim(FolderRole::Run, &refusal);
    if (!runLock_) {
        folderInUse_ = true;
        prompter_.critical(view_.caption(), refusal);
        return;
    }
    if (!passStartChecks(fields, store_.all(), prompter_, view_.caption()) || halted_) {
        runLock_.reset();
        return;
    }

    retired_.clear(); // no handler of an earlier run can be on the stack here
    retiredChecks_.clear();
    running_ = true;
    stopReason_ = StopReason::None;
    stopText_.clear();
    watch_ = {};
    runFields_ = fields;
    sending_ = fields.startImmediately != 0;
    checkedBeforeStart_ = false;
    submissions_ = 0;
    logFailureTold_ = false;
    ordersFailureTold_ = false;
    view_.showRunState(true, fields.startImmediately != 0);
    view_.showSubmissions(0);
    context_ = RequestContext{fields.username, fields.password, &store_.all(),
                              listNeedsRegistrant(cleaned), false};

    const bool checkMethod =
        requestMethod(store_.Settings(Setting::UsePurchase)) == RequestMethod::Check;
    DealtGroups dealt = dealDomains(cleaned, checkMethod);
    groups_ = {dealt.slot1, dealt.slot2};
    // The settings window may have changed the options since the last run.
    endpoint_ = chooseEndpoint(store_.options(), liveHost_, fixed_);
    if (status_)
        status_->begin(groups_);
    for (int i = 1; i <= 2; ++i)
        slots_.push_back(std::make_unique<Slot>(i, groups_[i - 1], platform_, *this, endpoint_));

    if (fields.startImmediately != 0) {
        for (auto& s : slots_)
            s->start();
    } else {
        const QDateTime now = platform_.clock().now();
        schedule_.begin(now);
        armedStartUs_.reset();
        scheduleTimer_->setInterval(ScheduleClock::msToNextTick(now));
        scheduleTimer_->setEnabled(true);
        armStart();
        checkBeforeStart(true);
    }
}

namespace {
// The slots are set this long before the start second: enough for the longest lead.
constexpr qint64 kArmAheadUs = Slot::kMaxLeadUs + 1000000;
} // namespace

void RunController::armStart() {
    const Clock& clock = platform_.clock();
    const qint64 steady = clock.steadyUs();
    if (armedStartUs_ && steady > *armedStartUs_ + 1000000)
        armedStartUs_.reset(); // the second went by without its tick acting on it
    if (armedStartUs_)
        return;
    const std::optional<qint64> until = ScheduleClock::usToStart(
        clock.now(), clock.wallUs(), view_.startTimeText(), view_.endTimeText());
    if (!until || *until <= 0 || *until > kArmAheadUs)
        return;
    armedStartUs_ = steady + *until;
    for (auto& s : slots_)
        s->startAt(*armedStartUs_);
    // The slots are opening their connections: a check now would only be in their way.
    if (setupCheck_)
        setupCheck_->cancel();
}

void RunController::halt() {
    halted_ = true;
    running_ = false;
    for (auto& s : slots_) {
        s->shutdown();
        retired_.push_back(std::move(s));
    }
    slots_.clear();
    groups_.clear();
    reported_.clear();
    scheduleTimer_->setEnabled(false);
    deferredNotice_->setEnabled(false);
    if (setupCheck_)
        setupCheck_->cancel();
    runLock_.reset();
}

void RunController::stopRun(bool startImmediately) {
    running_ = false;
    stopReason_ = nextStopReason_;
    stopText_ = nextStopText_;
    if (stopText_.isEmpty())
        stopText_ = stopReason_ == StopReason::EndTime ? QStringLiteral("the end time was reached")
                    : stopReason_ == StopReason::StopAll
                        ? QStringLiteral("Stop All was chosen for an unexpected reply")
                        : QStringLiteral("Stop was pressed");
    view_.showRunState(false, startImmediately);
    for (auto& s : slots_) {
        s->shutdown();
        retired_.push_back(std::move(s));
    }
    slots_.clear();
    while (!groups_.isEmpty())
        groups_.removeLast();
    reported_.clear();
    scheduleTimer_->setEnabled(false);
    if (setupCheck_) {
        setupCheck_->cancel();
        retiredChecks_.push_back(std::move(setupCheck_));
    }
    runLock_.reset(); // every slot has fallen silent
    view_.showRunStopped(stopReason_, stopText_);
}

void RunController::scheduleTick() {
    const QDateTime now = platform_.clock().now();
    // Keep the ticks just after each second of the wall clock.
    scheduleTimer_->setInterval(ScheduleClock::msToNextTick(now));
    switch (schedule_.tick(now, view_.startTimeText(), view_.endTimeText())) {
    case ScheduleClock::Action::Start: {
        // Set ahead, the slots have written their first requests at the second already,
        // unless the wall clock jumped past it: then they start now.
        const bool started = armedStartUs_ && platform_.clock().steadyUs() >= *armedStartUs_ - 1000;
        if (!started)
            for (auto& s : slots_)
                s->start();
        armedStartUs_.reset();
        sending_ = true;
        if (setupCheck_)
            setupCheck_->cancel();
        break;
    }
    case ScheduleClock::Action::Stop:
        if (running_) {
            stopFor(StopReason::EndTime);
            return;
        }
        break;
    case ScheduleClock::Action::None:
        break;
    }
    if (running_)
        armStart();
    if (running_ && !sending_)
        checkBeforeStart(false);
}

void RunController::checkBeforeStart(bool armed) {
    if (!setupChecks_ || !running_ || sending_ || (setupCheck_ && setupCheck_->isRunning()))
        return;
    const Clock& clock = platform_.clock();
    const std::optional<qint64> until = ScheduleClock::usToStart(
        clock.now(), clock.wallUs(), view_.startTimeText(), view_.endTimeText());
    if (!until || *until <= kNoCheckWithinUs)
        return;
    const bool soon = *until <= kCheckBeforeStartUs;
    if (!armed && (!soon || checkedBeforeStart_))
        return;
    checkedBeforeStart_ = checkedBeforeStart_ || soon;
    // What the run will send: its own account, list and connection; the fields the window
    // lets the user change while the run waits, as they are now.
    SetupInput input;
    input.fields = runFields_;
    input.fields.startTime = view_.startTimeText();
    input.fields.endTime = view_.endTimeText();
    input.fields.delayTime = view_.delayText();
    input.fields.nameServers = view_.nameServersChecked() ? 1 : 0;
    input.settings = store_.all();
    input.endpoint = endpoint_;
    input.testEnvironment = store_.options().testEnvironment;
    if (setupCheck_)
        retiredChecks_.push_back(std::move(setupCheck_));
    setupCheck_ = std::make_unique<SetupCheck>(platform_, std::move(input));
    setupCheck_->onFinished = [this] { setupChecked(); };
    setupCheck_->start();
}

void RunController::setupChecked() {
    const QList<CheckLine> lines = setupCheck_->lines();
    view_.showSetupCheck(lines);
    if (SetupCheck::overall(lines) != Verdict::NotReady)
        return;
    QStringList problems;
    for (const CheckLine& l : lines)
        if (l.verdict == Verdict::NotReady)
            problems.append(QStringLiteral("%1: %2").arg(l.title, l.text));
    view_.showAtRisk(QStringLiteral("The setup is not ready for the start at %1. %2.")
                         .arg(view_.startTimeText(), problems.join(QStringLiteral(". "))));
}

RequestContext RunController::requestContext() const {
    // A label click can toggle Custom Nameservers during a run.
    RequestContext context = context_;
    context.nameServerSwitch = view_.nameServersChecked();
    return context;
}

bool RunController::purchaseMethod() const {
    return requestMethod(store_.Settings(Setting::UsePurchase)) == RequestMethod::Purchase;
}

void RunController::countSubmission() {
    if (submissions_ < INT32_MAX)
        ++submissions_;
    view_.showSubmissions(submissions_);
}

void RunController::logSubmission(const DomainJob& job, const QString& handler) {
    if (!view_.loggingChecked())
        return;
    const QString error = log_.append(platform_.clock().now(), job.domain, job.tries);
    if (error.isEmpty())
        return;
    HandleError(75, error, handler, log_.path(), QStringLiteral("frmMain"));
    if (logFailureTold_)
        return;
    logFailureTold_ = true;
    deferNotice(QStringLiteral("The transaction log %1 cannot be written (%2). The run goes "
                               "on without it.")
                    .arg(log_.path(), error));
}

void RunController::deferNotice(const QString& text) {
    if (halted_)
        return;
    noticeText_ += (noticeText_.isEmpty() ? QString() : QStringLiteral("\n\n")) + text;
    deferredNotice_->setEnabled(true);
}

void RunController::submissionCounted(const ReplyEvent& event) {
    ReplyEvent stamped = event;
    stamped.at = platform_.clock().now().toUTC();
    // On record before anyone is told of it.
    if (stamped.outcome == ReplyEvent::Outcome::Ordered)
        recordOrder(stamped);
    if (status_)
        status_->apply(stamped);
    if (stamped.slot >= 1 && stamped.slot <= int(watch_.size())) {
        SlotWatch& w = watch_[size_t(stamped.slot - 1)];
        w.failingSinceUs.reset();
        w.atRiskTold = false;
    }
    view_.showReply(stamped);
    if (stamped.outcome == ReplyEvent::Outcome::Ordered && store_.options().stopWhenBought)
        dropBought(stamped.domain);
}

void RunController::dropBought(const QString& domain) {
    for (const auto& group : std::as_const(groups_)) {
        for (int p = group->size(); p >= 1; --p) {
            if (group->at(p)->domain.compare(domain, Qt::CaseInsensitive) != 0)
                continue;
            group->remove(p);
            // The cursor stays on the job it was on, so the next request goes to the name
            // after the bought one.
            if (p <= group->cursor)
                --group->cursor;
        }
    }
}

void RunController::slotFailed(const SlotFailure& failure) {
    if (!running_ || failure.slot < 1 || failure.slot > int(watch_.size()))
        return;
    SlotWatch& w = watch_[size_t(failure.slot - 1)];
    const qint64 now = platform_.clock().steadyUs();
    if (!w.failingSinceUs)
        w.failingSinceUs = now;
    SlotFailure stamped = failure;
    stamped.at = platform_.clock().now().toUTC();
    if (!w.lastToldUs || now - *w.lastToldUs >= qint64(Slot::kWatchdogMs) * 1000) {
        w.lastToldUs = now;
        view_.showSlotFailure(stamped);
    }
    if (!w.atRiskTold && now - *w.failingSinceUs >= kAtRiskAfterUs) {
        w.atRiskTold = true;
        view_.showAtRisk(
            QStringLiteral("Every request of slot %1 has failed for a minute (the last: %2%3). The "
                           "catch is at risk.")
                .arg(stamped.slot)
                .arg(stamped.domain.isEmpty() ? QString() : stamped.domain + QStringLiteral(", "),
                     stamped.what));
    }
}

void RunController::recordOrder(const ReplyEvent& event) {
    const QString error = orders_.append(event.at, event.domain, event.orderId, event.slot);
    if (error.isEmpty())
        return;
    HandleError(75, error, QStringLiteral("wskMAIN_DataArrival"), orders_.path(),
                QStringLiteral("frmMain"));
    if (ordersFailureTold_)
        return;
    ordersFailureTold_ = true;
    deferNotice(QStringLiteral("The orders record %1 cannot be written (%2). The run goes on; "
                               "the registrar's account lists every order.")
                    .arg(orders_.path(), error));
}

void RunController::accountRejected() {
    if (!running_)
        return;
    stopFor(StopReason::AccountRejected,
            QStringLiteral("the registrar rejected the user name or password"));
    prompter_.notice(QStringLiteral(
        "Your username or password is invalid. Please check them and fix the error."));
}

void RunController::addressRefused(const QString& address) {
    // Both slots meet the same refusal: the user hears of it once.
    if (!running_)
        return;
    const QString environment =
        store_.options().testEnvironment ? QStringLiteral("test") : QStringLiteral("live");
    if (address.isEmpty()) {
        stopFor(StopReason::AddressRefused,
                QStringLiteral("the registrar does not take requests from this computer's "
                               "address"));
        prompter_.notice(
            QStringLiteral("The run was stopped: your account does not take requests from this "
                           "computer's address (the registrar did not say which address it saw). "
                           "Add this computer's public address to the account's allowed IP "
                           "addresses for the %1 environment.")
                .arg(environment));
        return;
    }
    stopFor(StopReason::AddressRefused,
            QStringLiteral("the registrar does not take requests from %1").arg(address));
    prompter_.notice(QStringLiteral("The run was stopped: your account does not take requests "
                                    "from %1, the address the registrar saw. Add %1 to the "
                                    "account's allowed IP addresses for the %2 environment (the "
                                    "live and the test environment keep separate lists).")
                         .arg(address, environment));
}

void RunController::secureConnectionFailed(const QString& host, const QString& reason) {
    // Both slots meet the same certificate: the user hears of it once.
    if (!running_)
        return;
    // The reason may quote the peer's certificate: one line of it, whatever it holds.
    const QString why = printableLine(reason);
    stopFor(StopReason::CertificateFailure,
            QStringLiteral("the secure connection to %1 failed, because %2").arg(host, why));
    prompter_.notice(QStringLiteral("The run was stopped: the secure connection to %1 failed, "
                                    "because %2. Your account was not sent.")
                         .arg(host, why));
}

void RunController::serverError(int slot, const DomainJobPtr& job, int position,
                                const QString& description) {
    ServerErrorReport report;
    report.domain = job->domain;
    report.description = shortErrorDescription(description);
    report.reference = QStringLiteral("%1-%2").arg(slot).arg(position);
    report.job = job;
    report.slot = slot;
    if (std::find(reported_.begin(), reported_.end(), job) == reported_.end())
        reported_.push_back(job);
    view_.showServerError(report);
}

void RunController::stopCurrent(const ServerErrorReport& report) {
    const DomainJobPtr job = report.job.lock();
    if (!running_ || !job || report.slot < 1 || report.slot > groups_.size())
        return;
    DomainGroup& group = *groups_[report.slot - 1];
    if (const int position = group.indexOf(job); position > 0)
        group.remove(position);
}

void RunController::stopAll() {
    if (running_)
        stopFor(StopReason::StopAll);
}

} // namespace drovane
