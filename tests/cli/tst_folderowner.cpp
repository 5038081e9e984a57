// One owner per folder, with real drovane-cli processes: a second run is refused before it
// sends anything, a killed run's lock is taken over, parallel edits lose nothing, and an
// open window keeps drovane-cli's edits out.

#include "CliProcess.h"
#include "core/platform/FolderLock.h"
#include "testing/LoopbackRegistrar.h"
#include "testing/RegistrarReplies.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace drovane;
using namespace drovane::test;

class tst_folderowner : public QObject {
    Q_OBJECT

    static void prepare(const QString& folder) {
        QCOMPARE(CliProcess::run(folder, {"settings", "set", "username", "reseller"}), 0);
        QCOMPARE(CliProcess::run(folder, {"settings", "set", "password"}, "secret\n"), 0);
        QCOMPARE(CliProcess::run(folder, {"settings", "set", "interval", "1"}), 0);
        QCOMPARE(CliProcess::run(folder, {"settings", "set", "secure", "false"}), 0);
        QCOMPARE(CliProcess::run(folder, {"domains", "add", "prize.com"}), 0);
    }
    static QStringList runArgs(const LoopbackRegistrar& registrar) {
        return {"run", "--registrar", QString("127.0.0.1:%1").arg(registrar.port())};
    }

private slots:
    void secondRunIsRefusedAndAKilledRunsLockIsTakenOver() {
        QTemporaryDir dir;
        prepare(dir.path());
        LoopbackRegistrar registrar;
        registrar.answer = [](const QByteArray&) {
            return LoopbackRegistrar::Answer{{checkReply("211")}};
        };
        CliProcess first(dir.path());
        first.start(runArgs(registrar));
        QVERIFY(first.waitFor([&] { return !first.lines().isEmpty(); }));

        const qsizetype before = registrar.requests.size();
        CliProcess second(dir.path());
        second.start(runArgs(registrar));
        QCOMPARE(second.exitCode(), 6);
        QCOMPARE(second.out, QByteArray());
        const QByteArray holder =
            "drovane-cli, process " + QByteArray::number(first.process.processId());
        QVERIFY2(second.err.contains(holder), second.err);
        // The first run's pace alone: one request a second at most.
        QVERIFY(registrar.requests.size() - before <= 3);

        // A SIGKILL leaves no chance to unlock: the next run takes the folder over.
        ::kill(pid_t(first.process.processId()), SIGKILL);
        QVERIFY(first.process.waitForFinished(5000));
        CliProcess third(dir.path());
        third.start(runArgs(registrar));
        QVERIFY2(third.waitFor([&] { return !third.lines().isEmpty(); }), third.err);
        third.process.terminate();
        QCOMPARE(third.exitCode(), 0);
    }

    void parallelAddsAllSurvive() {
        QTemporaryDir dir;
        constexpr int kEach = 40;
        // Two loops of adds, as two shells would run them, side by side.
        auto loop = [&](const QString& prefix) {
            auto* sh = new QProcess(this);
            sh->setProgram("/bin/sh");
            sh->setArguments({"-c", QString("i=0; while [ $i -lt %1 ]; do \"%2\" --folder \"%3\" "
                                            "domains add %4$i.com || exit 1; i=$((i+1)); done")
                                        .arg(kEach)
                                        .arg(DROVANE_CLI_PATH, dir.path(), prefix)});
            sh->start();
            return sh;
        };
        QProcess* a = loop("a");
        QProcess* b = loop("b");
        QVERIFY(a->waitForFinished(60000) && b->waitForFinished(60000));
        QCOMPARE(a->exitCode(), 0);
        QCOMPARE(b->exitCode(), 0);
        QByteArray out;
        QCOMPARE(CliProcess::run(dir.path(), {"domains", "list"}, {}, &out), 0);
        QCOMPARE(out.count('\n'), 2 * kEach);
    }

    void openWindowKeepsEditsOut() {
        QTemporaryDir dir;
        QCOMPARE(CliProcess::run(dir.path(), {"domains", "add", "before.com"}), 0);
        {
            // What the window holds while it is open.
            const LockAttempt window = FolderLockFile(dir.path()).take(FolderRole::Window);
            QVERIFY(window);
            QByteArray err;
            QCOMPARE(
                CliProcess::run(dir.path(), {"domains", "add", "from-cli.com"}, {}, nullptr, &err),
                6);
            QVERIFY2(err.contains("open in the Drovane window"), err);
            QCOMPARE(CliProcess::run(dir.path(), {"settings", "set", "city", "CliTown"}, {},
                                     nullptr, &err),
                     6);
            // Reading is no edit.
            QByteArray out;
            QCOMPARE(CliProcess::run(dir.path(), {"domains", "list"}, {}, &out), 0);
            QCOMPARE(out, QByteArray("before.com\n"));
        }
        QCOMPARE(CliProcess::run(dir.path(), {"domains", "add", "from-cli.com"}), 0);
    }
};

QTEST_GUILESS_MAIN(tst_folderowner)
#include "tst_folderowner.moc"
