#include "frmMain.h"

#include "Accessibility.h"
#include "Controls.h"
#include "ListBox.h"
#include "core/faces/MainWindowLoad.h"
#include "core/model/HandleError.h"
#include "core/model/UserTexts.h"
#include "core/run/IntervalCheck.h"
#include "core/settings/SettingNames.h"
#include "frmError.h"
#include "frmStatus.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QValidator>

namespace drovane {

namespace {
const QString kWindow = QStringLiteral("frmMain");
constexpr int kDelayTimeMaxTyped = 3;
} // namespace

// Limits what the user types into the interval box to three characters, as a maximum
// length would, but lets the program put in any text: a saved "1000" must reach the
// interval check whole and get the range message, not be cut to "100".
class DelayTimeValidator : public QValidator {
public:
    using QValidator::QValidator;

    bool programSet = false;
    QString previous; // the box's text before the change being validated

    State validate(QString& input, int& pos) const override {
        if (programSet)
            return Acceptable;
        const int allowed = std::max<int>(kDelayTimeMaxTyped, previous.size());
        if (input.size() <= allowed)
            return Acceptable;
        // Drop what does not fit from the end of the insertion, as a paste is clipped.
        const int excess = int(input.size()) - allowed;
        const int from = std::max(0, pos - excess);
        input.remove(from, excess);
        pos = from;
        return input == previous ? Invalid : Acceptable;
    }
};

frmMain::frmMain(SettingsStore& store, Platform& platform, Prompter& prompter,
                 const QStringList& colLegalTypes, const QString& registrarHost,
                 std::function<void()> endProgram, QWidget* parent)
    : QWidget(parent), strHost(registrarHost), store_(store), platform_(platform),
      prompter_(prompter), legalTypes_(colLegalTypes), endProgram_(std::move(endProgram)) {
    setObjectName(kWindow);
    setAccessibleWindowRole(this, QAccessible::Window);
    run_ = std::make_unique<RunController>(store_, platform_, prompter_, *this, strHost);
    run_->attachStatus(&runStatus_);
    createControls();
    Form_Load();
}

frmMain::~frmMain() {
    // Error windows have no owner; their buttons reach into this window's run.
    for (const QPointer<frmError>& w : errorWindows_)
        delete w.data();
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

    auto label = [](auto* l, const char* name, const QString& text, QRect at) {
        l->setText(text);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(at);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    };
    auto box = [this](const char* name, QRect at) {
        auto* b = new QLineEdit(this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(at);
        b->setFont(tahoma(9.75));
        // The frame rectangle lies 45 twips (3 px) outside the box.
        auto* frame = new FrameRect(kFrameRed, this);
        frame->setObjectName(QStringLiteral("shp") + QLatin1String(name).mid(3));
        frame->setGeometry(at.adjusted(-px(45), -px(45), px(45), px(45)));
        return b;
    };
    auto option = [this](const char* name, int left, int top, bool created) {
        auto* c = new QCheckBox(this);
        c->setObjectName(QLatin1String(name));
        QRect at = twipRect(left, top, 200, 200);
        // The style's indicator may be a pixel larger than the box; never clip it.
        const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, c);
        at.setSize(at.size().expandedTo(QSize(indicator, indicator)));
        c->setGeometry(at);
        c->setChecked(created);
        return c;
    };

    imgLink1 = label(new ClickLabel(this), "imgLink1", QString(), twipRect(120, 120, 4215, 615));
    imgLink1->setCursor(Qt::PointingHandCursor);
    lblUsername = label(new QLabel(this), "lblUsername", QStringLiteral("Username:"),
                        twipRect(120, 840, 975, 255));
    txtUsername = box("txtUsername", twipRect(285, 1170, 1355, 270));
    lblPassword = label(new QLabel(this), "lblPassword", QStringLiteral("Password:"),
                        twipRect(120, 1560, 975, 255));
    txtPassword = box("txtPassword", twipRect(285, 1890, 1355, 270));
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;")); // "*"
    lblDelayTime = label(new QLabel(this), "lblDelayTime", QStringLiteral("Interval:"),
                         twipRect(120, 2370, 630, 195));
    txtDelayTime = box("txtDelayTime", twipRect(840, 2325, 795, 270));
    delayLimit_ = new DelayTimeValidator(txtDelayTime);
    txtDelayTime->setValidator(delayLimit_);

    chkLogging = option("chkLogging", 120, 2650, false);
    lblLogging = label(new ClickLabel(this), "lblLogging", QStringLiteral("Logging"),
                       twipRect(360, 2655, 555, 195));
    chkStartImmediately = option("chkStartImmediately", 120, 2935, true);
    lblStartImmediately =
        label(new ClickLabel(this), "lblStartImmediately", QStringLiteral("Start Immediately"),
              twipRect(360, 2935, 1275, 195));
    chkNameServers = option("chkNameServers", 120, 3220, true);
    lblNameServers = label(new ClickLabel(this), "lblNameServers",
                           QStringLiteral("Custom Nameservers"), twipRect(360, 3225, 1530, 195));

    lblStartTime = label(new QLabel(this), "lblStartTime", QStringLiteral("Start Time:"),
                         twipRect(120, 3480, 975, 255));
    txtStartTime = box("txtStartTime", twipRect(285, 3810, 1355, 270));
    lblEndTime = label(new QLabel(this), "lblEndTime", QStringLiteral("End Time:"),
                       twipRect(120, 4200, 975, 255));
    txtEndTime = box("txtEndTime", twipRect(285, 4530, 1355, 270));

    lblDomains = label(new QLabel(this), "lblDomains", QStringLiteral("Domains:"),
                       twipRect(1920, 840, 660, 195));
    txtDomains = new ListBox(this);
    txtDomains->setObjectName(QStringLiteral("txtDomains"));
    txtDomains->setGeometry(twipRect(2040, 1170, 2295, 3630));
    txtDomains->setFont(tahoma(9.75));
    auto* shpDomains = new FrameRect(kFrameRed, this);
    shpDomains->setObjectName(QStringLiteral("shpDomains"));
    shpDomains->setGeometry(txtDomains->geometry().adjusted(-px(45), -px(45), px(45), px(45)));

    lblSubmissionsLbl =
        label(new QLabel(this), "lblSubmissionsLbl", QStringLiteral("Total Number of Submissions:"),
              twipRect(120, 5000, 2175, 255));
    lblSubmissions = label(new QLabel(this), "lblSubmissions", QStringLiteral("0"),
                           twipRect(2280, 5000, 2055, 255));

    cmdStart = new QPushButton(QStringLiteral("Start"), this);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    cmdStart->setGeometry(twipRect(1590, 5280, 735, 255));
    cmdSettings = new QPushButton(QStringLiteral("Settings"), this);
    cmdSettings->setObjectName(QStringLiteral("cmdSettings"));
    cmdSettings->setGeometry(twipRect(2430, 5280, 735, 255));
    imgLink2 = label(new QLabel(this), "imgLink2", QString(), twipRect(3240, 5430, 1095, 300));
    // Left of Start, as far from it as Settings is on its right.
    cmdStatus = new QPushButton(QStringLiteral("Status"), this);
    cmdStatus->setObjectName(QStringLiteral("cmdStatus"));
    cmdStatus->setGeometry(twipRect(750, 5280, 735, 255));

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
    for (const auto& [caption, box] : options)
        connect(caption, &ClickLabel::clicked, box, [box] { box->setChecked(!box->isChecked()); });
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
    setDelayText(f.delayTime);
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
    for (const QPointer<frmError>& w : std::as_const(errorWindows_)) {
        if (w) {
            w->hide();
            w->deleteLater();
        }
    }
    errorWindows_.clear();
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

void frmMain::setDelayText(const QString& text) {
    const bool wasProgramSet = delayLimit_->programSet;
    delayLimit_->programSet = true;
    txtDelayTime->setText(text);
    delayLimit_->programSet = wasProgramSet;
}

void frmMain::txtDelayTime_Change() {
    const QString text = txtDelayTime->text();
    delayLimit_->previous = text;
    const IntervalCheck verdict = checkIntervalText(text, txtDelayTime->property("Tag").toString());
    if (verdict.outcome == IntervalCheck::Accept) {
        txtDelayTime->setProperty("Tag", verdict.text);
        return;
    }
    if (verdict.outcome == IntervalCheck::RangeMessage)
        prompter_.notice(QString::fromLatin1(kIntervalRangeMessage));
    // The cursor goes back to where the refused edit was made.
    const int cursor = txtDelayTime->cursorPosition() - int(text.size() - verdict.text.size());
    setDelayText(verdict.text); // accepted when checked again: it was accepted before
    txtDelayTime->setCursorPosition(std::clamp(cursor, 0, int(verdict.text.size())));
    if (verdict.outcome == IntervalCheck::Beep)
        prompter_.beep();
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
    errorWindows_.removeAll(nullptr);
    // A registrar that keeps failing a name would otherwise open a window for it at
    // every interval: the job's open window takes the error instead.
    const std::shared_ptr<DomainJob> job = report.job.lock();
    if (job) {
        const QPointer<frmError> open = errorWindowOfJob_.value(job.get());
        if (open && open->isVisible() && open->job() == job) {
            open->repeat(report);
            return;
        }
    }
    auto* window = new frmError(
        report,
        [this](const ServerErrorReport& r) {
            if (run_)
                run_->stopCurrent(r);
        },
        [this] {
            if (run_)
                run_->stopAll();
        });
    errorWindows_.append(window);
    if (job) {
        // Closed windows leave null entries behind; they go when the next one opens.
        errorWindowOfJob_.removeIf([](const auto& entry) { return entry.value().isNull(); });
        errorWindowOfJob_.insert(job.get(), window);
    }
    // Shown beside what the user is doing, never in its way: the window takes no
    // keyboard, so a key meant for another window cannot stop the run.
    window->show();
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
    QList<frmError*> open;
    for (const QPointer<frmError>& w : errorWindows_)
        if (w && w->isVisible())
            open.append(w.data());
    return open;
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
