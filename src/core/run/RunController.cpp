#include "RunController.h"

#include "ErrorText.h"
#include "ListText.h"
#include "StartChecks.h"
#include "core/model/HandleError.h"
#include "core/model/UserTexts.h"
#include "core/settings/SettingNames.h"

#include <utility>

namespace drovane {

RunController::RunController(SettingsStore& store, Platform& platform, Prompter& prompter,
                             RunView& view, const QString& liveHost, const EndpointOverride& fixed)
    : store_(store), platform_(platform), prompter_(prompter), view_(view), liveHost_(liveHost),
      fixed_(fixed), endpoint_(chooseEndpoint(store.options(), liveHost, fixed)),
      log_(store.logPath()), orders_(store.ordersPath()), tmrSec_(platform.createTimer(1000)),
      deferredNotice_(platform.createTimer(0)) {
    tmrSec_->onTick = [this] { scheduleTick(); };
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

void RunController::stopFor(StopReason reason) {
    nextStopReason_ = reason;
    DoStart();
    nextStopReason_ = StopReason::User;
}

void RunController::startRun(MainFields fields) {
    view_.closeSettingsWindow();
    const QString cleaned = cleanList(fields.domains);
    if (cleaned != fields.domains)
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
    running_ = true;
    stopReason_ = StopReason::None;
    lngSubmissions_ = 0;
    logFailureTold_ = false;
    ordersFailureTold_ = false;
    view_.showRunState(true, fields.startImmediately != 0);
    view_.showSubmissions(0);
    context_ = RequestContext{fields.username, fields.password, &store_.all(),
                              listNeedsRegistrant(cleaned), false};

    const bool checkMethod =
        requestMethod(store_.Settings(setting::UsePurchase)) == RequestMethod::Check;
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
        tmrSec_->setInterval(ScheduleClock::msToNextTick(now));
        tmrSec_->setEnabled(true);
        armStart();
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
    tmrSec_->setEnabled(false);
    deferredNotice_->setEnabled(false);
    runLock_.reset();
}

void RunController::stopRun(bool startImmediately) {
    running_ = false;
    stopReason_ = nextStopReason_;
    view_.showRunState(false, startImmediately);
    for (auto& s : slots_) {
        s->shutdown();
        retired_.push_back(std::move(s));
    }
    slots_.clear();
    while (!groups_.isEmpty())
        groups_.removeLast();
    tmrSec_->setEnabled(false);
    runLock_.reset(); // every slot has fallen silent
}

void RunController::scheduleTick() {
    const QDateTime now = platform_.clock().now();
    // Keep the ticks just after each second of the wall clock.
    tmrSec_->setInterval(ScheduleClock::msToNextTick(now));
    switch (schedule_.tick(now, view_.startTimeText(), view_.endTimeText())) {
    case ScheduleClock::Action::Start: {
        // Set ahead, the slots have written their first requests at the second already,
        // unless the wall clock jumped past it: then they start now.
        const bool started = armedStartUs_ && platform_.clock().steadyUs() >= *armedStartUs_ - 1000;
        if (!started)
            for (auto& s : slots_)
                s->start();
        armedStartUs_.reset();
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
}

RequestContext RunController::requestContext() const {
    // A label click can toggle Custom Nameservers during a run.
    RequestContext context = context_;
    context.nameServerSwitch = view_.nameServersChecked();
    return context;
}

bool RunController::purchaseMethod() const {
    return requestMethod(store_.Settings(setting::UsePurchase)) == RequestMethod::Purchase;
}

void RunController::countSubmission() {
    if (lngSubmissions_ < INT32_MAX)
        ++lngSubmissions_;
    view_.showSubmissions(lngSubmissions_);
}

void RunController::logSubmission(const clsDomains& job, const QString& handler) {
    if (!view_.loggingChecked())
        return;
    const QString error = log_.append(platform_.clock().now(), job.Domain, job.Tries);
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
    view_.showReply(stamped);
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
    stopFor(StopReason::AccountRejected);
    prompter_.notice(QStringLiteral(
        "Your username or password is invalid. Please check them and fix the error."));
}

void RunController::secureConnectionFailed(const QString& host, const QString& reason) {
    // Both slots meet the same certificate: the user hears of it once.
    if (!running_)
        return;
    stopFor(StopReason::CertificateFailure);
    prompter_.notice(QStringLiteral("The run was stopped: the secure connection to %1 failed, "
                                    "because %2. Your account was not sent.")
                         .arg(host, reason));
}

void RunController::serverError(int slot, const DomainJob& job, int position,
                                const QString& description) {
    ServerErrorReport report;
    report.domain = job->Domain;
    report.description = shortErrorDescription(description);
    report.reference = QStringLiteral("%1-%2").arg(slot).arg(position);
    report.job = job;
    report.slot = slot;
    view_.showServerError(report);
}

void RunController::stopCurrent(const ServerErrorReport& report) {
    const DomainJob job = report.job.lock();
    if (!running_ || !job || report.slot < 1 || report.slot > groups_.size())
        return;
    clsDomainsMain& group = *groups_[report.slot - 1];
    if (const int position = group.indexOf(job); position > 0)
        group.Remove(position);
}

void RunController::stopAll() {
    if (running_)
        DoStart();
}

} // namespace drovane
