#include "frmMain.h"

#include "Accessibility.h"
#include "Controls.h"
#include "IntervalBox.h"
#include "ListBox.h"
#include "core/faces/MainWindowLoad.h"
#include "core/model/HandleError.h"
#include "core/model/UserTexts.h"
#include "core/run/IntervalCheck.h"
#include "core/settings/SettingNames.h"
#include "frmStatus.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QUrl>

namespace drovane {

namespace {
const QString kWindow = QStringLiteral("frmMain");

// The controls in the order they are made, which is the order they stack in: each box's
// frame lies over the box's edge.
constexpr ControlSpec kControls[] = {
    {"imgLink1", ControlKind::ClickLabel, "", 120, 120, 4215, 615},
    {"lblUsername", ControlKind::Label, "Username:", 120, 840, 975, 255},
    {"txtUsername", ControlKind::Box, "", 285, 1170, 1355, 270},
    {"lblPassword", ControlKind::Label, "Password:", 120, 1560, 975, 255},
    {"txtPassword", ControlKind::Box, "", 285, 1890, 1355, 270},
    {"lblDelayTime", ControlKind::Label, "Interval:", 120, 2370, 630, 195},
    {"txtDelayTime", ControlKind::Box, "", 840, 2325, 795, 270},
    {"chkLogging", ControlKind::Option, "", 120, 2650, 200, 200},
    {"lblLogging", ControlKind::ClickLabel, "Logging", 360, 2655, 555, 195},
    {"chkStartImmediately", ControlKind::CheckedOption, "", 120, 2935, 200, 200},
    {"lblStartImmediately", ControlKind::ClickLabel, "Start Immediately", 360, 2935, 1275, 195},
    {"chkNameServers", ControlKind::CheckedOption, "", 120, 3220, 200, 200},
    {"lblNameServers", ControlKind::ClickLabel, "Custom Nameservers", 360, 3225, 1530, 195},
    {"lblStartTime", ControlKind::Label, "Start Time:", 120, 3480, 975, 255},
    {"txtStartTime", ControlKind::Box, "", 285, 3810, 1355, 270},
    {"lblEndTime", ControlKind::Label, "End Time:", 120, 4200, 975, 255},
    {"txtEndTime", ControlKind::Box, "", 285, 4530, 1355, 270},
    {"lblDomains", ControlKind::Label, "Domains:", 1920, 840, 660, 195},
    {"txtDomains", ControlKind::List, "", 2040, 1170, 2295, 3630},
    {"lblSubmissionsLbl", ControlKind::Label, "Total Number of Submissions:", 120, 5000, 2175, 255},
    {"lblSubmissions", ControlKind::Label, "0", 2280, 5000, 2055, 255},
    {"cmdStart", ControlKind::Button, "Start", 1590, 5280, 735, 255},
    {"cmdSettings", ControlKind::Button, "Settings", 2430, 5280, 735, 255},
    {"imgLink2", ControlKind::Label, "", 3240, 5430, 1095, 300},
    // Left of Start, as far from it as Settings is on its right.
    {"cmdStatus", ControlKind::Button, "Status", 750, 5280, 735, 255},
};
} // namespace

frmMain::frmMain(SettingsStore& store, Platform& platform, Prompter& prompter,
                 const QStringList& colLegalTypes, const QString& registrarHost,
                 std::function<void()> endProgram, QWidget* parent)
    : QWidget(parent), strHost(registrarHost), store_(store), platform_(platform),
      prompter_(prompter), legalTypes_(colLegalTypes), endProgram_(std::move(endProgram)),
      errors_(
          [this](const ServerErrorReport& r) {
              if (run_)
                  run_->stopCurrent(r);
          },
          [this] {
              if (run_)
                  run_->stopAll();
          }) {
    setObjectName(kWindow);
    setAccessibleWindowRole(this, QAccessible::Window);
    run_ = std::make_unique<RunController>(store_, platform_, prompter_, *this, strHost);
    run_->attachStatus(&runStatus_);
    createControls();
    Form_Load();
}

frmMain::~frmMain() {
    // Before the status table it shows goes with this window's members.
    delete statusWindow_.data();
}

void frmMain::createControls() {
    setFont(tahoma(8.25));
    // The controls are laid out on an inner area of 4500 x 6000 twips.
    setFixedSize(px(4500), px(6000));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    buildControls(this, kControls);
    takeControls();
    imgLink1->setCursor(Qt::PointingHandCursor);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"
    interval_ = std::make_unique<IntervalBox>(txtDelayTime, prompter_);
    describeControls();
    connectControls();
}

void frmMain::takeControls() {
    imgLink1 = builtControl<ClickLabel>(this, "imgLink1");
    lblUsername = builtControl<QLabel>(this, "lblUsername");
    txtUsername = builtControl<QLineEdit>(this, "txtUsername");
    lblPassword = builtControl<QLabel>(this, "lblPassword");
    txtPassword = builtControl<QLineEdit>(this, "txtPassword");
    lblDelayTime = builtControl<QLabel>(this, "lblDelayTime");
    txtDelayTime = builtControl<QLineEdit>(this, "txtDelayTime");
    chkLogging = builtControl<QCheckBox>(this, "chkLogging");
    lblLogging = builtControl<ClickLabel>(this, "lblLogging");
    chkStartImmediately = builtControl<QCheckBox>(this, "chkStartImmediately");
    lblStartImmediately = builtControl<ClickLabel>(this, "lblStartImmediately");
    chkNameServers = builtControl<QCheckBox>(this, "chkNameServers");
    lblNameServers = builtControl<ClickLabel>(this, "lblNameServers");
    lblStartTime = builtControl<QLabel>(this, "lblStartTime");
    txtStartTime = builtControl<QLineEdit>(this, "txtStartTime");
    lblEndTime = builtControl<QLabel>(this, "lblEndTime");
    txtEndTime = builtControl<QLineEdit>(this, "txtEndTime");
    lblDomains = builtControl<QLabel>(this, "lblDomains");
    txtDomains = builtControl<ListBox>(this, "txtDomains");
    lblSubmissionsLbl = builtControl<QLabel>(this, "lblSubmissionsLbl");
    lblSubmissions = builtControl<QLabel>(this, "lblSubmissions");
    cmdStart = builtControl<QPushButton>(this, "cmdStart");
    cmdSettings = builtControl<QPushButton>(this, "cmdSettings");
    imgLink2 = builtControl<QLabel>(this, "imgLink2");
    cmdStatus = builtControl<QPushButton>(this, "cmdStatus");
}

void frmMain::describeControls() {
    // Each control is named by its caption, for assistive technology; the option boxes
    // have none of their own, their captions are the labels beside them.
    const std::pair<QLabel*, QWidget*> captions[] = {{lblUsername, txtUsername},
                                                     {lblPassword, txtPassword},
                                                     {lblDelayTime, txtDelayTime},
                                                     {lblLogging, chkLogging},
                                                     {lblStartImmediately, chkStartImmediately},
                                                     {lblNameServers, chkNameServers},
                                                     {lblStartTime, txtStartTime},
                                                     {lblEndTime, txtEndTime},
                                                     {lblDomains, txtDomains},
                                                     {lblSubmissionsLbl, lblSubmissions}};
    for (const auto& [caption, control] : captions)
        caption->setBuddy(control);
    // The banner reads as what it shows, and says where a click on it leads.
    imgLink1->setAccessibleName(QStringLiteral("Drovane"));
    imgLink1->setAccessibleDescription(QStringLiteral("Opens " DROVANE_LINK_URL));

    // The keyboard follows the eye: down the left column, the list, then the buttons
    // from left to right.
    QWidget* order[] = {txtUsername,         txtPassword,    txtDelayTime, chkLogging,
                        chkStartImmediately, chkNameServers, txtStartTime, txtEndTime,
                        txtDomains,          cmdStatus,      cmdStart,     cmdSettings};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    txtUsername->setFocus();
}

void frmMain::connectControls() {
    connect(imgLink1, &ClickLabel::clicked, this, &frmMain::imgLink1_Click);
    connect(txtDelayTime, &QLineEdit::textChanged, this, &frmMain::txtDelayTime_Change);
    connect(chkLogging, &QCheckBox::toggled, this, &frmMain::chkLogging_Change);
    connect(chkStartImmediately, &QCheckBox::toggled, this, &frmMain::chkStartImmediately_Change);
    connect(chkNameServers, &QCheckBox::toggled, this, &frmMain::chkNameServers_Change);
    // A caption click toggles its box even while a run has disabled the box.
    const std::pair<ClickLabel*, QCheckBox*> options[] = {
        {lblLogging, chkLogging},
        {lblStartImmediately, chkStartImmediately},
        {lblNameServers, chkNameServers}};
    for (const auto& [caption, checkBox] : options) {
        QCheckBox* toggled = checkBox; // clang 14 (clang-tidy) cannot capture a binding
        connect(caption, &ClickLabel::clicked, toggled,
                [toggled] { toggled->setChecked(!toggled->isChecked()); });
    }
    connect(cmdStart, &QPushButton::clicked, this, &frmMain::cmdStart_Click);
    connect(cmdSettings, &QPushButton::clicked, this, &frmMain::cmdSettings_Click);
    connect(cmdStatus, &QPushButton::clicked, this, &frmMain::cmdStatus_Click);
}

void frmMain::Form_Load() {
    setWindowTitle(windowCaption());

    paintWhite(this);
    background_ = artwork(QStringLiteral("background.png"));
    setWindowIcon(drovane::windowIcon()); // not QWidget::windowIcon(), which reads it back
    imgLink1->setPixmap(artwork(QStringLiteral("banner.png")));
    imgLink2->setPixmap(artwork(QStringLiteral("link.png")));
    imgLink2->setEnabled(false);
    for (QLabel* l : findChildren<QLabel*>()) {
        makeTransparentLabel(l);
        fitCaption(l);
    }
    for (QLineEdit* b : {txtUsername, txtPassword, txtDelayTime, txtStartTime, txtEndTime})
        makeFlatBox(b);
    makeFlatBox(txtDomains);
    makeGreyButton(cmdStart);
    makeGreyButton(cmdSettings);
    makeGreyButton(cmdStatus);

    store_.GetSettings();
    const LoadedFields loaded = loadMainFields(store_);
    const MainFields& f = loaded.fields;
    txtUsername->setText(f.username);
    txtPassword->setText(f.password);
    if (loaded.intervalRangeMessage)
        prompter_.notice(QString::fromLatin1(kIntervalRangeMessage));
    if (loaded.intervalBeep)
        prompter_.beep();
    interval_->setText(f.delayTime);
    chkLogging->setChecked(f.logging != 0);
    chkStartImmediately->setChecked(f.startImmediately != 0);
    chkNameServers->setChecked(f.nameServers != 0);
    txtStartTime->setText(f.startTime);
    txtEndTime->setText(f.endTime);

    chkLogging_Change();
    lockTimeFields(chkStartImmediately->isChecked());
    txtDomains->setPlainText(f.domains);

    // Told once: a file that was not read is not saved over either, and the window
    // goes on with what it holds.
    if (const QStringList problems = store_.loadProblems(); !problems.isEmpty())
        prompter_.notice(problems.join(QStringLiteral("\n\n")));
    if (const QString problem = store_.passwordProblem(); !problem.isEmpty())
        prompter_.notice(problem);
    offerKeyringMove();
}

void frmMain::offerKeyringMove() {
    if (!store_.offerKeyringMove())
        return;
    // Asked once: the answer is kept in options.ini, and the settings window changes it.
    store_.chooseKeyring(prompter_.question(QStringLiteral(
        "Your registrar password is kept in clear text in settings.dat, and so in every "
        "backup of that folder. Move it into the system keyring? (The Settings window "
        "changes this later.)")));
    const SaveResult saved = store_.WriteSettings(fields());
    if (!saved.ok)
        prompter_.notice(QStringLiteral("The settings could not be saved: %1").arg(saved.error));
    else if (!saved.notice.isEmpty())
        prompter_.notice(saved.notice);
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (!unloaded_ && !Form_QueryUnload()) {
        event->ignore();
        return;
    }
    event->accept();
    // An end the system asked for while this close was asking has ended everything.
    if (!unloaded_)
        Form_Unload();
}

bool frmMain::Form_QueryUnload() {
    const SaveResult saved = store_.WriteSettings(fields());
    if (saved.ok) {
        if (!saved.notice.isEmpty())
            prompter_.notice(saved.notice);
        return true;
    }
    const bool closeAnyway = prompter_.question(
        settingsNotSaved(saved.error) +
        QStringLiteral("\n\nClose anyway? The changes made since the last save will be lost."));
    return closeAnyway || unloaded_;
}

void frmMain::endAtSystemRequest() {
    if (unloaded_)
        return;
    // Nobody can be asked at a logout or a kill: the reason goes where the session's
    // messages go, and the program ends.
    if (const SaveResult saved = store_.WriteSettings(fields()); !saved.ok)
        qWarning("Drovane: ending at the system's request without saving the settings: %s",
                 qUtf8Printable(saved.error));
    else if (!saved.notice.isEmpty())
        qWarning("Drovane: %s", qUtf8Printable(saved.notice));
    hide();
    Form_Unload();
}

void frmMain::Form_Unload() {
    // The program ends here: no other window may keep it alive, none of them may save
    // anything on the way out, and no slot may touch the log any more.
    if (settingsWindow_) {
        settingsWindow_->disconnect(this);
        settingsWindow_->hide();
        settingsWindow_->deleteLater();
        settingsWindow_ = nullptr;
    }
    errors_.closeAll();
    if (statusWindow_) {
        statusWindow_->hide();
        statusWindow_->deleteLater();
        statusWindow_ = nullptr;
    }
    if (checkWindow_) {
        checkWindow_->hide();
        checkWindow_->deleteLater();
        checkWindow_ = nullptr;
    }
    // Not destroyed here: a DoStart may still be waiting for one of its message boxes.
    unloaded_ = true;
    run_->halt();
    if (endProgram_)
        endProgram_();
}

void frmMain::paintEvent(QPaintEvent*) {
    if (background_.isNull())
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);
}

void frmMain::DoStart() {
    if (run_)
        run_->DoStart();
}

void frmMain::cmdStart_Click() {
    DoStart();
}

void frmMain::cmdSettings_Click() {
    if (!settingsWindow_) {
        settingsWindow_ = new frmSettings(store_, legalTypes_, prompter_, *this, this);
        connect(settingsWindow_, &frmSettings::unloaded, this, [this] {
            if (settingsWindow_)
                settingsWindow_->disconnect(this);
            settingsWindow_ = nullptr;
        });
    }
    // Centred over this window by outer sizes; a window not yet shown has no frame of
    // its own yet, so it is given this window's.
    const QRect outer = frameGeometry();
    QSize settingsOuter = settingsWindow_->frameGeometry().size();
    if (settingsOuter == settingsWindow_->size())
        settingsOuter += outer.size() - size();
    settingsWindow_->move(outer.left() + (outer.width() - settingsOuter.width()) / 2,
                          outer.top() + (outer.height() - settingsOuter.height()) / 2);
    settingsWindow_->show();
    settingsWindow_->raise();
    settingsWindow_->activateWindow();
}

void frmMain::cmdStatus_Click() {
    if (!statusWindow_)
        statusWindow_ = new frmStatus(runStatus_, this, &store_, &platform_.clock());
    statusWindow_->show();
    statusWindow_->raise();
    statusWindow_->activateWindow();
}

void frmMain::imgLink1_Click() {
    // A failed open is not reported.
    QDesktopServices::openUrl(QUrl(QStringLiteral(DROVANE_LINK_URL)));
}

void frmMain::chkLogging_Change() {
    logging_ = chkLogging->isChecked();
}

void frmMain::chkStartImmediately_Change() {
    if (!chkStartImmediately->isChecked()) {
        lockTimeFields(false);
        return;
    }
    if (prompter_.question(QString::fromLatin1(kManualTimesQuestion)))
        lockTimeFields(true);
    else
        chkStartImmediately->setChecked(false); // runs this handler again, unchecked
}

void frmMain::chkNameServers_Change() {
    if (chkNameServers->isChecked() && !nameServersComplete(store_.all()))
        cmdSettings_Click();
}

void frmMain::lockTimeFields(bool locked) {
    lblStartTime->setEnabled(!locked);
    lblEndTime->setEnabled(!locked);
    // A locked box can still be clicked into and copied from, but Tab passes it by.
    for (QLineEdit* box : {txtStartTime, txtEndTime}) {
        box->setReadOnly(locked);
        box->setFocusPolicy(locked ? Qt::ClickFocus : Qt::StrongFocus);
    }
}

void frmMain::txtDelayTime_Change() {
    interval_->check();
}

// RunView

MainFields frmMain::fields() const {
    MainFields f;
    f.username = txtUsername->text();
    f.password = txtPassword->text();
    f.delayTime = txtDelayTime->text();
    f.logging = chkLogging->isChecked() ? 1 : 0;
    f.nameServers = chkNameServers->isChecked() ? 1 : 0;
    f.startImmediately = chkStartImmediately->isChecked() ? 1 : 0;
    f.startTime = txtStartTime->text();
    f.endTime = txtEndTime->text();
    f.domains = txtDomains->crlfText();
    return f;
}

QString frmMain::caption() const {
    return windowTitle();
}
QString frmMain::delayText() const {
    return txtDelayTime->text();
}
QString frmMain::startTimeText() const {
    return txtStartTime->text();
}
QString frmMain::endTimeText() const {
    return txtEndTime->text();
}
bool frmMain::nameServersChecked() const {
    return chkNameServers->isChecked();
}

void frmMain::setDomainsText(const QString& crlfText) {
    txtDomains->setPlainText(crlfText);
}

void frmMain::closeSettingsWindow() {
    if (settingsWindow_)
        settingsWindow_->close();
}

void frmMain::showRunState(bool running, bool startImmediately) {
    cmdStart->setText(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    cmdSettings->setEnabled(!running);
    txtUsername->setReadOnly(running);
    txtPassword->setReadOnly(running);
    for (QCheckBox* box : {chkLogging, chkStartImmediately, chkNameServers})
        box->setEnabled(!running);
    // A stop leaves the time fields as they are.
    if (running)
        lockTimeFields(startImmediately);
    txtDomains->setReadOnly(running);
    txtDelayTime->setReadOnly(running);
}

void frmMain::showSubmissions(qint32 count) {
    lblSubmissions->setText(QString::number(count));
}

void frmMain::showServerError(const ServerErrorReport& report) {
    errors_.show(report);
}

void frmMain::showReply(const ReplyEvent& event) {
    // Only an order is news worth interrupting the user for.
    if (event.outcome == ReplyEvent::Outcome::Ordered && notifier_)
        notifier_->orderPlaced(event);
}

void frmMain::showRunStopped(StopReason reason, const QString& why) {
    // The user's own Stop needs no word; anything else may come when nobody is looking.
    if (reason == StopReason::User || !notifier_)
        return;
    notifier_->alert(QStringLiteral("Drovane: the run stopped"),
                     QStringLiteral("The run stopped: %1.").arg(why),
                     reason == StopReason::EndTime);
}

void frmMain::showAtRisk(const QString& text) {
    if (notifier_)
        notifier_->alert(QStringLiteral("Drovane: a catch is at risk"), text, false);
}

void frmMain::checkSetup(const SettingsArray& settings, const Options& options) {
    SetupInput input;
    input.fields = fields();
    input.settings = settings;
    input.endpoint = chooseEndpoint(options, strHost);
    input.testEnvironment = options.testEnvironment;
    if (!checkWindow_)
        checkWindow_ = new frmCheck(platform_, this);
    checkWindow_->check(input);
    checkWindow_->show();
    checkWindow_->raise();
    checkWindow_->activateWindow();
}

QList<frmError*> frmMain::errorWindows() const {
    return errors_.open();
}

// SettingsWindowHost

void frmMain::uncheckNameServers() {
    chkNameServers->setChecked(false);
}

void frmMain::focusMainWindow() {
    activateWindow();
    raise();
}

} // namespace drovane
