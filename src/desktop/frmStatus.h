#pragma once

#include <QWidget>

class QTableView;
class QTimer;

namespace drovane {

class RunStatus;
class RunStatusModel;

// The run status window: every name of the current or last run, refreshed a few times
// a second while it is open, and not at all while it is closed.
class frmStatus : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 250;

    explicit frmStatus(RunStatus& status, QWidget* parent = nullptr);

    RunStatusModel& model() const { return *model_; }
    QTableView* table() const { return table_; }
    void refresh();

    // The selected rows, as text, to the clipboard.
    void copyRows();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    RunStatusModel* model_;
    QTableView* table_;
    QTimer* tmrRefresh_;
};

} // namespace drovane
