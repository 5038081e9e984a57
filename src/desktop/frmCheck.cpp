#include "frmCheck.h"

#include "Controls.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace drovane {
namespace {

QColor verdictColour(Verdict verdict) {
    switch (verdict) {
    case Verdict::Ready:
        return QColor(0, 110, 0);
    case Verdict::Warning:
        return QColor(150, 90, 0);
    case Verdict::NotReady:
        return QColor(180, 0, 0);
    }
    return Qt::black;
}

} // namespace

frmCheck::frmCheck(Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), platform_(platform) {
    setObjectName(QStringLiteral("frmCheck"));
    setWindowTitle(QStringLiteral("Drovane - Check Setup"));
    setWindowIcon(drovane::windowIcon());
    lblVerdict = new QLabel(this);
    lblVerdict->setObjectName(QStringLiteral("lblVerdict"));
    lblVerdict->setWordWrap(true);
    grdCheck = new QTableWidget(0, 3, this);
    grdCheck->setObjectName(QStringLiteral("grdCheck"));
    grdCheck->setHorizontalHeaderLabels(
        {QStringLiteral("Check"), QStringLiteral("Verdict"), QStringLiteral("Reason")});
    grdCheck->verticalHeader()->hide();
    grdCheck->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCheck->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdCheck->setWordWrap(true);
    grdCheck->setColumnWidth(0, 170);
    grdCheck->setColumnWidth(1, 80);
    grdCheck->horizontalHeader()->setStretchLastSection(true);
    grdCheck->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    cmdAgain = new QPushButton(QStringLiteral("Check Again"), this);
    cmdAgain->setObjectName(QStringLiteral("cmdAgain"));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdAgain);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblVerdict);
    layout->addWidget(grdCheck);
    layout->addLayout(buttons);
    resize(760, 360);
    connect(cmdAgain, &QPushButton::clicked, this, [this] { check(last_); });
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
}

frmCheck::~frmCheck() = default;

void frmCheck::check(const SetupInput& input) {
    last_ = input;
    if (check_) {
        check_->cancel();
        retired_.push_back(std::move(check_));
    }
    grdCheck->setRowCount(0);
    lblVerdict->setText(QStringLiteral("Checking the setup with %1%2 ...")
                            .arg(input.endpoint.host, input.testEnvironment
                                                          ? QStringLiteral(" (test environment)")
                                                          : QString()));
    cmdAgain->setEnabled(false);
    check_ = std::make_unique<SetupCheck>(platform_, input);
    check_->onLine = [this](const CheckLine& line) { showLine(line); };
    check_->onFinished = [this] { finished(); };
    check_->start();
}

void frmCheck::showLine(const CheckLine& line) {
    const int row = grdCheck->rowCount();
    grdCheck->insertRow(row);
    auto* verdict = new QTableWidgetItem(verdictWord(line.verdict));
    verdict->setForeground(verdictColour(line.verdict));
    grdCheck->setItem(row, 0, new QTableWidgetItem(line.title));
    grdCheck->setItem(row, 1, verdict);
    auto* reason = new QTableWidgetItem(line.text);
    reason->setToolTip(line.text);
    grdCheck->setItem(row, 2, reason);
}

void frmCheck::finished() {
    cmdAgain->setEnabled(true);
    const bool ready = SetupCheck::overall(check_->lines()) != Verdict::NotReady;
    lblVerdict->setText(ready ? QStringLiteral("Ready for the drop. Warnings, if any, are worth "
                                               "a look.")
                              : QStringLiteral("Not ready: a catch would fail. Each line says "
                                               "what to change."));
}

} // namespace drovane
