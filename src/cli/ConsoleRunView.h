#pragma once

#include "CommandLine.h"
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

    // The line printed for a reply, plain or JSON.
    static QString replyLine(const ReplyEvent& event, bool json);

private:
    void runOrderCommand(const ReplyEvent& event) const;

    SettingsStore& store_;
    Prompter& prompter_;
    const Invocation& invocation_;
    // The fields of the run under way, as it took them over at its start.
    mutable MainFields running_;
    bool started_ = false;
};

} // namespace drovane::cli
