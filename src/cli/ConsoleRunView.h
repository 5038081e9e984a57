#pragma once

#include "CommandLine.h"
#include "CommandRunner.h"
#include "core/run/RunView.h"
#include "core/settings/SettingsStore.h"

#include <functional>

namespace drovane {
class Prompter;
}

namespace drovane::cli {

// The main window as the server runner has it: the saved files are its fields, and
// what the window would show of a run goes to stdout and stderr.
class ConsoleRunView : public RunView {
public:
    ConsoleRunView(SettingsStore& store, Prompter& prompter, const Invocation& invocation);

    // Called (later, from the event loop) with an unexpected reply's report when
    // --on-error asks for more than a line.
    std::function<void(const ServerErrorReport&)> onServerError;
    // Called when a run has stopped.
    std::function<void()> onStopped;
    // Called with every counted reply, printed or not.
    std::function<void(const ReplyEvent&)> onReply;

    // The files are read again for every call, so a run's saves write back what is on
    // disk: a `settings set` made while the service runs is never overwritten with
    // what the run read at its start.
    MainFields fields() const override;
    QString caption() const override;
    QString delayText() const override { return running_.delayTime; }
    QString startTimeText() const override { return running_.startTime; }
    QString endTimeText() const override { return running_.endTime; }
    bool nameServersChecked() const override { return running_.nameServers == 1; }
    bool loggingChecked() const override { return running_.logging == 1; }

    void setDomainsText(const QString& crlfText) override { running_.domains = crlfText; }
    void closeSettingsWindow() override {}
    void showRunState(bool running, bool startImmediately) override;
    void showSubmissions(qint32) override {}
    void showServerError(const ServerErrorReport& report) override;
    void showReply(const ReplyEvent& event) override;
    void showRunStopped(StopReason reason, const QString& why) override;
    void showSlotFailure(const SlotFailure& failure) override;
    void showAtRisk(const QString& text) override;
    void showSetupCheck(const QList<CheckLine>& lines) override;

    // Runs --on-stop, if given, for an end the engine did not see (a signal).
    void runStopCommand(const QString& reason, const QString& why);
    // The --on-order and --on-stop commands, to be let finish at the end.
    CommandRunner& commands() { return commands_; }

    // The line printed for a reply, plain or JSON. What the registrar sent is made one
    // line and cut in the plain format, so it can neither forge a line nor flood one.
    static QString replyLine(const ReplyEvent& event, bool json);
    // The line printed for a slot's failure, plain or JSON.
    static QString failureLine(const SlotFailure& failure, bool json);
    // A check's line as `drovane-cli check` prints it, plain or JSON.
    static QString checkLine(const CheckLine& line, bool json);

private:
    void runOrderCommand(const ReplyEvent& event);

    SettingsStore& store_;
    Prompter& prompter_;
    const Invocation& invocation_;
    // The fields of the run under way, as it took them over at its start.
    mutable MainFields running_;
    bool started_ = false;
    CommandRunner commands_;
};

} // namespace drovane::cli
