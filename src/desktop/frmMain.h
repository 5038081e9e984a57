#pragma once

#include "ErrorWindows.h"
#include "OrderNotifier.h"
#include "core/run/RunController.h"
#include "core/run/RunStatus.h"
#include "core/run/RunView.h"
#include "frmCheck.h"
#include "frmSettings.h"
#include "frmStatus.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace drovane {

class ClickLabel;
class IntervalBox;
class ListBox;

// The main window: the user's input, the Start/Stop and Settings buttons and the
// submission count. It owns the run engine and is the view the engine drives.
class frmMain : public QWidget, public RunView, public SettingsWindowHost {
    Q_OBJECT
public:
    // Loading runs at once: the window comes up filled from the store's folder.
    // endProgram is what closing the window finally does (the application quits).
    frmMain(SettingsStore& store, Platform& platform, Prompter& prompter,
            const QStringList& colLegalTypes, const QString& registrarHost,
            std::function<void()> endProgram, QWidget* parent = nullptr);
    ~frmMain() override;

    // The end a signal or a logout asks for: saves without asking anybody (a failure
    // goes to stderr with its reason) and ends the program, even while a message box
    // of this window is open.
    void endAtSystemRequest();

    const QString strHost;
    bool logging() const { return logging_; }
    RunController& runController() { return *run_; }
    frmSettings* settingsWindow() const { return settingsWindow_; }
    frmStatus* statusWindow() const { return statusWindow_; }
    frmCheck* checkWindow() const { return checkWindow_; }
    const RunStatus& runStatus() const { return runStatus_; }
    // Who tells the user of an order; none by default. Not owned.
    void setOrderNotifier(OrderNotifier* notifier) { notifier_ = notifier; }
    QList<frmError*> errorWindows() const;

    void DoStart();

    // RunView
    MainFields fields() const override;
    QString caption() const override;
    QString delayText() const override;
    QString startTimeText() const override;
    QString endTimeText() const override;
    bool nameServersChecked() const override;
    bool loggingChecked() const override { return logging_; }
    void setDomainsText(const QString& crlfText) override;
    void closeSettingsWindow() override;
    void showRunState(bool running, bool startImmediately) override;
    void showSubmissions(qint32 count) override;
    void showServerError(const ServerErrorReport& report) override;
    void showReply(const ReplyEvent& event) override;
    void showRunStopped(StopReason reason, const QString& why) override;
    void showAtRisk(const QString& text) override;

    // SettingsWindowHost
    void uncheckNameServers() override;
    bool mainWindowVisible() const override { return isVisible(); }
    void focusMainWindow() override;
    MainFields mainFields() const override { return fields(); }
    void checkSetup(const SettingsArray& settings, const Options& options) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
    // The controls' pointers, from what the control table built.
    void takeControls();
    // Captions, accessible names and the tab order.
    void describeControls();
    void connectControls();
    void Form_Load();
    // Asks, once, whether a clear-text password moves into the system keyring.
    void offerKeyringMove();
    // Saves; when that fails, asks whether to close anyway. True lets the window close.
    bool Form_QueryUnload();
    void Form_Unload();
    void cmdStart_Click();
    void cmdSettings_Click();
    void cmdStatus_Click();
    void imgLink1_Click();
    void chkLogging_Change();
    void chkStartImmediately_Change();
    void chkNameServers_Change();
    void txtDelayTime_Change();
    void lockTimeFields(bool locked);

    SettingsStore& store_;
    Platform& platform_;
    Prompter& prompter_;
    const QStringList& legalTypes_;
    std::function<void()> endProgram_;
    RunStatus runStatus_; // outlives the run, which updates it
    std::unique_ptr<RunController> run_;
    OrderNotifier* notifier_ = nullptr;
    bool logging_ = false;
    bool unloaded_ = false;
    QPointer<frmSettings> settingsWindow_;
    QPointer<frmStatus> statusWindow_;
    QPointer<frmCheck> checkWindow_;
    ErrorWindows errors_; // after run_, so they go first: their buttons reach into the run
    QPixmap background_;

    ClickLabel* imgLink1 = nullptr;
    QLabel* lblUsername = nullptr;
    QLineEdit* txtUsername = nullptr;
    QLabel* lblPassword = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLabel* lblDelayTime = nullptr;
    QLineEdit* txtDelayTime = nullptr;
    std::unique_ptr<IntervalBox> interval_;
    QCheckBox* chkLogging = nullptr;
    ClickLabel* lblLogging = nullptr;
    QCheckBox* chkStartImmediately = nullptr;
    ClickLabel* lblStartImmediately = nullptr;
    QCheckBox* chkNameServers = nullptr;
    ClickLabel* lblNameServers = nullptr;
    QLabel* lblStartTime = nullptr;
    QLineEdit* txtStartTime = nullptr;
    QLabel* lblEndTime = nullptr;
    QLineEdit* txtEndTime = nullptr;
    QLabel* lblDomains = nullptr;
    ListBox* txtDomains = nullptr;
    QLabel* lblSubmissionsLbl = nullptr;
    QLabel* lblSubmissions = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdSettings = nullptr;
    QPushButton* cmdStatus = nullptr;
    QLabel* imgLink2 = nullptr;
};

} // namespace drovane
