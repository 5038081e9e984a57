#pragma once

#include "SetupCheck.h"
#include "StopReason.h"
#include "core/model/DomainJob.h"
#include "core/model/MainFields.h"
#include "core/registrar/ReplyEvent.h"

#include <QString>
#include <memory>

namespace drovane {

// An unexpected registrar answer, as its error dialog shows and acts on it.
struct ServerErrorReport {
    QString domain;
    QString description;
    QString reference;            // slot, "-", cursor: "2-5"
    std::weak_ptr<DomainJob> job; // the job "Stop Current" drops
    int slot = 0;
};

// What a run needs from the main window. The window implements it; tests fake it.
class RunView {
public:
    virtual ~RunView() = default;
    // Every field, for saving and for the start checks (the list with CR LF).
    virtual MainFields fields() const = 0;
    virtual QString caption() const = 0;
    // Read while a run goes on.
    virtual QString delayText() const = 0;
    virtual QString startTimeText() const = 0;
    virtual QString endTimeText() const = 0;
    virtual bool nameServersChecked() const = 0;
    virtual bool loggingChecked() const = 0;

    virtual void setDomainsText(const QString& crlfText) = 0;
    virtual void closeSettingsWindow() = 0;
    // The running or idle state of the controls ("Stop"/"Start", locks).
    virtual void showRunState(bool running, bool startImmediately) = 0;
    virtual void showSubmissions(qint32 count) = 0;
    virtual void showServerError(const ServerErrorReport& report) = 0;
    // Every counted submission of the run, as it is counted.
    virtual void showReply(const ReplyEvent&) {}
    // The run has stopped, for any reason; `why` says it in plain words.
    virtual void showRunStopped(StopReason, const QString& /*why*/) {}
    // A request that came to nothing (a connection failed, the watchdog found no reply):
    // at most one a slot per watchdog period.
    virtual void showSlotFailure(const SlotFailure&) {}
    // Something puts the catch at risk while there may be time to act: every request of
    // a slot has failed for a minute, or the setup is not ready before a scheduled start.
    virtual void showAtRisk(const QString& /*text*/) {}
    // A scheduled run checks the setup when it is armed and again before its start.
    virtual void showSetupCheck(const QList<CheckLine>&) {}
};

} // namespace drovane
