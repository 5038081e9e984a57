#pragma once

#include "RunStatus.h"
#include "RunView.h"
#include "ScheduleClock.h"
#include "SetupCheck.h"
#include "StopReason.h"
#include "core/model/DomainGroup.h"
#include "core/platform/Platform.h"
#include "core/platform/Prompter.h"
#include "core/registrar/OrdersRecord.h"
#include "core/registrar/Slot.h"
#include "core/registrar/TransactionLog.h"
#include "core/settings/SettingsStore.h"

#include <QList>
#include <array>
#include <memory>
#include <vector>

namespace drovane {

// Starts and stops runs and owns everything a run is made of: the two domain groups,
// the two slots and the schedule clock.
class RunController : public SlotHost {
public:
    // Why the last run ended; the server runner turns it into its exit status.
    using StopReason = drovane::StopReason;
    // A slot whose every request has failed this long puts the catch at risk.
    static constexpr qint64 kAtRiskAfterUs = 60000000;
    // A scheduled run checks the setup when it is armed and again this long before its
    // start, but never this close to it, where the slots open their connections.
    static constexpr qint64 kCheckBeforeStartUs = 5 * 60000000LL;
    static constexpr qint64 kNoCheckWithinUs = 30000000;

    // `liveHost` is the registrar's live host, a value of the build. At every start the
    // options choose it or the test host, and port 443 with TLS or port 80 plain; a
    // non-empty `fixed` host or non-zero port replaces the chosen one for every run
    // (a server runner's --registrar, the tests' loopback stand-ins) while the secure
    // option still chooses TLS or plain.
    RunController(SettingsStore& store, Platform& platform, Prompter& prompter, RunView& view,
                  const QString& liveHost, const EndpointOverride& fixed = {});
    ~RunController() override;

    // Saves, then starts a run when idle and stops it otherwise.
    void DoStart();
    bool isRunning() const { return running_; }
    // Where the current or last run connects; chosen anew at every start.
    const Endpoint& endpoint() const { return endpoint_; }
    StopReason stopReason() const { return stopReason_; }
    // Whether scheduled runs check the setup before their start (on unless turned off).
    void setSetupChecks(bool on) { setupChecks_ = on; }
    // The last start was refused because another run holds the folder.
    bool folderInUse() const { return folderInUse_; }
    // The program is ending: every slot falls silent and nothing more is started,
    // saved or logged, even by a DoStart that is still waiting for a message box.
    void halt();
    // A status table to keep up to date from the next Start on; null detaches it.
    void attachStatus(RunStatus* status) { status_ = status; }

    // The error dialog's choices. Stop Current drops the job the dialog was opened for,
    // if it is still part of the run.
    void stopCurrent(const ServerErrorReport& report);
    void stopAll();

    const QList<std::shared_ptr<DomainGroup>>& groups() const { return groups_; }
    Slot* slot(int index) const; // 1 or 2, null when idle
    Timer& scheduleTimer() { return *scheduleTimer_; }

    // SlotHost
    RequestContext requestContext() const override;
    QString delayText() const override { return view_.delayText(); }
    bool purchaseMethod() const override;
    bool buyAtOnce() const override { return store_.options().buyAtOnce; }
    qint32 submissions() const override { return submissions_; }
    void countSubmission() override;
    void logSubmission(const DomainJob& job, const QString& handler) override;
    void submissionCounted(const ReplyEvent& event) override;
    void accountRejected() override;
    void addressRefused(const QString& address) override;
    void slotFailed(const SlotFailure& failure) override;
    void secureConnectionFailed(const QString& host, const QString& reason) override;
    void serverError(int slot, const DomainJobPtr& job, int position,
                     const QString& description) override;

private:
    void startRun(MainFields fields);
    void stopRun(bool startImmediately);
    // A stop the run asks for itself (end time, rejected account), with its reason.
    void stopFor(StopReason reason, const QString& text = QString());
    // A scheduled run not yet sending: checks the setup when it is armed, and again a few
    // minutes before its start.
    void checkBeforeStart(bool armed);
    void setupChecked();
    // A name bought leaves both groups, when the option says so.
    void dropBought(const QString& domain);
    void scheduleTick();
    // Sets both slots to write their first requests at the start second, when it is near.
    void armStart();
    // Shown once the handler that is running has finished, so no slot waits for the
    // user; notices that come before then are shown together.
    void deferNotice(const QString& text);
    void recordOrder(const ReplyEvent& event);

    SettingsStore& store_;
    Platform& platform_;
    Prompter& prompter_;
    RunView& view_;
    QString liveHost_;
    EndpointOverride fixed_;
    Endpoint endpoint_;
    TransactionLog log_;
    OrdersRecord orders_;
    RunStatus* status_ = nullptr;

    bool running_ = false;
    StopReason stopReason_ = StopReason::None;
    StopReason nextStopReason_ = StopReason::User;
    QString stopText_; // why in plain words, for a stop the user did not ask for
    QString nextStopText_;
    bool inDoStart_ = false;
    bool halted_ = false;
    qint32 submissions_ = 0;
    RequestContext context_;
    QList<std::shared_ptr<DomainGroup>> groups_;
    std::vector<std::unique_ptr<Slot>> slots_;
    // Slots of stopped runs; a run may be stopped from inside one of its own handlers.
    std::vector<std::unique_ptr<Slot>> retired_;
    std::unique_ptr<Timer> scheduleTimer_;
    ScheduleClock schedule_;
    // The moment (Clock::steadyUs) the slots were set to start at, until the tick after it.
    std::optional<qint64> armedStartUs_;
    // Held from a start's checks to the stop: one run per folder.
    std::unique_ptr<HeldLock> runLock_;
    bool folderInUse_ = false;
    bool logFailureTold_ = false;
    bool ordersFailureTold_ = false;
    std::unique_ptr<Timer> deferredNotice_;
    QString noticeText_;
    // Jobs an error report was made for, held until the run stops: a job otherwise exists
    // only while a request for it is in flight (DomainGroup), and the report's window
    // knows the job again by its identity when the registrar repeats the error.
    std::vector<DomainJobPtr> reported_;

    // Per slot, for the failure lines and the at-risk alert.
    struct SlotWatch {
        std::optional<qint64> failingSinceUs; // since the first failure after a reply
        std::optional<qint64> lastToldUs;
        bool atRiskTold = false;
    };
    std::array<SlotWatch, 2> watch_;
    MainFields runFields_; // as the run took them over, the list cleaned
    bool sending_ = false; // the slots have been started
    bool setupChecks_ = true;
    bool checkedBeforeStart_ = false;
    std::unique_ptr<SetupCheck> setupCheck_;
    std::vector<std::unique_ptr<SetupCheck>> retiredChecks_;
};

} // namespace drovane
