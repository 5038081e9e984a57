#pragma once

#include "frmError.h"

#include <QHash>
#include <QList>
#include <QPointer>

namespace drovane {

// The Domain Registration Error windows of the main window's runs. Each is a window of
// its own without an owner, beside what the user is doing; their buttons reach into the
// run, so they go when the main window goes. One is open per domain job at most: a
// registrar that keeps failing a name would otherwise open a window for it at every
// interval, so the job's next error goes to its open window.
class ErrorWindows {
public:
    ErrorWindows(frmError::StopCurrent stopCurrent, frmError::StopAll stopAll);
    ~ErrorWindows();
    ErrorWindows(const ErrorWindows&) = delete;
    ErrorWindows& operator=(const ErrorWindows&) = delete;

    // Opens a window for the report, or gives it to the job's open window.
    void show(const ServerErrorReport& report);
    // The windows the user can see.
    QList<frmError*> open() const;
    // The program ends: every window goes, none of them acting any more.
    void closeAll();

private:
    frmError::StopCurrent stopCurrent_;
    frmError::StopAll stopAll_;
    QList<QPointer<frmError>> windows_;
    QHash<const DomainJob*, QPointer<frmError>> windowOfJob_;
};

} // namespace drovane
