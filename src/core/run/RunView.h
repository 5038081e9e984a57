#pragma once

#include "core/model/MainFields.h"
#include "core/model/clsDomains.h"
#include "core/registrar/ReplyEvent.h"

#include <QString>
#include <memory>

namespace drovane {

// An unexpected registrar answer, as its error dialog shows and acts on it.
struct ServerErrorReport {
    QString domain;
    QString description;
    QString reference;             // slot, "-", cursor: "2-5"
    std::weak_ptr<clsDomains> job; // the job "Stop Current" drops
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
    virtual bool loggingChecked() const = 0; // bolLogging

    virtual void setDomainsText(const QString& crlfText) = 0;
    virtual void closeSettingsWindow() = 0;
    // The running or idle state of the controls ("Stop"/"Start", locks).
    virtual void showRunState(bool running, bool startImmediately) = 0;
    virtual void showSubmissions(qint32 count) = 0;
    virtual void showServerError(const ServerErrorReport& report) = 0;
    // Every counted submission of the run, as it is counted.
    virtual void showReply(const ReplyEvent&) {}
};

} // namespace drovane
