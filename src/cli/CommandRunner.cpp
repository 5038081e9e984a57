#include "CommandRunner.h"

#include "ConsolePrompter.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QVariant>

#include <csignal>
#include <unistd.h>

namespace drovane::cli {

CommandRunner::CommandRunner(QObject* parent) : QObject(parent) {}

CommandRunner::~CommandRunner() {
    // Whatever finish() left behind goes with its whole session.
    for (QProcess* p : std::as_const(running_)) {
        p->disconnect(this);
        stopGroup(p);
        p->waitForFinished(1000);
        delete p;
    }
}

void CommandRunner::run(const QString& option, const QString& command,
                        const QProcessEnvironment& env) {
    if (running_.size() < kMaxRunning) {
        start({option, command, env});
        return;
    }
    if (waiting_.size() >= kMaxWaiting) {
        printError(QStringLiteral("%1: %2 commands are waiting already; this one is not run")
                       .arg(option)
                       .arg(waiting_.size()));
        return;
    }
    waiting_.append({option, command, env});
}

void CommandRunner::start(const Job& job) {
    auto* process = new QProcess(this);
    process->setProperty("option", job.option);
    process->setProgram(QStringLiteral("/bin/sh"));
    process->setArguments({QStringLiteral("-c"), job.command});
    process->setProcessEnvironment(job.env);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // A session of its own: a terminal's Ctrl-C for the run does not reach it, and it can be
    // stopped with everything it started.
    process->setChildProcessModifier([] { ::setsid(); });
    auto* limit = new QTimer(process);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, this, [this, process, job] {
        printError(QStringLiteral("%1: the command did not end within %2 s and was stopped")
                       .arg(job.option)
                       .arg(kTimeLimitMs / 1000));
        stopGroup(process);
    });
    connect(process, &QProcess::finished, this, [this, process] { ended(process); });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, job](QProcess::ProcessError e) {
                if (e != QProcess::FailedToStart)
                    return;
                printError(QStringLiteral("%1: the command could not be started: %2")
                               .arg(job.option, process->errorString()));
                ended(process);
            });
    running_.append(process);
    process->start();
    limit->start(kTimeLimitMs);
}

void CommandRunner::ended(QProcess* process) {
    if (!running_.removeOne(process))
        return;
    process->disconnect(this);
    process->deleteLater();
    while (running_.size() < kMaxRunning && !waiting_.isEmpty())
        start(waiting_.takeFirst());
    if (idle_ && running_.isEmpty() && waiting_.isEmpty())
        idle_->quit();
}

void CommandRunner::stopGroup(QProcess* process) {
    const qint64 pid = process->processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
    process->kill();
}

void CommandRunner::finish(int waitMs) {
    if (!running_.isEmpty() || !waiting_.isEmpty()) {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(waitMs);
        idle_ = &loop; // ended() quits it once nothing is left
        loop.exec();
        idle_ = nullptr;
    }
    if (!waiting_.isEmpty())
        printError(QStringLiteral("%1: %2 commands were still waiting at the end and were not run")
                       .arg(waiting_.first().option)
                       .arg(waiting_.size()));
    waiting_.clear();
    for (QProcess* p : std::as_const(running_)) {
        printError(QStringLiteral("%1: the command was still running at the end and was stopped")
                       .arg(p->property("option").toString()));
        p->disconnect(this);
        stopGroup(p);
        p->waitForFinished(1000);
        delete p;
    }
    running_.clear();
}

} // namespace drovane::cli
