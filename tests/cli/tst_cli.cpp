// drovane-cli end to end: the real executable against a registrar stand-in on 127.0.0.1.

#include "CliProcess.h"
#include "testing/LoopbackRegistrar.h"
#include "testing/RegistrarReplies.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace drovane::test;

class tst_cli : public QObject {
    Q_OBJECT

    // A folder with an account, interval 1, Start Immediately and the given list.
    static void prepare(const QString& folder, const QString& user, const QStringList& names) {
        QCOMPARE(CliProcess::run(folder, {"settings", "set", "username", user}), 0);
        QCOMPARE(CliProcess::run(folder, {"settings", "set", "password"}, "secret\n"), 0);
        QCOMPARE(CliProcess::run(folder, {"settings", "set", "interval", "1"}), 0);
        // The stand-in speaks plain HTTP.
        QCOMPARE(CliProcess::run(folder, {"settings", "set", "secure", "false"}), 0);
        if (!names.isEmpty())
            QCOMPARE(CliProcess::run(folder, QStringList{"domains", "add"} + names), 0);
    }

    // The reply lines, without the --json stream's records of the run itself.
    static QStringList replies(const CliProcess& cli) {
        QStringList lines = cli.lines();
        lines.removeIf([](const QString& l) { return l.startsWith(R"({"event":)"); });
        return lines;
    }

    static LoopbackRegistrar::Answer answerFor(const QByteArray& request) {
        const QString what = requested(request).toUpper();
        if (requestQuery(request).queryItemValue("uid") == "bad")
            return {{badLoginReply()}};
        if (what.startsWith("PURCHASE"))
            return {{orderReply()}};
        if (what.contains("ERR"))
            return {{registrarReply("CHECK", "RRPCode=545\r\nRRPText=Entered domain name is not "
                                             "valid\r\nErr1=Domain name not available\r\n")}};
        return {{checkReply(what.contains("FREE") ? "210" : "211")}};
    }

private slots:
    void replyLines_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QStringList>("expected"); // patterns of the lines, in order
        QTest::addColumn<int>("status");           // -1: ended with SIGTERM, expecting 0
        const QString stamp = R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z slot 1 )";
        QTest::newRow("taken") << "taken.com" << QStringList{}
                               << QStringList{stamp + "taken.com tries 1 taken$"} << -1;
        QTest::newRow("free, then ordered")
            << "free.com" << QStringList{}
            << QStringList{stamp + "free.com tries 1 free$",
                           stamp + "free.com tries 2 ordered 157237889$"}
            << -1;
        QTest::newRow("unexpected, run goes on")
            << "err.com" << QStringList{}
            << QStringList{stamp + "err.com tries 1 unexpected: Domain name not available$",
                           stamp + "err.com tries 2 unexpected: Domain name not available$"}
            << -1;
        QTest::newRow("unexpected, --on-error stop")
            << "err.com" << QStringList{"--on-error", "stop"}
            << QStringList{stamp + "err.com tries 1 unexpected: Domain name not available$"} << 5;
        QTest::newRow("json")
            << "free.com" << QStringList{"--json"}
            << QStringList{R"(^\{"code":"210","domain":"free.com","outcome":"free","slot":1,)"
                           R"("time":"[-0-9T:.]+Z","tries":1\}$)"}
            << -1;
    }
    void replyLines() {
        QFETCH(QString, name);
        QFETCH(QStringList, flags);
        QFETCH(QStringList, expected);
        QFETCH(int, status);
        QTemporaryDir dir;
        prepare(dir.path(), "reseller", {name});
        LoopbackRegistrar registrar;
        registrar.answer = answerFor;
        const QString orders = dir.filePath("orders");
        CliProcess cli(dir.path());
        cli.start(
            QStringList{"run", "--registrar", QString("127.0.0.1:%1").arg(registrar.port()),
                        "--on-order",
                        "printf '%s %s' \"$DROVANE_DOMAIN\" \"$DROVANE_ORDER_ID\" > " + orders} +
            flags);
        cli.waitFor([&] { return replies(cli).size() >= expected.size(); });
        if (status < 0) {
            cli.process.terminate(); // SIGTERM: a clean end
            status = 0;
        }
        QCOMPARE(cli.exitCode(), status);
        const QStringList lines = replies(cli);
        QVERIFY2(lines.size() >= expected.size(), cli.out + cli.err);
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(QRegularExpression(expected[i]).match(lines[i]).hasMatch(),
                     qPrintable(lines[i]));
        // An order runs the --on-order command with the order in its environment.
        if (expected.last().contains("ordered")) {
            QFile file(orders);
            QTRY_VERIFY_WITH_TIMEOUT(file.exists() && file.size() > 0, 5000);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("free.com 157237889"));
        }
    }

    void rejectedAccountEndsWithStatus2() {
        QTemporaryDir dir;
        prepare(dir.path(), "bad", {"one.com", "two.com"});
        LoopbackRegistrar registrar;
        registrar.answer = answerFor;
        CliProcess cli(dir.path());
        cli.start({"run", "--registrar", QString("127.0.0.1:%1").arg(registrar.port())});
        QCOMPARE(cli.exitCode(), 2);
        QVERIFY(cli.lines().value(0).endsWith("tries 1 rejected account"));
        QVERIFY(cli.err.contains("Your username or password is invalid."));
    }

    void untrustedCertificateEndsWithStatus4() {
        QTemporaryDir dir;
        prepare(dir.path(), "reseller", {"one.com"});
        QCOMPARE(CliProcess::run(dir.path(), {"settings", "set", "secure", "true"}), 0);
        // Signed by the tests' own authority, which the system does not trust.
        LoopbackRegistrar registrar(
            LoopbackRegistrar::tlsConfiguration(DROVANE_TEST_DATA "/tls", "loopback"));
        registrar.answer = answerFor;
        CliProcess cli(dir.path());
        cli.start({"run", "--registrar", QString("127.0.0.1:%1").arg(registrar.port())});
        QCOMPARE(cli.exitCode(), 4);
        QVERIFY2(cli.err.contains("Your account was not sent."), cli.err);
        QVERIFY(registrar.requests.isEmpty());
        QCOMPARE(cli.out, QByteArray());
    }

    // A service runs for days; its end must not undo what was changed meanwhile.
    void runEndKeepsChangesMadeDuringTheRun() {
        QTemporaryDir dir;
        prepare(dir.path(), "reseller", {"one.com"});
        LoopbackRegistrar registrar;
        bool failing = false;
        registrar.answer = [&](const QByteArray& request) {
            return answerFor(failing ? QByteArray(request).replace("one", "err") : request);
        };
        CliProcess cli(dir.path());
        cli.start({"run", "--on-error", "stop", "--registrar",
                   QString("127.0.0.1:%1").arg(registrar.port())});
        QVERIFY(cli.waitFor([&] { return !cli.lines().isEmpty(); }));
        QCOMPARE(CliProcess::run(dir.path(), {"settings", "set", "interval", "7"}), 0);
        QCOMPARE(CliProcess::run(dir.path(), {"domains", "add", "two.com"}), 0);
        failing = true; // the next reply stops the run, which saves
        QCOMPARE(cli.exitCode(), 5);
        QByteArray out;
        QCOMPARE(CliProcess::run(dir.path(), {"settings", "show"}, {}, &out), 0);
        QVERIFY2(out.contains("interval           7\n"), out);
        QCOMPARE(CliProcess::run(dir.path(), {"domains", "list"}, {}, &out), 0);
        QCOMPARE(out, QByteArray("one.com\ntwo.com\n"));
    }

    void settingsRoundTrip() {
        QTemporaryDir dir;
        const QString f = dir.path();
        QCOMPARE(CliProcess::run(f, {"settings", "set", "username", "reseller"}), 0);
        QCOMPARE(CliProcess::run(f, {"settings", "set", "password"}, "s3cret pass\n"), 0);
        QCOMPARE(CliProcess::run(f, {"settings", "set", "interval", "2.5"}), 0);
        QCOMPARE(CliProcess::run(f, {"settings", "set", "start-time", "10:30 PM"}), 0);
        QCOMPARE(CliProcess::run(f, {"settings", "set", "legal-type", "ltd"}), 0);
        QCOMPARE(CliProcess::run(f, {"settings", "set", "secure", "0"}), 0);
        QCOMPARE(CliProcess::run(f, {"settings", "set", "logging", "true"}), 0);
        // Refused as the window refuses them, with its messages; nothing is saved.
        QByteArray err;
        QCOMPARE(CliProcess::run(f, {"settings", "set", "interval", "1000"}, {}, nullptr, &err), 1);
        QCOMPARE(err, "Please enter a number between 1 and 999!\n");
        QCOMPARE(CliProcess::run(f, {"settings", "set", "end-time", "25:99"}, {}, nullptr, &err),
                 1);
        QCOMPARE(err, "Please enter a valid End Time!\n");
        // Never from the command line, where the process list shows it.
        QCOMPARE(CliProcess::run(f, {"settings", "set", "password", "visible"}), 64);

        QByteArray out;
        QCOMPARE(CliProcess::run(f, {"settings", "show"}, {}, &out), 0);
        QVERIFY(!out.contains("s3cret"));
        for (const char* line :
             {"username           reseller", "password           *****", "interval           2.5",
              "start-time         10:30 PM", "end-time           \n", "legal-type         LTD",
              "secure             false", "logging            true"})
            QVERIFY2(out.contains(line), line);
        QFile settings(dir.filePath("settings.dat"));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QVERIFY(settings.readAll().contains("s3cret pass"));
    }

    void startChecks_data() {
        QTest::addColumn<QStringList>("setup"); // settings set NAME VALUE pairs
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("status");
        QTest::newRow("no list") << QStringList{} << QStringList{}
                                 << "Please enter valid domain names!" << 1;
        QTest::newRow("no password") << QStringList{"password", ""} << QStringList{"one.com"}
                                     << "Please enter a valid password!" << 1;
        QTest::newRow("co.uk without registrant")
            << QStringList{} << QStringList{"one.co.uk"}
            << "Please enter a valid First Name, Last Name, Phone Number, Address, City, "
               "Country, and E-Mail address in the settings screen to register a .info, .biz, "
               "or .co.uk domain!"
            << 1;
        QTest::newRow("over 30 minutes without --yes")
            << QStringList{"start-immediately", "false",    "start-time",
                           "10:00 PM",          "end-time", "11:00 PM"}
            << QStringList{"one.com"}
            << "WARNING: Use of this program for over 30 minutes is not recommended and may "
               "cause eNom account suspension. Are you sure you wish to use these start and stop "
               "times?"
            << 3;
    }
    void startChecks() {
        QFETCH(QStringList, setup);
        QFETCH(QStringList, names);
        QFETCH(QString, message);
        QFETCH(int, status);
        QTemporaryDir dir;
        prepare(dir.path(), "reseller", names);
        for (int i = 0; i + 1 < setup.size(); i += 2) {
            if (setup[i] == "password")
                QCOMPARE(CliProcess::run(dir.path(), {"settings", "set", "password"}, "\n"), 0);
            else
                QCOMPARE(CliProcess::run(dir.path(), {"settings", "set", setup[i], setup[i + 1]}),
                         0);
        }
        // A refused start never reaches the registrar: nobody listens on this port.
        QByteArray out, err;
        const QString port = QString::number(LoopbackRegistrar::refusingPort());
        QCOMPARE(CliProcess::run(dir.path(), {"run", "--registrar", "127.0.0.1:" + port}, {}, &out,
                                 &err),
                 status);
        QVERIFY2(err.startsWith(message.toUtf8() + '\n'), err);
        QCOMPARE(out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(tst_cli)
#include "tst_cli.moc"
