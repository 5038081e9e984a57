#include "frmError.h"

#include "Accessibility.h"
#include "Controls.h"
#include "core/run/ErrorText.h"

#include <QLabel>
#include <QPushButton>
#include <climits>

namespace drovane {

frmError::frmError(const ServerErrorReport& report, StopCurrent stopCurrent, StopAll stopAll)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      report_(report), stopCurrent_(std::move(stopCurrent)), stopAll_(std::move(stopAll)) {
    setObjectName(QStringLiteral("frmError"));
    // Announced as an alert when it appears, as a message box is, without taking focus.
    setAccessibleWindowRole(this, QAccessible::AlertMessage);
    setAttribute(Qt::WA_DeleteOnClose);
    // It opens while the user may be typing elsewhere: it must not take the keyboard.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("Domain Registration Error"));
    setFont(tahoma(8.25));
    setFixedSize(px(2625), px(1920));

    auto button = [this](const char* name, const QString& text, QRect at) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(at);
        b->setAutoDefault(false);
        return b;
    };
    auto label = [this](const char* name, const QString& text, QRect at) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(at);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    cmdStopAll = button("cmdStopAll", QStringLiteral("Stop All"), twipRect(120, 1440, 1095, 375));
    cmdStopCurrent =
        button("cmdStopCurrent", QStringLiteral("Stop Current"), twipRect(1440, 1440, 1095, 375));
    lblDomainLbl = label("lblDomainLbl", QStringLiteral("Error When Registering Domain: "),
                         twipRect(120, 120, 2325, 195));
    lblErrDescLbl =
        label("lblErrDescLbl", QStringLiteral("Error Description:"), twipRect(120, 600, 2325, 195));
    lblDomain = label("lblDomain", QString(), twipRect(240, 360, 2205, 195));
    lblErrDesc = label("lblErrDesc", QString(), twipRect(240, 840, 2205, 435));
    lblErrDesc->setWordWrap(true);
    setTabOrder(cmdStopAll, cmdStopCurrent);
    lblDomainLbl->setBuddy(lblDomain);
    lblErrDescLbl->setBuddy(lblErrDesc);

    connect(cmdStopCurrent, &QPushButton::clicked, this, &frmError::cmdStopCurrent_Click);
    connect(cmdStopAll, &QPushButton::clicked, this, &frmError::cmdStopAll_Click);

    Form_Load();
    lblDomain->setText(report_.domain);
    lblErrDesc->setText(errorDialogText(report_.description, times_));
    // When the user turns to the window, the keyboard lands on the window itself, not on
    // a button: stopping anything takes a click or a deliberate Tab first.
    setFocus();
}

void frmError::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void frmError::repeat(const ServerErrorReport& report) {
    report_ = report;
    if (times_ < INT_MAX)
        ++times_;
    lblDomain->setText(report_.domain);
    lblErrDesc->setText(errorDialogText(report_.description, times_));
}

void frmError::Form_Load() {
    paintWhite(this);
    setWindowIcon(drovane::windowIcon()); // not QWidget::windowIcon(), which reads it back
    for (QLabel* l : {lblDomainLbl, lblErrDescLbl, lblDomain, lblErrDesc})
        makeTransparentLabel(l);
    // The domain and the description keep their boxes: what does not fit is cut off.
    fitCaption(lblDomainLbl);
    fitCaption(lblErrDescLbl);
    makeGreyButton(cmdStopAll);
    makeGreyButton(cmdStopCurrent);
}

void frmError::cmdStopCurrent_Click() {
    // The run engine finds the job itself and ignores a job that is no longer part of a
    // run, so the dialog can always go.
    if (stopCurrent_)
        stopCurrent_(report_);
    close();
}

void frmError::cmdStopAll_Click() {
    if (stopAll_)
        stopAll_();
    close();
}

} // namespace drovane
