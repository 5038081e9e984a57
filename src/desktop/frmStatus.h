#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QTableView;
class QTimer;

namespace drovane {

class Clock;
class RunStatus;
class RunStatusModel;
class SettingsStore;

// The run status window: a summary line and every name of the current or last run,
// refreshed a few times a second while it is open, and not at all while it is closed.
// With a settings store it offers the option to stop checking a name once it is bought
// (options.ini, saved with the next save; a run under way follows it at once).
class frmStatus : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    explicit frmStatus(RunStatus& status, QWidget* parent = nullptr, SettingsStore* store = nullptr,
                       const Clock* clock = nullptr);

    RunStatusModel& model() const { return *model_; }
    QTableView* table() const { return table_; }
    QLabel* summary() const { return lblSummary_; }
    QCheckBox* stopWhenBought() const { return chkStopWhenBought_; }
    void refresh();

    // The selected rows, as text, to the clipboard.
    void copyRows();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    RunStatus& status_;
    SettingsStore* store_;
    const Clock* clock_;
    RunStatusModel* model_;
    QLabel* lblSummary_;
    QTableView* table_;
    QCheckBox* chkStopWhenBought_ = nullptr;
    QTimer* refreshTimer_;
};

} // namespace drovane
