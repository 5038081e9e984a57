#pragma once

#include "core/run/RunView.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace drovane {

// One unexpected registrar answer: which domain failed and what the registrar said,
// with the two ways out. Modeless and without an owner, so the run goes on while it
// is open. The main window keeps one open per domain job: the same job's next error
// goes to repeat().
class frmError : public QWidget {
    Q_OBJECT
public:
    using StopCurrent = std::function<void(const ServerErrorReport&)>;
    using StopAll = std::function<void()>;

    frmError(const ServerErrorReport& report, StopCurrent stopCurrent, StopAll stopAll);

    // The error reference ("2-5") the buttons act on.
    QString Tag() const { return report_.reference; }
    // The job this window's errors are about; empty once the job is gone.
    std::shared_ptr<DomainJob> job() const { return report_.job.lock(); }
    int times() const { return times_; }

    // The same job failed again: the latest report replaces the shown one.
    void repeat(const ServerErrorReport& report);

    void cmdStopCurrent_Click();
    void cmdStopAll_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();

    ServerErrorReport report_;
    int times_ = 1;
    StopCurrent stopCurrent_;
    StopAll stopAll_;

    QPushButton* cmdStopAll = nullptr;
    QPushButton* cmdStopCurrent = nullptr;
    QLabel* lblDomainLbl = nullptr;
    QLabel* lblErrDescLbl = nullptr;
    QLabel* lblDomain = nullptr;
    QLabel* lblErrDesc = nullptr;
};

} // namespace drovane
