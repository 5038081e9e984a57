#include "frmStatus.h"

#include "Accessibility.h"
#include "Controls.h"
#include "RunStatusModel.h"

#include "core/platform/Clock.h"
#include "core/settings/SettingsStore.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace drovane {

frmStatus::frmStatus(RunStatus& status, QWidget* parent, SettingsStore* store, const Clock* clock)
    : QWidget(parent, Qt::Window), status_(status), store_(store), clock_(clock),
      model_(new RunStatusModel(status, this)), lblSummary_(new QLabel(this)),
      table_(new QTableView(this)), refreshTimer_(new QTimer(this)) {
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
    lblSummary_->setObjectName(QStringLiteral("lblSummary"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* summaryRow = new QVBoxLayout;
    summaryRow->setContentsMargins(6, 4, 6, 0);
    summaryRow->addWidget(lblSummary_);
    layout->addLayout(summaryRow);
    layout->addWidget(table_);
    if (store_) {
        // Off by default: a bought name stays in the rotation, as it always has.
        chkStopWhenBought_ =
            new QCheckBox(QStringLiteral("Stop checking a name once it is bought"), this);
        chkStopWhenBought_->setObjectName(QStringLiteral("chkStopWhenBought"));
        chkStopWhenBought_->setChecked(store_->options().stopWhenBought);
        connect(chkStopWhenBought_, &QCheckBox::toggled, this, [this](bool on) {
            Options options = store_->options();
            options.stopWhenBought = on;
            store_->setOptions(options);
        });
        auto* optionRow = new QVBoxLayout;
        optionRow->setContentsMargins(6, 0, 6, 4);
        optionRow->addWidget(chkStopWhenBought_);
        layout->addLayout(optionRow);
    }
    resize(760, 420);

    refreshTimer_->setInterval(kRefreshMs);
    connect(refreshTimer_, &QTimer::timeout, this, &frmStatus::refresh);

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
    const QDateTime now = clock_ ? clock_->now().toUTC() : QDateTime::currentDateTimeUtc();
    lblSummary_->setText(status_.summaryText(now));
}

void frmStatus::showEvent(QShowEvent* event) {
    refresh();
    refreshTimer_->start();
    QWidget::showEvent(event);
}

void frmStatus::hideEvent(QHideEvent* event) {
    refreshTimer_->stop();
    QWidget::hideEvent(event);
}

} // namespace drovane
