#include "frmStatus.h"

#include "Accessibility.h"
#include "Controls.h"
#include "RunStatusModel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace drovane {

frmStatus::frmStatus(RunStatus& status, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(new RunStatusModel(status, this)),
      table_(new QTableView(this)), tmrRefresh_(new QTimer(this)) {
    setObjectName(QStringLiteral("frmStatus"));
    setAccessibleWindowRole(this, QAccessible::Window);
    setWindowTitle(QStringLiteral("Drovane - Status"));
    setWindowIcon(drovane::windowIcon());
    table_->setObjectName(QStringLiteral("grdStatus"));
    table_->setAccessibleName(QStringLiteral("Names of the run"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    // Fixed sizes: sizing rows or columns to their contents reads every row, which
    // a list of tens of thousands of names makes slow.
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    const int widths[] = {200, 40, 50, 220, 90, 80};
    for (int c = 0; c < RunStatusModel::ColumnCount; ++c)
        table_->setColumnWidth(c, widths[c]);
    table_->horizontalHeader()->setStretchLastSection(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table_);
    resize(760, 420);

    tmrRefresh_->setInterval(kRefreshMs);
    connect(tmrRefresh_, &QTimer::timeout, this, &frmStatus::refresh);

    // Closed as other windows of the desktop are; a copy takes whole rows, not a cell.
    for (const QKeySequence& keys :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    table_->installEventFilter(this);
}

void frmStatus::copyRows() {
    QList<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.append(index.row());
    if (!rows.isEmpty())
        QGuiApplication::clipboard()->setText(model_->rowsText(rows));
}

bool frmStatus::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copyRows();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void frmStatus::refresh() {
    model_->refresh();
}

void frmStatus::showEvent(QShowEvent* event) {
    refresh();
    tmrRefresh_->start();
    QWidget::showEvent(event);
}

void frmStatus::hideEvent(QHideEvent* event) {
    tmrRefresh_->stop();
    QWidget::hideEvent(event);
}

} // namespace drovane
