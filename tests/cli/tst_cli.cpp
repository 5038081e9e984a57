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
using namespace Qt::StringLiterals;

class tst_cli : public QObject {
    Q_OBJECT

    // The reply lines, without the --json stream's records of the run itself.
    static QStringList replies(const CliProcess& cli) {
        QStringList lines = cli.lines();
        lines.removeIf(
            [](const QString& l) { return l.startsWith(QLatin1String(R"({"event":)")); });
        return lines;
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
        prepareFolder(dir.path(), u"reseller"_s, {name});
        LoopbackRegistrar registrar;
        registrar.answer = answerFor;
        const QString orders = dir.filePath(u"orders"_s);
        CliProcess cli(dir.path());
        cli.start(
            QStringList{u"run"_s, u"--registrar"_s, u"127.0.0.1:%1"_s.arg(registrar.port()),
                        u"--on-order"_s,
                        u"printf '%s %s' \"$DROVANE_DOMAIN\" \"$DROVANE_ORDER_ID\" > "_s + orders} +
            flags);
        cli.waitFor([&] { return replies(cli).size() >= expected.size(); });
        if (status < 0) {
            cli.process.terminate(); // SIGTERM: a clean end
            status = 0;
        }
        QCOMPARE(cli.exitCode(), status);
        const QStringList lines = replies(cli);
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
        prepareFolder(dir.path(), u"bad"_s, {u"one.com"_s, u"two.com"_s});
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
        prepareFolder(dir.path(), u"reseller"_s, {u"one.com"_s});
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
        prepareFolder(dir.path(), u"reseller"_s, {u"one.com"_s});
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
        prepareFolder(dir.path(), u"reseller"_s, {u"kept.com"_s});
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
        prepareFolder(dir.path(), u"reseller"_s, {u"taken.com"_s});
        QTemporaryDir credentials;
        QProcessEnvironment env = CliProcess(dir.path()).process.processEnvironment();
        if (credential != "-") {
            QFile file(credentials.filePath(u"registrar-password"_s));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(credential);
            env.insert(u"CREDENTIALS_DIRECTORY"_s, credentials.path());
        }
        LoopbackRegistrar registrar;
        registrar.answer = answerFor;
        CliProcess cli(dir.path());
        cli.process.setProcessEnvironment(env);
        cli.start({u"run"_s, u"--registrar"_s, QString(u"127.0.0.1:%1"_s).arg(registrar.port())});
        if (status == 0) {
            QVERIFY2(cli.waitFor([&] { return !cli.lines().isEmpty(); }), cli.err.constData());
            cli.process.terminate();
        }
        QCOMPARE(cli.exitCode(), status);
        if (status == 0)
            QCOMPARE(requestQuery(registrar.requests.value(0))
                         .queryItemValue(u"pw"_s, QUrl::FullyDecoded),
                     sent);
        else
            QVERIFY2(cli.err.contains(credentials.filePath(u"registrar-password"_s).toUtf8()),
                     cli.err.constData());

        CliProcess show(dir.path());
        show.process.setProcessEnvironment(env);
        show.start({u"settings"_s, u"show"_s});
        QCOMPARE(show.exitCode(), 0);
        QVERIFY2(show.out.simplified().replace(" ", "").contains(
                     shown.simplified().replace(u" "_s, u""_s).toUtf8()),
                 show.out.constData());
        // The run saved settings.dat twice; the old clear text stays, the credential never
        // gets there.
        QFile settings(dir.filePath(u"settings.dat"_s));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        const QByteArray bytes = settings.readAll();
        QVERIFY(bytes.contains("secret"));
        QVERIFY(!bytes.contains("cred"));
    }

    void credentialPasswordIsNotSetElsewhere() {
        QTemporaryDir dir;
        QTemporaryDir credentials;
        QFile file(credentials.filePath(u"registrar-password"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("cred\n") == 5);
        file.close();
        CliProcess cli(dir.path());
        QProcessEnvironment env = cli.process.processEnvironment();
        env.insert(u"CREDENTIALS_DIRECTORY"_s, credentials.path());
        cli.process.setProcessEnvironment(env);
        cli.start({u"settings"_s, u"set"_s, u"password"_s}, "other\n");
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY2(cli.err.startsWith("Not changed: the password comes from the credential file"),
                 cli.err.constData());
        QVERIFY(!QFile::exists(dir.filePath(u"settings.dat"_s)));
    }

    // Under systemd (Type=notify): readiness once the slots are armed, a status line,
    // watchdog pings from the event loop, and a word when stopping; --quiet keeps only
    // the order among the reply lines.
    void serviceNotifications() {
        QTemporaryDir dir;
        prepareFolder(dir.path(), u"reseller"_s, {u"free.com"_s, u"taken.com"_s});
        // The service manager's end of the socket, as systemd binds it.
        const QByteArray path = QFile::encodeName(dir.filePath(u"notify"_s));
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
        env.insert(u"NOTIFY_SOCKET"_s, QString::fromUtf8(path));
        env.insert(u"WATCHDOG_USEC"_s, u"400000"_s);
        cli.process.setProcessEnvironment(env);
        cli.start({u"run"_s, u"--quiet"_s, u"--registrar"_s,
                   QString(u"127.0.0.1:%1"_s).arg(registrar.port())});
        QVERIFY2(
            cli.waitFor([&] { return count(u"1 order,"_s) > 0 && count(u"WATCHDOG=1"_s) >= 3; }),
            qPrintable(received.join(u" | "_s) + QString::fromUtf8(cli.err)));
        QCOMPARE(received.value(0),
                 QStringLiteral("READY=1\nSTATUS=polling: 2 names, 0 requests, 0 orders, no "
                                "reply yet"));
        const QRegularExpression refreshed(
            u"^STATUS=polling: 2 names, \\d+ requests, 1 order, last reply \\d+ s ago\nWATCHDOG=1$"_s);
        QVERIFY(std::any_of(received.begin(), received.end(),
                            [&](const QString& m) { return refreshed.match(m).hasMatch(); }));
        cli.process.terminate();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(count(u"STOPPING=1"_s) == 1, qPrintable(received.join(u" | "_s)));
        ::close(manager);
        // Only the order among the replies; the start and the stop on stderr.
        const QStringList lines = cli.lines();
        QVERIFY2(!lines.isEmpty() &&
                     std::all_of(lines.begin(), lines.end(),
                                 [](const QString& l) { return l.contains(u" ordered "_s); }),
                 cli.out.constData());
        QVERIFY2(cli.err.startsWith("Run started: polling: 2 names"), cli.err.constData());
        QVERIFY2(cli.err.contains("Run stopped (signal): "), cli.err.constData());
    }

    // With stdout and stderr on the journal's stream, errors and orders carry their
    // syslog priority, so that journalctl -p warning lists them.
    void journalPriorities() {
        QTemporaryDir dir;
        prepareFolder(dir.path(), u"reseller"_s, {u"free.com"_s});
        const QString journal = dir.filePath(u"journal"_s);
        QFile(journal).open(QIODevice::WriteOnly);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(journal).constData(), &st), 0);
        LoopbackRegistrar registrar;
        registrar.answer = answerFor;
        CliProcess cli(dir.path());
        QProcessEnvironment env = cli.process.processEnvironment();
        env.insert(u"JOURNAL_STREAM"_s, QString(u"%1:%2"_s).arg(st.st_dev).arg(st.st_ino));
        cli.process.setProcessEnvironment(env);
        // One stream for both, as systemd connects them.
        cli.process.setStandardOutputFile(journal, QIODevice::Append);
        cli.process.setStandardErrorFile(journal, QIODevice::Append);
        cli.start({u"run"_s, u"--registrar"_s, QString(u"127.0.0.1:%1"_s).arg(registrar.port())});
        QVERIFY(cli.waitFor([&] { return readAll(journal).contains(" ordered "); }));
        cli.process.terminate();
        // The channels go to the file: nothing to read from the process.
        QVERIFY(cli.process.waitForFinished(15000));
        QCOMPARE(cli.process.exitCode(), 0);
        const QStringList lines = QString::fromUtf8(readAll(journal)).split(u'\n');
        auto line = [&](const QString& part) {
            for (const QString& l : lines)
                if (l.contains(part))
                    return l;
            return QString();
        };
        QVERIFY2(line(u"Run started"_s).startsWith(u"<5>Run started: polling"_s),
                 qPrintable(lines.join(u'\n')));
        QVERIFY(QRegularExpression(u"^\\d{4}-.* free.com tries 1 free$"_s)
                    .match(line(u" free"_s))
                    .hasMatch());
        QVERIFY(line(u" ordered "_s).startsWith(u"<4>"_s));
        QVERIFY(line(u"Run stopped"_s).startsWith(u"<5>Run stopped (signal)"_s));
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
        prepareFolder(dir.path(), u"reseller"_s, names);
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
