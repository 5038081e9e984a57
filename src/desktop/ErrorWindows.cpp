#include "ErrorWindows.h"

namespace drovane {

ErrorWindows::ErrorWindows(frmError::StopCurrent stopCurrent, frmError::StopAll stopAll)
    : stopCurrent_(std::move(stopCurrent)), stopAll_(std::move(stopAll)) {}

ErrorWindows::~ErrorWindows() {
    for (const QPointer<frmError>& w : windows_)
        delete w.data();
}

void ErrorWindows::show(const ServerErrorReport& report) {
    windows_.removeAll(nullptr);
    const std::shared_ptr<DomainJob> job = report.job.lock();
    if (job) {
        const QPointer<frmError> open = windowOfJob_.value(job.get());
        if (open && open->isVisible() && open->job() == job) {
            open->repeat(report);
            return;
        }
    }
    auto* window = new frmError(report, stopCurrent_, stopAll_);
    windows_.append(window);
    if (job) {
        // Closed windows leave null entries behind; they go when the next one opens.
        windowOfJob_.removeIf([](const auto& entry) { return entry.value().isNull(); });
        windowOfJob_.insert(job.get(), window);
    }
    // Shown beside what the user is doing, never in its way: the window takes no
    // keyboard, so a key meant for another window cannot stop the run.
    window->show();
}

QList<frmError*> ErrorWindows::open() const {
    QList<frmError*> open;
    for (const QPointer<frmError>& w : windows_)
        if (w && w->isVisible())
            open.append(w.data());
    return open;
}

void ErrorWindows::closeAll() {
    for (const QPointer<frmError>& w : std::as_const(windows_)) {
        if (w) {
            w->hide();
            w->deleteLater();
        }
    }
    windows_.clear();
}

} // namespace drovane
