#pragma once

#include "core/settings/SettingsStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <ctime>

namespace drovane::bench {

// CPU time of the calling thread, in nanoseconds.
inline qint64 threadCpuNs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// CPU time of a running process, all its threads, in nanoseconds (the scheduler's own
// count, finer than the clock ticks of /proc/PID/stat); -1 when it is gone.
inline qint64 processCpuNs(qint64 pid) {
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    if (!tasks.exists())
        return -1;
    qint64 sum = 0;
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + QLatin1String("/schedstat")));
        if (stat.open(QIODevice::ReadOnly))
            sum += stat.readAll().split(' ').value(0).toLongLong();
    }
    return sum;
}

// The names a client of the timing stand-ins asks for, as the main window lists them:
// `tag` names the client, then the slot, then "f0" (free) or "n1".."n3" (taken).
inline QString standInList(char tag) {
    QStringList lines;
    for (const char* name : {"f0", "n1", "n2", "n3"})
        for (int slot = 1; slot <= 2; ++slot)
            lines.append(QStringLiteral("%1%2%3.com")
                             .arg(QLatin1Char(tag))
                             .arg(slot)
                             .arg(QLatin1String(name)));
    return lines.join(QLatin1String("\r\n"));
}

// drovane-cli, or the window started offscreen with Start clicked (drovane_desktop_run),
// as a user runs it: its own process and files (interval 0.5, buying at once, every name
// of standInList), with a stand-in as its registrar.
class ProgramRun {
public:
    enum Face { Cli, Window };
    // `startInS` > 0: a scheduled run whose start time is that many seconds ahead.
    ProgramRun(Face face, const QString& program, quint16 port, bool secure, char tag,
               const QString& caFile, int startInS = 0) {
        SettingsStore store(dir_.path());
        MainFields f;
        f.username = QStringLiteral("reseller");
        f.password = QStringLiteral("secret");
        f.delayTime = QStringLiteral("0.5");
        f.domains = standInList(tag);
        if (startInS > 0) {
            const QDateTime at = QDateTime::currentDateTime().addSecs(startInS);
            f.startImmediately = 0;
            f.startTime = at.time().toString(QStringLiteral("H:mm:ss"));
            f.endTime = at.addSecs(60).time().toString(QStringLiteral("H:mm:ss"));
        }
        Options options;
        options.secure = secure;
        options.buyAtOnce = true;
        store.setOptions(options);
        ok_ = store.WriteSettings(f).ok;
        process_.setProgram(program);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (face == Cli) {
            process_.setArguments({QStringLiteral("run"), QStringLiteral("--yes"),
                                   QStringLiteral("--folder"), dir_.path(),
                                   QStringLiteral("--registrar"),
                                   QStringLiteral("127.0.0.1:%1").arg(port)});
        } else {
            process_.setArguments({dir_.path(), QString::number(port)});
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.path());
        }
        if (!caFile.isEmpty())
            env.insert(QStringLiteral("SSL_CERT_FILE"), caFile);
        process_.setProcessEnvironment(env);
        // A service's lines go to the journal; here they go nowhere.
        process_.setStandardOutputFile(QProcess::nullDevice());
    }
    ~ProgramRun() { stop(); }

    bool start() {
        if (!ok_)
            return false;
        process_.start();
        return process_.waitForStarted(5000);
    }
    qint64 cpuNs() const { return processCpuNs(process_.processId()); }
    // Ends it as a service manager does; returns its exit code, or -1.
    int stop() {
        if (process_.state() == QProcess::NotRunning)
            return process_.exitCode();
        ::kill(pid_t(process_.processId()), SIGTERM);
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
            return -1;
        }
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    QByteArray errors() { return process_.readAllStandardError(); }

private:
    QTemporaryDir dir_;
    QProcess process_;
    bool ok_ = false;
};

} // namespace drovane::bench
