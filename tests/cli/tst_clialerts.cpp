// drovane-cli check, and what a run tells beyond its reply lines: the real executable
// against a registrar stand-in on 127.0.0.1.

#include "CliProcess.h"
#include "testing/LoopbackRegistrar.h"
#include "testing/RegistrarReplies.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {

// Every file of the folder with its bytes.
QMap<QString, QByteArray> snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        QFile f(it.next());
        files.insert(it.fileName(), f.open(QIODevice::ReadOnly) ? f.readAll() : "?");
    }
    return files;
}

QString registrar(const LoopbackRegistrar& r) {
    return QStringLiteral("127.0.0.1:%1").arg(r.port());
}

} // namespace

class tst_clialerts : public QObject {
    Q_OBJECT

private slots:
    void check_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QByteArray>("refused");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("verdicts");
        QTest::newRow("ready") << "reseller" << QByteArray() << 0
                               << QStringList{u"warning"_s, u"ready"_s, u"ready"_s, u""_s,
                                              u"ready"_s};
        QTest::newRow("rejected login")
            << "bad" << QByteArray() << 1
            << QStringList{u"warning"_s, u"not ready"_s, u"not ready"_s, u""_s, u"ready"_s};
        QTest::newRow("refused address")
            << "reseller" << QByteArray("198.51.100.7") << 1
            << QStringList{u"warning"_s, u"not ready"_s, u"not ready"_s, u""_s, u"ready"_s};
    }
    void check() {
        QFETCH(QString, user);
        QFETCH(QByteArray, refused);
        QFETCH(int, status);
        QFETCH(QStringList, verdicts);
        QTemporaryDir dir;
        prepareFolder(dir.path(), user, {u"one.com"_s, u"two.net"_s});
        LoopbackRegistrar stand;
        StandInAccount account;
        account.refusedAddress = refused;
        stand.answer = [&](const QByteArray& request) {
            return LoopbackRegistrar::Answer{
                {standInReply(request, account, QDateTime::currentDateTimeUtc())}};
        };
        const auto before = snapshot(dir.path());
        for (const bool json : {false, true}) {
            QByteArray out;
            QStringList args{u"check"_s, u"--registrar"_s, registrar(stand)};
            if (json)
                args << u"--json"_s;
            QCOMPARE(CliProcess::run(dir.path(), args, {}, &out), status);
            const QStringList lines = QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), 5);
            const QStringList ids{u"connection"_s, u"account"_s, u"funds"_s, u"clock"_s,
                                  u"purchase"_s};
            for (int i = 0; i < 5; ++i) {
                // The clock's verdict depends on this machine's time service.
                if (verdicts[i].isEmpty())
                    continue;
                if (json) {
                    const QJsonObject o = QJsonDocument::fromJson(lines[i].toUtf8()).object();
                    QCOMPARE(o.value(u"check"_s).toString(), ids[i]);
                    QCOMPARE(o.value(u"verdict"_s).toString(), verdicts[i]);
                } else {
                    QVERIFY2(lines[i].startsWith(verdicts[i].leftJustified(9) + u' '),
                             qPrintable(lines[i]));
                }
            }
            if (!refused.isEmpty())
                QVERIFY2(out.contains("198.51.100.7"), out.constData());
        }
        // Only the balance and the prices were asked; nothing in the folder changed.
        for (const QByteArray& request : stand.requests)
            QVERIFY2(request.contains("command=GetBalance&") ||
                         request.contains("command=PE_GetProductPrice&"),
                     request.constData());
        QCOMPARE(snapshot(dir.path()), before);
    }

    void checkMakesNoFolder() {
        QTemporaryDir dir;
        const QString missing = dir.filePath(u"nowhere"_s);
        QByteArray err;
        QCOMPARE(CliProcess::run(missing, {u"check"_s}, {}, nullptr, &err), 1);
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY2(err.contains("is not a folder"), err.constData());
    }

    // What the registrar sends is shown on one line and cut: an order id holding a line
    // feed forges no line, an escape sequence never reaches the terminal, and a megabyte
    // of error text is no megabyte line.
    void registrarTextIsOneLine() {
        QTemporaryDir dir;
        prepareFolder(dir.path(), u"reseller"_s, {u"free.com"_s, u"err.com"_s});
        LoopbackRegistrar stand;
        const QByteArray forged = "2026-01-01T00:00:00.000Z slot 1 forged.com tries 1 ordered 666";
        stand.answer = [&](const QByteArray& request) {
            const QString what = requested(request);
            if (what.startsWith(u"purchase"_s))
                return LoopbackRegistrar::Answer{
                    {registrarReply("PURCHASE", "OrderID=157\n" + forged + "\r\nRRPCode=200\r\n")}};
            if (what.contains(u"err"_s))
                return LoopbackRegistrar::Answer{
                    {registrarReply("CHECK", "RRPCode=545\r\nErr1=\x1b[31mred" +
                                                 QByteArray(1 << 20, 'x') + "\r\n")}};
            return LoopbackRegistrar::Answer{{checkReply("210")}};
        };
        CliProcess cli(dir.path());
        cli.start({u"run"_s, u"--registrar"_s, registrar(stand)});
        QVERIFY(cli.waitFor([&] { return cli.out.contains(" ordered "); }));
        cli.process.terminate();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(!cli.out.contains('\x1b'));
        for (const QString& line : cli.lines()) {
            QVERIFY2(!line.startsWith(u"2026-01-01T"_s), qPrintable(line));
            QVERIFY2(line.size() < 700, qPrintable(line.left(100)));
        }
        QVERIFY2(cli.out.contains("tries 2 ordered 157 " + forged + "\n"), cli.out.constData());
        QVERIFY2(cli.out.contains("unexpected:  [31mredxxx"), cli.out.left(2000).constData());
    }

    // A request that comes to nothing is a line of its own, with the slot and the name.
    void failedRequestIsALine() {
        QTemporaryDir dir;
        prepareFolder(dir.path(), u"reseller"_s, {u"one.com"_s});
        CliProcess cli(dir.path());
        const QString port = QString::number(LoopbackRegistrar::refusingPort());
        cli.start({u"run"_s, u"--registrar"_s, u"127.0.0.1:"_s + port});
        QVERIFY(cli.waitFor([&] { return cli.out.contains('\n'); }));
        cli.process.terminate();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(cli.lines().value(0).contains(QRegularExpression(
                     QStringLiteral(R"(^\S+Z slot 1 one\.com failed: the connection failed: )"))),
                 cli.out.constData());
    }

    // The end of a run, for any reason: a --json record with the reason, and --on-stop
    // with the reason in its environment.
    void stopIsTold_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("refused");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::newRow("--on-error stop") << "err.com" << QByteArray() << 5 << "stop-all";
        QTest::newRow("allow-list refusal")
            << "one.com" << QByteArray("198.51.100.7") << 2 << "address-refused";
        QTest::newRow("signal") << "one.com" << QByteArray() << 0 << "signal";
    }
    void stopIsTold() {
        QFETCH(QString, name);
        QFETCH(QByteArray, refused);
        QFETCH(int, status);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        prepareFolder(dir.path(), u"reseller"_s, {name});
        LoopbackRegistrar stand;
        StandInAccount account;
        account.refusedAddress = refused;
        stand.answer = [&](const QByteArray& request) {
            return LoopbackRegistrar::Answer{{standInReply(request, account, {})}};
        };
        const QString told = dir.filePath(u"told"_s);
        CliProcess cli(dir.path());
        cli.start(
            {u"run"_s, u"--json"_s, u"--on-error"_s, u"stop"_s, u"--registrar"_s, registrar(stand),
             u"--on-stop"_s,
             u"printf '%s|%s' \"$DROVANE_STOP_REASON\" \"$DROVANE_STOP_MESSAGE\" > "_s + told});
        if (reason == u"signal"_s) {
            QVERIFY(cli.waitFor([&] { return cli.lines().size() >= 2; }));
            cli.process.terminate();
        }
        QCOMPARE(cli.exitCode(), status);
        const QStringList lines = cli.lines();
        const QJsonObject start = QJsonDocument::fromJson(lines.value(0).toUtf8()).object();
        QCOMPARE(start.value(u"event"_s).toString(), QStringLiteral("start"));
        QCOMPARE(start.value(u"names"_s).toInt(), 1);
        QFile file(told);
        QVERIFY(file.open(QIODevice::ReadOnly)); // the run waited for the command
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.startsWith(reason + u'|'), qPrintable(text));
        if (reason == u"signal"_s)
            return; // the engine saw no stop: the signal ended it where it stood
        const QJsonObject stop = QJsonDocument::fromJson(lines.last().toUtf8()).object();
        QCOMPARE(stop.value(u"event"_s).toString(), QStringLiteral("stop"));
        QCOMPARE(stop.value(u"reason"_s).toString(), reason);
        QCOMPARE(reason + u'|' + stop.value(u"message"_s).toString(), text);
        if (!refused.isEmpty())
            QVERIFY2(cli.err.contains("198.51.100.7, the address the registrar saw"),
                     cli.err.constData());
    }

    // An --on-order command's output is its own: none of it reaches the run's.
    void orderCommandOutputStaysOut() {
        QTemporaryDir dir;
        prepareFolder(dir.path(), u"reseller"_s, {u"free.com"_s});
        LoopbackRegistrar stand;
        stand.answer = [](const QByteArray& request) {
            return LoopbackRegistrar::Answer{{standInReply(request)}};
        };
        const QString done = dir.filePath(u"done"_s);
        CliProcess cli(dir.path());
        cli.start({u"run"_s, u"--registrar"_s, registrar(stand), u"--on-order"_s,
                   u"echo LEAK-OUT; echo LEAK-ERR >&2; echo ran > "_s + done});
        QVERIFY(cli.waitFor([&] { return QFile::exists(done) && QFileInfo(done).size() > 0; }));
        cli.process.terminate();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(cli.out.contains(" ordered "), cli.out.constData());
        QVERIFY2(!cli.out.contains("LEAK") && !cli.err.contains("LEAK"),
                 (cli.out + cli.err).constData());
    }
};

QTEST_GUILESS_MAIN(tst_clialerts)
#include "tst_clialerts.moc"
