#pragma once

#include "core/run/RunView.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace drovane {

// One unexpected registrar answer: which domain failed and what the registrar said,
// with the two ways out. Modeless and without an owner, so the run goes on while it
// is open; every error gets a window of its own.
class frmError : public QWidget {
    Q_OBJECT
public:
    using StopCurrent = std::function<void(const ServerErrorReport&)>;
    using StopAll = std::function<void()>;

    frmError(const ServerErrorReport& report, StopCurrent stopCurrent, StopAll stopAll);

    // The error reference ("2-5") the buttons act on.
    QString Tag() const { return report_.reference; }

    void cmdStopCurrent_Click();
    void cmdStopAll_Click();

private:
    void Form_Load();

    ServerErrorReport report_;
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
