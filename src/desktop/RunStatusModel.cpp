#include "RunStatusModel.h"

#include <algorithm>

namespace drovane {

RunStatusModel::RunStatusModel(RunStatus& status, QObject* parent)
    : QAbstractTableModel(parent), status_(status) {
    status_.takeChanges();
    rows_ = status_.rowCount();
}

void RunStatusModel::refresh() {
    const RunStatus::Changes changes = status_.takeChanges();
    if (changes.reset) {
        beginResetModel();
        rows_ = status_.rowCount();
        endResetModel();
    } else if (changes.first >= 0 && changes.last < rows_) {
        emit dataChanged(index(changes.first, 0), index(changes.last, ColumnCount - 1),
                         {Qt::DisplayRole});
    }
}

int RunStatusModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int RunStatusModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RunStatusModel::data(const QModelIndex& index, int role) const {
    // A new run may have replaced the table before the next refresh tells the view.
    if (!index.isValid() || index.row() >= rows_ || index.row() >= status_.rowCount())
        return {};
    const RunStatus::Row& row = status_.row(index.row());
    if (role == Qt::TextAlignmentRole)
        return index.column() == Slot || index.column() == Tries
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    // A long unexpected reply is cut off in its cell; the whole of it on hovering.
    if (role == Qt::ToolTipRole && index.column() == Outcome)
        return RunStatus::outcomeText(row);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Name:
        return row.domain;
    case Slot:
        return row.slot;
    case Tries:
        return row.tries;
    case Outcome:
        return RunStatus::outcomeText(row);
    case OrderId:
        return row.orderId;
    case LastReply:
        return row.replied ? row.at.toLocalTime().toString(QStringLiteral("HH:mm:ss")) : QString();
    default:
        return {};
    }
}

QVariant RunStatusModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name:
        return QStringLiteral("Name");
    case Slot:
        return QStringLiteral("Slot");
    case Tries:
        return QStringLiteral("Tries");
    case Outcome:
        return QStringLiteral("Last outcome");
    case OrderId:
        return QStringLiteral("Order ID");
    case LastReply:
        return QStringLiteral("Last reply");
    default:
        return {};
    }
}

QString RunStatusModel::rowsText(QList<int> rows) const {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList lines;
    for (int r : std::as_const(rows)) {
        QStringList cells;
        for (int c = 0; c < ColumnCount; ++c)
            cells << data(index(r, c)).toString();
        lines << cells.join(u'\t');
    }
    return lines.join(u'\n');
}

} // namespace drovane
