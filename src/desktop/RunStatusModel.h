#pragma once

#include "core/run/RunStatus.h"

#include <QAbstractTableModel>

namespace drovane {

// The run status table as a table view sees it. It follows the table only when asked
// (refresh), so a busy run costs the window one repaint of the changed rows per refresh.
class RunStatusModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Name, Slot, Tries, Outcome, OrderId, LastReply, ColumnCount };

    explicit RunStatusModel(RunStatus& status, QObject* parent = nullptr);

    // Takes in what changed since the last refresh.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The rows as text, to paste anywhere: the cells as shown, a tab between cells and a
    // line break between rows, in the table's order.
    QString rowsText(QList<int> rows) const;

private:
    RunStatus& status_;
    // The rows the view was told of; a new run reaches it only through a reset.
    int rows_ = 0;
};

} // namespace drovane
