// The runner of --on-order and --on-stop commands: bounded, and nothing left behind.

#include "CommandRunner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace drovane::cli;
using namespace Qt::StringLiterals;

class tst_commandrunner : public QObject {
    Q_OBJECT

    // Alive, and not a zombie waiting for whoever reaps orphans here.
    static bool alive(pid_t pid) {
        if (::kill(pid, 0) != 0)
            return false;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        return !stat.open(QIODevice::ReadOnly) || !stat.readAll().contains(") Z ");
    }

    static int lines(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
    }

private slots:
    // Commands that hang: at most four run, the rest wait their turn, and each waiting
    // one runs once a running one ends.
    void atMostFourRunAtOnce() {
        QTemporaryDir dir;
        const QString started = dir.filePath(u"started"_s);
        const QString release = dir.filePath(u"release"_s);
        CommandRunner runner;
        for (int i = 0; i < 6; ++i)
            runner.run(QStringLiteral("--on-order"),
                       QStringLiteral("echo %1 >> %2; while [ ! -e %3 ]; do sleep 0.02; done")
                           .arg(i)
                           .arg(started, release),
                       QProcessEnvironment::systemEnvironment());
        QTRY_COMPARE_WITH_TIMEOUT(lines(started), CommandRunner::kMaxRunning, 10000);
        QCOMPARE(runner.runningCount(), CommandRunner::kMaxRunning);
        QCOMPARE(runner.waitingCount(), 2);
        QVERIFY(QFile(release).open(QIODevice::WriteOnly));
        runner.finish(10000);
        QCOMPARE(lines(started), 6);
        QCOMPARE(runner.runningCount(), 0);
    }

    // At the end, a command still running is stopped with everything it started.
    void theEndStopsWhatIsLeft() {
        QTemporaryDir dir;
        const QString child = dir.filePath(u"child"_s);
        CommandRunner runner;
        runner.run(QStringLiteral("--on-stop"),
                   QStringLiteral("sleep 60 & echo $! > %1; wait").arg(child),
                   QProcessEnvironment::systemEnvironment());
        QTRY_VERIFY_WITH_TIMEOUT(lines(child) == 1, 10000);
        QElapsedTimer took;
        took.start();
        runner.finish(200);
        QVERIFY(took.elapsed() < 5000);
        QFile f(child);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const pid_t pid = pid_t(f.readAll().trimmed().toLongLong());
        QVERIFY(pid > 0);
        // The sleep was in the command's session: it went with it.
        QTRY_VERIFY_WITH_TIMEOUT(!alive(pid), 5000);
    }
};

QTEST_GUILESS_MAIN(tst_commandrunner)
#include "tst_commandrunner.moc"
