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
using namespace Qt::StringLiterals;

class tst_folderowner : public QObject {
    Q_OBJECT

    static void prepare(const QString& folder) {
        QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"username"_s, u"reseller"_s}),
                 0);
        QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"password"_s}, "secret\n"), 0);
        QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"interval"_s, u"1"_s}), 0);
        QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"secure"_s, u"false"_s}), 0);
        QCOMPARE(CliProcess::run(folder, {u"domains"_s, u"add"_s, u"prize.com"_s}), 0);
    }
    static QStringList runArgs(const LoopbackRegistrar& registrar) {
        return {u"run"_s, u"--registrar"_s, u"127.0.0.1:%1"_s.arg(registrar.port())};
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
        QVERIFY2(second.err.contains(holder), second.err.constData());
        // The first run's pace alone: one request a second at most.
        QVERIFY(registrar.requests.size() - before <= 3);

        // A SIGKILL leaves no chance to unlock: the next run takes the folder over.
        ::kill(pid_t(first.process.processId()), SIGKILL);
        QVERIFY(first.process.waitForFinished(5000));
        CliProcess third(dir.path());
        third.start(runArgs(registrar));
        QVERIFY2(third.waitFor([&] { return !third.lines().isEmpty(); }), third.err.constData());
        third.process.terminate();
        QCOMPARE(third.exitCode(), 0);
    }

    void parallelAddsAllSurvive() {
        QTemporaryDir dir;
        constexpr int kEach = 40;
        // Two loops of adds, as two shells would run them, side by side.
        auto loop = [&](const QString& prefix) {
            auto* sh = new QProcess(this);
            sh->setProgram(u"/bin/sh"_s);
            sh->setArguments(
                {u"-c"_s, QStringLiteral("i=0; while [ $i -lt %1 ]; do \"%2\" --folder \"%3\" "
                                         "domains add %4$i.com || exit 1; i=$((i+1)); done")
                              .arg(kEach)
                              .arg(QStringLiteral(DROVANE_CLI_PATH), dir.path(), prefix)});
            sh->start();
            return sh;
        };
        QProcess* a = loop(u"a"_s);
        QProcess* b = loop(u"b"_s);
        QVERIFY(a->waitForFinished(60000) && b->waitForFinished(60000));
        QCOMPARE(a->exitCode(), 0);
        QCOMPARE(b->exitCode(), 0);
        QByteArray out;
        QCOMPARE(CliProcess::run(dir.path(), {u"domains"_s, u"list"_s}, {}, &out), 0);
        QCOMPARE(out.count('\n'), 2 * kEach);
    }

    void openWindowKeepsEditsOut() {
        QTemporaryDir dir;
        QCOMPARE(CliProcess::run(dir.path(), {u"domains"_s, u"add"_s, u"before.com"_s}), 0);
        {
            // What the window holds while it is open.
            const LockAttempt window = FolderLockFile(dir.path()).take(FolderRole::Window);
            QVERIFY(window);
            QByteArray err;
            QCOMPARE(CliProcess::run(dir.path(), {u"domains"_s, u"add"_s, u"from-cli.com"_s}, {},
                                     nullptr, &err),
                     6);
            QVERIFY2(err.contains("open in the Drovane window"), err.constData());
            QCOMPARE(CliProcess::run(dir.path(), {u"settings"_s, u"set"_s, u"city"_s, u"CliTown"_s},
                                     {}, nullptr, &err),
                     6);
            // Reading is no edit.
            QByteArray out;
            QCOMPARE(CliProcess::run(dir.path(), {u"domains"_s, u"list"_s}, {}, &out), 0);
            QCOMPARE(out, QByteArray("before.com\n"));
        }
        QCOMPARE(CliProcess::run(dir.path(), {u"domains"_s, u"add"_s, u"from-cli.com"_s}), 0);
    }
};

QTEST_GUILESS_MAIN(tst_folderowner)
#include "tst_folderowner.moc"
