#include "frmStatus.h"

#include "Controls.h"
#include "RunStatusModel.h"

#include <QHeaderView>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace drovane {

frmStatus::frmStatus(RunStatus& status, QWidget* parent)
    : QWidget(parent, Qt::Window), model_(new RunStatusModel(status, this)),
      table_(new QTableView(this)), tmrRefresh_(new QTimer(this)) {
    setObjectName(QStringLiteral("frmStatus"));
    setWindowTitle(QStringLiteral("Drovane - Status"));
    setWindowIcon(drovane::windowIcon());
    table_->setObjectName(QStringLiteral("grdStatus"));
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
