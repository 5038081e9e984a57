#pragma once

#include <QList>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>

class QEventLoop;
class QProcess;

namespace drovane::cli {

// Runs the user's --on-order and --on-stop commands through /bin/sh, beside the run and
// never in its way. A command's input, output and errors go to /dev/null (a command that
// wants them kept redirects them itself), so it can neither write into the run's output
// nor hold the run's pipes open after it ends. Each runs in a session of its own; at most
// kMaxRunning run at once and the rest wait their turn; one that takes longer than
// kTimeLimitMs is stopped with everything it started.
class CommandRunner : public QObject {
public:
    static constexpr int kMaxRunning = 4;
    static constexpr int kMaxWaiting = 64;
    static constexpr int kTimeLimitMs = 60000;
    // At the program's end, how long it waits for the commands still running or waiting.
    static constexpr int kEndWaitMs = 10000;

    explicit CommandRunner(QObject* parent = nullptr);
    ~CommandRunner() override;

    // `option` names the command in messages on stderr ("--on-order").
    void run(const QString& option, const QString& command, const QProcessEnvironment& env);
    // Lets what is running or waiting finish, up to `waitMs`; then stops what is left.
    void finish(int waitMs = kEndWaitMs);

    int runningCount() const { return int(running_.size()); }
    int waitingCount() const { return int(waiting_.size()); }

private:
    struct Job {
        QString option;
        QString command;
        QProcessEnvironment env;
    };
    void start(const Job& job);
    void ended(QProcess* process);
    void stopGroup(QProcess* process);

    QList<Job> waiting_;
    QList<QProcess*> running_;
    QEventLoop* idle_ = nullptr; // finish() waiting
};

} // namespace drovane::cli
