// drovane-cli end to end: the real executable against a registrar stand-in on 127.0.0.1.

#include "CliProcess.h"
#include "testing/FileBytes.h"
#include "testing/LoopbackRegistrar.h"
#include "testing/RegistrarReplies.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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
        prepare(dir.path(), "reseller", {"kept.com"});
        const QByteArray settings = readAll(dir.filePath("settings.dat"));
        const QByteArray domains = readAll(dir.filePath("domains.dat"));
        QProcess sh;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("CLI", DROVANE_CLI_PATH);
        env.insert("DIR", dir.path());
        sh.setProcessEnvironment(env);
        sh.start("/bin/sh", {"-c", script});
        QVERIFY(sh.waitForFinished(15000));
        const QByteArray err = sh.readAllStandardError();
        QCOMPARE(sh.exitCode(), status);
        QVERIFY2(err.contains(told.toUtf8()), err);
        QCOMPARE(readAll(dir.filePath("settings.dat")), settings);
        QCOMPARE(readAll(dir.filePath("domains.dat")), domains);
    }

    // Files anyone could have put there are not the user's settings.
    void foldersAndFilesOfOthersAreNotTrusted() {
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions(0x7777)));
        QByteArray err;
        QCOMPARE(CliProcess::run(dir.path(), {"settings", "show"}, {}, nullptr, &err), 1);
        QVERIFY2(err.contains("is not used: its group or other users may write to it"), err);
        if (::geteuid() != 0)
            QSKIP("another user's settings.dat needs root to be made");
        // A folder of user 65534 holding a settings.dat of root's: 65534 must not read it.
        QVERIFY(QFile::setPermissions(dir.path(), QFile::Permissions(0x7700)));
        QCOMPARE(::chown(QFile::encodeName(dir.path()).constData(), 65534, 65534), 0);
        QVERIFY(writeAll(dir.filePath("settings.dat"), "planted"));
        QProcess cli;
        cli.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", DROVANE_CLI_PATH,
                              "--folder", dir.path(), "settings", "show"});
        QVERIFY(cli.waitForFinished(15000));
        QVERIFY2(cli.readAllStandardError().contains("settings.dat was not read: it belongs to "
                                                     "another user"),
                 "a planted settings.dat was read");
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

    // An upgrade finds the password in settings.dat in clear text and still logs in; a
    // service's credential file comes first and never reaches settings.dat.
    void passwordSources_data() {
        QTest::addColumn<QByteArray>("credential"); // the file's bytes; "-": no file
        QTest::addColumn<QString>("sent");          // the password in the requests
        QTest::addColumn<QString>("shown");         // in settings show's password line
        QTest::addColumn<int>("status");
        QTest::newRow("clear text of an older version")
            << QByteArray("-") << "secret"
            << "*****(in settings.dat, in clear text" << 0;
        QTest::newRow("credential file first") << QByteArray("cred-pw-2\n") << "cred-pw-2"
                                               << "*****(in the credential file " << 0;
        QTest::newRow("empty credential file: no run") << QByteArray("") << ""
                                                       << "(The credential file " << 1;
    }
    void passwordSources() {
        QFETCH(QByteArray, credential);
        QFETCH(QString, sent);
        QFETCH(QString, shown);
        QFETCH(int, status);
        QTemporaryDir dir;
        prepare(dir.path(), "reseller", {"taken.com"});
        QTemporaryDir credentials;
        QProcessEnvironment env = CliProcess(dir.path()).process.processEnvironment();
        if (credential != "-") {
            QFile file(credentials.filePath("registrar-password"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(credential);
            env.insert("CREDENTIALS_DIRECTORY", credentials.path());
        }
        LoopbackRegistrar registrar;
        registrar.answer = answerFor;
        CliProcess cli(dir.path());
        cli.process.setProcessEnvironment(env);
        cli.start({"run", "--registrar", QString("127.0.0.1:%1").arg(registrar.port())});
        if (status == 0) {
            QVERIFY2(cli.waitFor([&] { return !cli.lines().isEmpty(); }), cli.err);
            cli.process.terminate();
        }
        QCOMPARE(cli.exitCode(), status);
        if (status == 0)
            QCOMPARE(
                requestQuery(registrar.requests.value(0)).queryItemValue("pw", QUrl::FullyDecoded),
                sent);
        else
            QVERIFY2(cli.err.contains(credentials.filePath("registrar-password").toUtf8()),
                     cli.err);

        CliProcess show(dir.path());
        show.process.setProcessEnvironment(env);
        show.start({"settings", "show"});
        QCOMPARE(show.exitCode(), 0);
        QVERIFY2(show.out.simplified().replace(" ", "").contains(
                     shown.simplified().replace(" ", "").toUtf8()),
                 show.out);
        // The run saved settings.dat twice; the old clear text stays, the credential never
        // gets there.
        QFile settings(dir.filePath("settings.dat"));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray bytes = settings.readAll();
        QVERIFY(bytes.contains("secret"));
        QVERIFY(!bytes.contains("cred"));
    }

    void credentialPasswordIsNotSetElsewhere() {
        QTemporaryDir dir;
        QTemporaryDir credentials;
        QFile file(credentials.filePath("registrar-password"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("cred\n") == 5);
        file.close();
        CliProcess cli(dir.path());
        QProcessEnvironment env = cli.process.processEnvironment();
        env.insert("CREDENTIALS_DIRECTORY", credentials.path());
        cli.process.setProcessEnvironment(env);
        cli.start({"settings", "set", "password"}, "other\n");
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY2(cli.err.startsWith("Not changed: the password comes from the credential file"),
                 cli.err);
        QVERIFY(!QFile::exists(dir.filePath("settings.dat")));
    }

    // Under systemd (Type=notify): readiness once the slots are armed, a status line,
    // watchdog pings from the event loop, and a word when stopping; --quiet keeps only
    // the order among the reply lines.
    void serviceNotifications() {
        QTemporaryDir dir;
        prepare(dir.path(), "reseller", {"free.com", "taken.com"});
        // The service manager's end of the socket, as systemd binds it.
        const QByteArray path = QFile::encodeName(dir.filePath("notify"));
        const int manager = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        QVERIFY(manager >= 0);
        sockaddr_un at{};
        at.sun_family = AF_UNIX;
        std::memcpy(at.sun_path, path.constData(), size_t(path.size()));
        QCOMPARE(::bind(manager, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
        QStringList received;
        auto receive = [&] {
            char buffer[4096];
            for (ssize_t n; (n = ::recv(manager, buffer, sizeof buffer, 0)) > 0;)
                received << QString::fromUtf8(buffer, int(n));
        };
        auto count = [&](const QString& what) {
            receive();
            return int(std::count_if(received.begin(), received.end(),
                                     [&](const QString& m) { return m.contains(what); }));
        };

        LoopbackRegistrar registrar;
        registrar.answer = answerFor;
        CliProcess cli(dir.path());
        QProcessEnvironment env = cli.process.processEnvironment();
        env.insert("NOTIFY_SOCKET", QString::fromUtf8(path));
        env.insert("WATCHDOG_USEC", "400000");
        cli.process.setProcessEnvironment(env);
        cli.start({"run", "--quiet", "--registrar", QString("127.0.0.1:%1").arg(registrar.port())});
        QVERIFY2(cli.waitFor([&] { return count("1 order,") > 0 && count("WATCHDOG=1") >= 3; }),
                 qPrintable(received.join(" | ") + cli.err));
        QCOMPARE(received.value(0), "READY=1\nSTATUS=polling: 2 names, 0 requests, 0 orders, no "
                                    "reply yet");
        const QRegularExpression refreshed(
            "^STATUS=polling: 2 names, \\d+ requests, 1 order, last reply \\d+ s ago\nWATCHDOG=1$");
        QVERIFY(std::any_of(received.begin(), received.end(),
                            [&](const QString& m) { return refreshed.match(m).hasMatch(); }));
        cli.process.terminate();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(count("STOPPING=1") == 1, qPrintable(received.join(" | ")));
        ::close(manager);
        // Only the order among the replies; the start and the stop on stderr.
        const QStringList lines = cli.lines();
        QVERIFY2(!lines.isEmpty() &&
                     std::all_of(lines.begin(), lines.end(),
                                 [](const QString& l) { return l.contains(" ordered "); }),
                 cli.out);
        QVERIFY2(cli.err.startsWith("Run started: polling: 2 names"), cli.err);
        QVERIFY2(cli.err.contains("Run stopped (signal): "), cli.err);
    }

    // With stdout and stderr on the journal's stream, errors and orders carry their
    // syslog priority, so that journalctl -p warning lists them.
    void journalPriorities() {
        QTemporaryDir dir;
        prepare(dir.path(), "reseller", {"free.com"});
        const QString journal = dir.filePath("journal");
        QFile(journal).open(QIODevice::WriteOnly);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(journal).constData(), &st), 0);
        LoopbackRegistrar registrar;
        registrar.answer = answerFor;
        CliProcess cli(dir.path());
        QProcessEnvironment env = cli.process.processEnvironment();
        env.insert("JOURNAL_STREAM", QString("%1:%2").arg(st.st_dev).arg(st.st_ino));
        cli.process.setProcessEnvironment(env);
        // One stream for both, as systemd connects them.
        cli.process.setStandardOutputFile(journal, QIODevice::Append);
        cli.process.setStandardErrorFile(journal, QIODevice::Append);
        cli.start({"run", "--registrar", QString("127.0.0.1:%1").arg(registrar.port())});
        QVERIFY(cli.waitFor([&] { return readAll(journal).contains(" ordered "); }));
        cli.process.terminate();
        // The channels go to the file: nothing to read from the process.
        QVERIFY(cli.process.waitForFinished(15000));
        QCOMPARE(cli.process.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(readAll(journal)).split('\n');
        auto line = [&](const QString& part) {
            for (const QString& l : lines)
                if (l.contains(part))
                    return l;
            return QString();
        };
        QVERIFY2(line("Run started").startsWith("<5>Run started: polling"),
                 qPrintable(lines.join('\n')));
        QVERIFY(QRegularExpression("^\\d{4}-.* free.com tries 1 free$")
                    .match(line(" free"))
                    .hasMatch());
        QVERIFY(line(" ordered ").startsWith("<4>"));
        QVERIFY(line("Run stopped").startsWith("<5>Run stopped (signal)"));
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
                QCOMPARE(CliProcess::run(dir.path(), {"settings", "clear", "password"}), 0);
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
