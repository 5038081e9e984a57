// drovane-cli end to end: the real executable against a registrar stand-in on 127.0.0.1.

#include "CliProcess.h"
#include "testing/FileBytes.h"
#include "testing/LoopbackRegistrar.h"
#include "testing/RegistrarReplies.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace drovane::test;
using namespace Qt::StringLiterals;

class tst_cli : public QObject {
    Q_OBJECT

    // A folder with an account, interval 1, Start Immediately and the given list.
    static void prepare(const QString& folder, const QString& user, const QStringList& names) {
        QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"username"_s, user}), 0);
        QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"password"_s}, "secret\n"), 0);
        QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"interval"_s, u"1"_s}), 0);
        // The stand-in speaks plain HTTP.
        QCOMPARE(CliProcess::run(folder, {u"settings"_s, u"set"_s, u"secure"_s, u"false"_s}), 0);
        if (!names.isEmpty())
            QCOMPARE(CliProcess::run(folder, QStringList{u"domains"_s, u"add"_s} + names), 0);
    }

    static LoopbackRegistrar::Answer answerFor(const QByteArray& request) {
        const QString what = requested(request).toUpper();
        if (requestQuery(request).queryItemValue(u"uid"_s) == u"bad"_s)
            return {{badLoginReply()}};
        if (what.startsWith(u"PURCHASE"_s))
            return {{orderReply()}};
        if (what.contains(u"ERR"_s))
            return {{registrarReply("CHECK", "RRPCode=545\r\nRRPText=Entered domain name is not "
                                             "valid\r\nErr1=Domain name not available\r\n")}};
        return {{checkReply(what.contains(u"FREE"_s) ? "210" : "211")}};
    }

private slots:
    void replyLines_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QStringList>("expected"); // patterns of the lines, in order
        QTest::addColumn<int>("status");           // -1: ended with SIGTERM, expecting 0
        const QString stamp = QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z slot 1 )");
        QTest::newRow("taken") << "taken.com" << QStringList{}
                               << QStringList{stamp + u"taken.com tries 1 taken$"_s} << -1;
        QTest::newRow("free, then ordered")
            << "free.com" << QStringList{}
            << QStringList{stamp + u"free.com tries 1 free$"_s,
                           stamp + u"free.com tries 2 ordered 157237889$"_s}
            << -1;
        QTest::newRow("unexpected, run goes on")
            << "err.com" << QStringList{}
            << QStringList{stamp + u"err.com tries 1 unexpected: Domain name not available$"_s,
                           stamp + u"err.com tries 2 unexpected: Domain name not available$"_s}
            << -1;
        QTest::newRow("unexpected, --on-error stop")
            << "err.com" << QStringList{u"--on-error"_s, u"stop"_s}
            << QStringList{stamp + u"err.com tries 1 unexpected: Domain name not available$"_s}
            << 5;
        QTest::newRow("json")
            << "free.com" << QStringList{u"--json"_s}
            << QStringList{QStringLiteral(
                   R"(^\{"code":"210","domain":"free.com","outcome":"free","slot":1,)"
                   R"("time":"[-0-9T:.]+Z","tries":1\}$)")}
            << -1;
    }
    void replyLines() {
        QFETCH(QString, name);
        QFETCH(QStringList, flags);
        QFETCH(QStringList, expected);
        QFETCH(int, status);
        QTemporaryDir dir;
        prepare(dir.path(), u"reseller"_s, {name});
        LoopbackRegistrar registrar;
        registrar.answer = answerFor;
        const QString orders = dir.filePath(u"orders"_s);
        CliProcess cli(dir.path());
        cli.start(
            QStringList{u"run"_s, u"--registrar"_s, u"127.0.0.1:%1"_s.arg(registrar.port()),
                        u"--on-order"_s,
                        u"printf '%s %s' \"$DROVANE_DOMAIN\" \"$DROVANE_ORDER_ID\" > "_s + orders} +
            flags);
        cli.waitFor([&] { return cli.lines().size() >= expected.size(); });
        if (status < 0) {
            cli.process.terminate(); // SIGTERM: a clean end
            status = 0;
        }
        QCOMPARE(cli.exitCode(), status);
        const QStringList lines = cli.lines();
        QVERIFY2(lines.size() >= expected.size(), (cli.out + cli.err).constData());
        for (int i = 0; i < expected.size(); ++i)
            QVERIFY2(QRegularExpression(expected[i]).match(lines[i]).hasMatch(),
                     qPrintable(lines[i]));
        // An order runs the --on-order command with the order in its environment.
        if (expected.last().contains(u"ordered"_s)) {
            QFile file(orders);
            QTRY_VERIFY_WITH_TIMEOUT(file.exists() && file.size() > 0, 5000);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray("free.com 157237889"));
        }
    }

    void rejectedAccountEndsWithStatus2() {
        QTemporaryDir dir;
        prepare(dir.path(), u"bad"_s, {u"one.com"_s, u"two.com"_s});
        LoopbackRegistrar registrar;
        registrar.answer = answerFor;
        CliProcess cli(dir.path());
        cli.start({u"run"_s, u"--registrar"_s, u"127.0.0.1:%1"_s.arg(registrar.port())});
        QCOMPARE(cli.exitCode(), 2);
        QVERIFY(cli.lines().value(0).endsWith(u"tries 1 rejected account"_s));
        QVERIFY(cli.err.contains("Your username or password is invalid."));
    }

    void untrustedCertificateEndsWithStatus4() {
        QTemporaryDir dir;
        prepare(dir.path(), u"reseller"_s, {u"one.com"_s});
        QCOMPARE(CliProcess::run(dir.path(), {u"settings"_s, u"set"_s, u"secure"_s, u"true"_s}), 0);
        // Signed by the tests' own authority, which the system does not trust.
        LoopbackRegistrar registrar(LoopbackRegistrar::tlsConfiguration(
            QStringLiteral(DROVANE_TEST_DATA "/tls"), u"loopback"_s));
        registrar.answer = answerFor;
        CliProcess cli(dir.path());
        cli.start({u"run"_s, u"--registrar"_s, u"127.0.0.1:%1"_s.arg(registrar.port())});
        QCOMPARE(cli.exitCode(), 4);
        QVERIFY2(cli.err.contains("Your account was not sent."), cli.err.constData());
        QVERIFY(registrar.requests.isEmpty());
        QCOMPARE(cli.out, QByteArray());
    }

    // A service runs for days; its end must not undo what was changed meanwhile.
    void runEndKeepsChangesMadeDuringTheRun() {
        QTemporaryDir dir;
        prepare(dir.path(), u"reseller"_s, {u"one.com"_s});
        LoopbackRegistrar registrar;
        bool failing = false;
        registrar.answer = [&](const QByteArray& request) {
            return answerFor(failing ? QByteArray(request).replace("one", "err") : request);
        };
        CliProcess cli(dir.path());
        cli.start({u"run"_s, u"--on-error"_s, u"stop"_s, u"--registrar"_s,
                   u"127.0.0.1:%1"_s.arg(registrar.port())});
        QVERIFY(cli.waitFor([&] { return !cli.lines().isEmpty(); }));
        QCOMPARE(CliProcess::run(dir.path(), {u"settings"_s, u"set"_s, u"interval"_s, u"7"_s}), 0);
        QCOMPARE(CliProcess::run(dir.path(), {u"domains"_s, u"add"_s, u"two.com"_s}), 0);
        failing = true; // the next reply stops the run, which saves
        QCOMPARE(cli.exitCode(), 5);
        QByteArray out;
        QCOMPARE(CliProcess::run(dir.path(), {u"settings"_s, u"show"_s}, {}, &out), 0);
        QVERIFY2(out.contains("interval           7\n"), out.constData());
        QCOMPARE(CliProcess::run(dir.path(), {u"domains"_s, u"list"_s}, {}, &out), 0);
        QCOMPARE(out, QByteArray("one.com\ntwo.com\n"));
    }

    // Input that would be stored or sent other than given is refused, and changes nothing.
    void refusedInputChangesNothing_data() {
        QTest::addColumn<QString>("script"); // run by /bin/sh with $CLI and $DIR set
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("told");
        QTest::newRow("bytes that are not UTF-8")
            << R"sh($CLI --folder "$DIR" settings set city "$(printf 'M\374ller\377')")sh" << 1
            << "city is not set: it is not valid UTF-8 text.";
        QTest::newRow("password that is not UTF-8")
            << R"sh(printf 'p\351ss\377\n' | $CLI --folder "$DIR" settings set password)sh" << 1
            << "password is not set: it is not valid UTF-8 text.";
        QTest::newRow("password with a NUL")
            << R"sh(printf 'a\000b\n' | $CLI --folder "$DIR" settings set password)sh" << 1
            << "password is not set: it holds a control character";
        QTest::newRow("empty line for the password")
            << R"sh(echo "$UNSET" | $CLI --folder "$DIR" settings set password)sh" << 1
            << "password is not set: it is empty.";
        QTest::newRow("empty user name") << R"sh($CLI --folder "$DIR" settings set username "")sh"
                                         << 1 << "username is not set: it is empty.";
        QTest::newRow("a name with a line break")
            << R"sh($CLI --folder "$DIR" domains add "$(printf 'new\nline.com')")sh" << 1
            << "is not a domain name: it holds a control character";
        QTest::newRow("a blank in a name")
            << R"sh($CLI --folder "$DIR" domains add 'bad name')sh" << 1
            << "Not changed: \"bad name\" is not a domain name: it holds a blank.";
        QTest::newRow("an address among names")
            << R"sh(printf 'ok.com\nhttps://foo.com/\n' | $CLI --folder "$DIR" domains import -)sh"
            << 1 << "Not changed: stdin line 2, \"https://foo.com/\": it holds \":\"";
        QTest::newRow("random bytes")
            << R"sh(head -c 20000 /dev/urandom | $CLI --folder "$DIR" domains import -)sh" << 1
            << "Not changed: stdin is not";
    }
    void refusedInputChangesNothing() {
        QFETCH(QString, script);
        QFETCH(int, status);
        QFETCH(QString, told);
        QTemporaryDir dir;
        prepare(dir.path(), u"reseller"_s, {u"kept.com"_s});
        const QByteArray settings = readAll(dir.filePath(u"settings.dat"_s));
        const QByteArray domains = readAll(dir.filePath(u"domains.dat"_s));
        QProcess sh;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"CLI"_s, QStringLiteral(DROVANE_CLI_PATH));
        env.insert(u"DIR"_s, dir.path());
        sh.setProcessEnvironment(env);
        sh.start(u"/bin/sh"_s, {u"-c"_s, script});
        QVERIFY(sh.waitForFinished(15000));
        const QByteArray err = sh.readAllStandardError();
        QCOMPARE(sh.exitCode(), status);
        QVERIFY2(err.contains(told.toUtf8()), err.constData());
        QCOMPARE(readAll(dir.filePath(u"settings.dat"_s)), settings);
        QCOMPARE(readAll(dir.filePath(u"domains.dat"_s)), domains);
    }

    // Files anyone could have put there are not the user's settings.
    void foldersAndFilesOfOthersAreNotTrusted() {
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions(0x7777)));
        QByteArray err;
        QCOMPARE(CliProcess::run(dir.path(), {u"settings"_s, u"show"_s}, {}, nullptr, &err), 1);
        QVERIFY2(err.contains("is not used: its group or other users may write to it"),
                 err.constData());
        if (::geteuid() != 0)
            QSKIP("another user's settings.dat needs root to be made");
        // A folder of user 65534 holding a settings.dat of root's: 65534 must not read it.
        QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions(0x7700)));
        QCOMPARE(::chown(QFile::encodeName(dir.path()).constData(), 65534, 65534), 0);
        QVERIFY(writeAll(dir.filePath(u"settings.dat"_s), "planted"));
        QProcess cli;
        cli.start(u"setpriv"_s, {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                                 QStringLiteral(DROVANE_CLI_PATH), u"--folder"_s, dir.path(),
                                 u"settings"_s, u"show"_s});
        QVERIFY(cli.waitForFinished(15000));
        QVERIFY2(cli.readAllStandardError().contains("settings.dat was not read: it belongs to "
                                                     "another user"),
                 "a planted settings.dat was read");
    }

    void settingsRoundTrip() {
        QTemporaryDir dir;
        const QString f = dir.path();
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"set"_s, u"username"_s, u"reseller"_s}), 0);
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"set"_s, u"password"_s}, "s3cret pass\n"), 0);
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"set"_s, u"interval"_s, u"2.5"_s}), 0);
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"set"_s, u"start-time"_s, u"10:30 PM"_s}), 0);
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"set"_s, u"legal-type"_s, u"ltd"_s}), 0);
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"set"_s, u"secure"_s, u"0"_s}), 0);
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"set"_s, u"logging"_s, u"true"_s}), 0);
        // Refused as the window refuses them, with its messages; nothing is saved.
        QByteArray err;
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"set"_s, u"interval"_s, u"1000"_s}, {},
                                 nullptr, &err),
                 1);
        QCOMPARE(err, "Please enter a number between 1 and 999!\n");
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"set"_s, u"end-time"_s, u"25:99"_s}, {},
                                 nullptr, &err),
                 1);
        QCOMPARE(err, "Please enter a valid End Time!\n");
        // Never from the command line, where the process list shows it.
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"set"_s, u"password"_s, u"visible"_s}), 64);

        QByteArray out;
        QCOMPARE(CliProcess::run(f, {u"settings"_s, u"show"_s}, {}, &out), 0);
        QVERIFY(!out.contains("s3cret"));
        for (const char* line :
             {"username           reseller", "password           *****", "interval           2.5",
              "start-time         10:30 PM", "end-time           \n", "legal-type         LTD",
              "secure             false", "logging            true"})
            QVERIFY2(out.contains(line), line);
        QFile settings(dir.filePath(u"settings.dat"_s));
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
        QTest::newRow("no password")
            << QStringList{u"password"_s, u""_s} << QStringList{u"one.com"_s}
            << "Please enter a valid password!" << 1;
        QTest::newRow("co.uk without registrant")
            << QStringList{} << QStringList{u"one.co.uk"_s}
            << "Please enter a valid First Name, Last Name, Phone Number, Address, City, "
               "Country, and E-Mail address in the settings screen to register a .info, .biz, "
               "or .co.uk domain!"
            << 1;
        QTest::newRow("over 30 minutes without --yes")
            << QStringList{u"start-immediately"_s, u"false"_s,    u"start-time"_s,
                           u"10:00 PM"_s,          u"end-time"_s, u"11:00 PM"_s}
            << QStringList{u"one.com"_s}
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
        prepare(dir.path(), u"reseller"_s, names);
        for (int i = 0; i + 1 < setup.size(); i += 2) {
            if (setup[i] == u"password"_s)
                QCOMPARE(CliProcess::run(dir.path(), {u"settings"_s, u"clear"_s, u"password"_s}),
                         0);
            else
                QCOMPARE(
                    CliProcess::run(dir.path(), {u"settings"_s, u"set"_s, setup[i], setup[i + 1]}),
                    0);
        }
        // A refused start never reaches the registrar: nobody listens on this port.
        QByteArray out, err;
        const QString port = QString::number(LoopbackRegistrar::refusingPort());
        QCOMPARE(CliProcess::run(dir.path(), {u"run"_s, u"--registrar"_s, u"127.0.0.1:"_s + port},
                                 {}, &out, &err),
                 status);
        QVERIFY2(err.startsWith(message.toUtf8() + '\n'), err.constData());
        QCOMPARE(out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(tst_cli)
#include "tst_cli.moc"
