#pragma once

#include "core/platform/Platform.h"
#include "core/run/SetupCheck.h"

#include <QWidget>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace drovane {

// The setup check's window: one row per check with its verdict and reason, filled in as
// the checks finish. "Check Again" repeats the last check.
class frmCheck : public QWidget {
    Q_OBJECT
public:
    explicit frmCheck(Platform& platform, QWidget* parent = nullptr);
    ~frmCheck() override;

    // Checks `input` afresh; an earlier check still under way is dropped.
    void check(const SetupInput& input);
    bool isChecking() const { return check_ && check_->isRunning(); }

    QTableWidget* table() const { return grdCheck; }
    QLabel* verdictLabel() const { return lblVerdict; }

private:
    void showLine(const CheckLine& line);
    void finished();

    Platform& platform_;
    SetupInput last_;
    std::unique_ptr<SetupCheck> check_;
    std::vector<std::unique_ptr<SetupCheck>> retired_;
    QLabel* lblVerdict = nullptr;
    QTableWidget* grdCheck = nullptr;
    QPushButton* cmdAgain = nullptr;
    QPushButton* cmdClose = nullptr;
};

} // namespace drovane
