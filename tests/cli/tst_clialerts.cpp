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

namespace {

// A folder with an account, interval 1, plain HTTP (the stand-in's), and the given list.
void prepare(const QString& folder, const QString& user, const QStringList& names) {
    QCOMPARE(CliProcess::run(folder, {"settings", "set", "username", user}), 0);
    QCOMPARE(CliProcess::run(folder, {"settings", "set", "password"}, "secret\n"), 0);
    QCOMPARE(CliProcess::run(folder, {"settings", "set", "interval", "1"}), 0);
    QCOMPARE(CliProcess::run(folder, {"settings", "set", "secure", "false"}), 0);
    if (!names.isEmpty())
        QCOMPARE(CliProcess::run(folder, QStringList{"domains", "add"} + names), 0);
}

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
                               << QStringList{"warning", "ready", "ready", "", "ready"};
        QTest::newRow("rejected login")
            << "bad" << QByteArray() << 1
            << QStringList{"warning", "not ready", "not ready", "", "ready"};
        QTest::newRow("refused address")
            << "reseller" << QByteArray("198.51.100.7") << 1
            << QStringList{"warning", "not ready", "not ready", "", "ready"};
    }
    void check() {
        QFETCH(QString, user);
        QFETCH(QByteArray, refused);
        QFETCH(int, status);
        QFETCH(QStringList, verdicts);
        QTemporaryDir dir;
        prepare(dir.path(), user, {"one.com", "two.net"});
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
            QStringList args{"check", "--registrar", registrar(stand)};
            if (json)
                args << "--json";
            QCOMPARE(CliProcess::run(dir.path(), args, {}, &out), status);
            const QStringList lines = QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts);
            QCOMPARE(lines.size(), 5);
            const QStringList ids{"connection", "account", "funds", "clock", "purchase"};
            for (int i = 0; i < 5; ++i) {
                // The clock's verdict depends on this machine's time service.
                if (verdicts[i].isEmpty())
                    continue;
                if (json) {
                    const QJsonObject o = QJsonDocument::fromJson(lines[i].toUtf8()).object();
                    QCOMPARE(o.value("check").toString(), ids[i]);
                    QCOMPARE(o.value("verdict").toString(), verdicts[i]);
                } else {
                    QVERIFY2(lines[i].startsWith(verdicts[i].leftJustified(9) + ' '),
                             qPrintable(lines[i]));
                }
            }
            if (!refused.isEmpty())
                QVERIFY2(out.contains("198.51.100.7"), out);
        }
        // Only the balance and the prices were asked; nothing in the folder changed.
        for (const QByteArray& request : stand.requests)
            QVERIFY2(request.contains("command=GetBalance&") ||
                         request.contains("command=PE_GetProductPrice&"),
                     request);
        QCOMPARE(snapshot(dir.path()), before);
    }

    void checkMakesNoFolder() {
        QTemporaryDir dir;
        const QString missing = dir.filePath("nowhere");
        QByteArray err;
        QCOMPARE(CliProcess::run(missing, {"check"}, {}, nullptr, &err), 1);
        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY2(err.contains("is not a folder"), err);
    }

    // What the registrar sends is shown on one line and cut: an order id holding a line
    // feed forges no line, an escape sequence never reaches the terminal, and a megabyte
    // of error text is no megabyte line.
    void registrarTextIsOneLine() {
        QTemporaryDir dir;
        prepare(dir.path(), "reseller", {"free.com", "err.com"});
        LoopbackRegistrar stand;
        const QByteArray forged = "2026-01-01T00:00:00.000Z slot 1 forged.com tries 1 ordered 666";
        stand.answer = [&](const QByteArray& request) {
            const QString what = requested(request);
            if (what.startsWith("purchase"))
                return LoopbackRegistrar::Answer{
                    {registrarReply("PURCHASE", "OrderID=157\n" + forged + "\r\nRRPCode=200\r\n")}};
            if (what.contains("err"))
                return LoopbackRegistrar::Answer{
                    {registrarReply("CHECK", "RRPCode=545\r\nErr1=\x1b[31mred" +
                                                 QByteArray(1 << 20, 'x') + "\r\n")}};
            return LoopbackRegistrar::Answer{{checkReply("210")}};
        };
        CliProcess cli(dir.path());
        cli.start({"run", "--registrar", registrar(stand)});
        QVERIFY(cli.waitFor([&] { return cli.out.contains(" ordered "); }));
        cli.process.terminate();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(!cli.out.contains('\x1b'));
        for (const QString& line : cli.lines()) {
            QVERIFY2(!line.startsWith("2026-01-01T"), qPrintable(line));
            QVERIFY2(line.size() < 700, qPrintable(line.left(100)));
        }
        QVERIFY2(cli.out.contains("tries 2 ordered 157 " + forged + "\n"), cli.out);
        QVERIFY2(cli.out.contains("unexpected:  [31mredxxx"), cli.out.left(2000));
    }

    // A request that comes to nothing is a line of its own, with the slot and the name.
    void failedRequestIsALine() {
        QTemporaryDir dir;
        prepare(dir.path(), "reseller", {"one.com"});
        CliProcess cli(dir.path());
        const QString port = QString::number(LoopbackRegistrar::refusingPort());
        cli.start({"run", "--registrar", "127.0.0.1:" + port});
        QVERIFY(cli.waitFor([&] { return cli.out.contains('\n'); }));
        cli.process.terminate();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(cli.lines().value(0).contains(QRegularExpression(
                     R"(^\S+Z slot 1 one\.com failed: the connection failed: )")),
                 cli.out);
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
        prepare(dir.path(), "reseller", {name});
        LoopbackRegistrar stand;
        StandInAccount account;
        account.refusedAddress = refused;
        stand.answer = [&](const QByteArray& request) {
            return LoopbackRegistrar::Answer{{standInReply(request, account, {})}};
        };
        const QString told = dir.filePath("told");
        CliProcess cli(dir.path());
        cli.start({"run", "--json", "--on-error", "stop", "--registrar", registrar(stand),
                   "--on-stop",
                   "printf '%s|%s' \"$DROVANE_STOP_REASON\" \"$DROVANE_STOP_MESSAGE\" > " + told});
        if (reason == "signal") {
            QVERIFY(cli.waitFor([&] { return cli.lines().size() >= 2; }));
            cli.process.terminate();
        }
        QCOMPARE(cli.exitCode(), status);
        const QStringList lines = cli.lines();
        const QJsonObject start = QJsonDocument::fromJson(lines.value(0).toUtf8()).object();
        QCOMPARE(start.value("event").toString(), QStringLiteral("start"));
        QCOMPARE(start.value("names").toInt(), 1);
        QFile file(told);
        QVERIFY(file.open(QIODevice::ReadOnly)); // the run waited for the command
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.startsWith(reason + '|'), qPrintable(text));
        if (reason == "signal")
            return; // the engine saw no stop: the signal ended it where it stood
        const QJsonObject stop = QJsonDocument::fromJson(lines.last().toUtf8()).object();
        QCOMPARE(stop.value("event").toString(), QStringLiteral("stop"));
        QCOMPARE(stop.value("reason").toString(), reason);
        QCOMPARE(reason + '|' + stop.value("message").toString(), text);
        if (!refused.isEmpty())
            QVERIFY2(cli.err.contains("198.51.100.7, the address the registrar saw"), cli.err);
    }

    // An --on-order command's output is its own: none of it reaches the run's.
    void orderCommandOutputStaysOut() {
        QTemporaryDir dir;
        prepare(dir.path(), "reseller", {"free.com"});
        LoopbackRegistrar stand;
        stand.answer = [](const QByteArray& request) {
            return LoopbackRegistrar::Answer{{standInReply(request)}};
        };
        const QString done = dir.filePath("done");
        CliProcess cli(dir.path());
        cli.start({"run", "--registrar", registrar(stand), "--on-order",
                   "echo LEAK-OUT; echo LEAK-ERR >&2; echo ran > " + done});
        QVERIFY(cli.waitFor([&] { return QFile::exists(done) && QFileInfo(done).size() > 0; }));
        cli.process.terminate();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(cli.out.contains(" ordered "), cli.out);
        QVERIFY2(!cli.out.contains("LEAK") && !cli.err.contains("LEAK"), cli.out + cli.err);
    }
};

QTEST_GUILESS_MAIN(tst_clialerts)
#include "tst_clialerts.moc"
