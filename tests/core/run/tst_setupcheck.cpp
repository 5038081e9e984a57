#include "core/run/SetupCheck.h"
#include "core/settings/SettingNames.h"
#include "testing/RegistrarReplies.h"
#include "testing/SimPlatform.h"

#include <QTest>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {

// A setup check against the scripted registrar account of the stand-in, under virtual time.
struct CheckRig {
    SimPlatform platform;
    StandInAccount account;
    SetupInput input;
    std::function<QByteArray(const QByteArray&)> reply; // replaces the stand-in's answers
    QList<CheckLine> lines;
    QList<CheckLine> told; // through onLine, in order

    CheckRig() {
        input.fields.username = QStringLiteral("reseller");
        input.fields.password = QStringLiteral("secret");
        input.fields.delayTime = QStringLiteral("5");
        input.fields.nameServers = 0;
        input.fields.domains = QStringLiteral("one.com\r\ntwo.net");
        input.settings[Setting::LegalType] = QStringLiteral("-1$");
        input.endpoint = Endpoint{QStringLiteral("registrar.test"), 443, true};
        platform.replyFor = [this](const QByteArray& request) {
            SimReply r;
            r.pieces = {reply ? reply(request)
                              : standInReply(request, account, platform.clock().now().toUTC())};
            return r;
        };
    }

    void run() {
        SetupCheck check(platform, input);
        bool finished = false;
        check.onLine = [&](const CheckLine& l) { told.append(l); };
        check.onFinished = [&] { finished = true; };
        check.start();
        platform.advance(300000);
        QVERIFY(finished);
        lines = check.lines();
    }
    // One letter a line: R ready, W warning, N not ready.
    QString verdicts() const {
        QString out;
        for (const CheckLine& l : lines)
            out += l.verdict == Verdict::Ready ? u'R' : l.verdict == Verdict::Warning ? u'W' : u'N';
        return out;
    }
    CheckLine line(const QString& id) const {
        for (const CheckLine& l : lines)
            if (l.id == id)
                return l;
        return {};
    }
    QStringList commands() const {
        QStringList out;
        for (const QByteArray& r : platform.requests())
            out.append(requestQuery(r).queryItemValue(QStringLiteral("command")));
        return out;
    }
};

} // namespace

// The setup check: what each outcome of the registrar and the machine is called, and that
// it asks nothing but the balance and the prices.
class TestSetupCheck : public QObject {
    Q_OBJECT

private slots:
    void outcomes_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("verdicts"); // connection, account, funds, clock, purchase
        QTest::addColumn<QString>("id");       // the line that says why
        QTest::addColumn<QString>("says");

        QTest::newRow("ready") << ""
                               << "RRRRR"
                               << "funds"
                               << "1,250.00 available covers 2 of the 2 listed names (.com 8.95, "
                                  ".net 10.50)";
        QTest::newRow("rejected login")
            << "bad login"
            << "RNNRR"
            << "account"
            << "the registrar rejected the user name or password (live environment)";
        QTest::newRow("refused address")
            << "refuse 203.0.113.5"
            << "RNNRR"
            << "account"
            << "the account does not take requests from 203.0.113.5, the address the registrar "
               "saw: add 203.0.113.5 to the account's allowed IP addresses for the live "
               "environment (live and test keep separate lists)";
        QTest::newRow("refused address, older form")
            << "refuse 2"
            << "RNNRR"
            << "account"
            << "the account does not take requests from this computer's address (the registrar "
               "did not say which address it saw): add this computer's public address to the "
               "account's allowed IP addresses for the live environment";
        QTest::newRow("no funds") << "available 5.00"
                                  << "RRNRR"
                                  << "funds"
                                  << "5.00 available covers 0 of the 2 listed names (.com 8.95, "
                                     ".net 10.50); not enough for one name under .com, .net";
        QTest::newRow("low funds") << "available 9.00"
                                   << "RRWRR"
                                   << "funds"
                                   << "9.00 available covers 1 of the 2 listed names (.com 8.95, "
                                      ".net 10.50); not enough for one name under .net";
        QTest::newRow("disabled TLD") << "disable net"
                                      << "RRWRR"
                                      << "funds"
                                      << "1,250.00 available covers 1 of the 2 listed names (.com "
                                         "8.95); not enabled for this account: .net";
        QTest::newRow("clock not synchronised")
            << "unsynchronised"
            << "RRRWR"
            << "clock"
            << "this computer's clock is not synchronised: no time service keeps it right (start "
               "one, such as systemd-timesyncd or chrony); the registrar's clock agrees within "
               "0.5 s (± 0.5 s)";
        QTest::newRow("clock unknown")
            << "unknown"
            << "RRRWR"
            << "clock"
            << "whether this computer's clock is synchronised is unknown: this process may not "
               "ask the kernel (EPERM); the registrar's clock agrees within 0.5 s (± 0.5 s)";
        QTest::newRow("registrar clock ahead")
            << "skew 5000"
            << "RRRWR"
            << "clock"
            << "this computer's clock is synchronised (error at most 5.0 ms); the registrar's "
               "clock is 5.5 s ahead of this computer's (± 0.5 s): a start at a named second "
               "lands that far from the registrar's";
        QTest::newRow("reply not understood")
            << "proxy"
            << "RNNRR"
            << "account"
            << "the registrar's reply was not understood (it began: \"HTTP/1.1 502 Bad "
               "Gateway\")";
        QTest::newRow("untrusted certificate")
            << "certificate"
            << "NNNRR"
            << "connection"
            << "the secure connection to registrar.test failed, because its certificate has "
               "expired; nothing was sent";
        QTest::newRow("registrar silent")
            << "silent"
            << "NNNRR"
            << "connection"
            << "TLS, certificate verified, to registrar.test:443: set-up 1.0 ms (median of 1); "
               "then no reply within 10 s";
        QTest::newRow("plain HTTP") << "plain"
                                    << "WRRRR"
                                    << "connection"
                                    << "plain HTTP to registrar.test:80: set-up 1.0 ms, round trip "
                                       "5.0 ms (median of 3); your account crosses the network "
                                       "readable by anyone on the way (Secure connection is off)";
        QTest::newRow("name server missing")
            << "custom name servers"
            << "RRRRN"
            << "purchase"
            << "Custom Nameservers is checked, but name server 2 is empty: purchases would carry "
               "no name servers";
        QTest::newRow("odd registrant and list")
            << "odd registrant"
            << "RRRRW"
            << "purchase"
            << "1 of the 2 lines is not a domain name (the first: line 2, \"bad name\": it holds a "
               "blank); the "
               "phone number is not in the form the registrar expects, +country code.number "
               "(+1.4155551212); the country is not a two-letter code (US, GB, DE, ...)";
    }
    void outcomes() {
        QFETCH(QString, setup);
        QFETCH(QString, verdicts);
        QFETCH(QString, id);
        QFETCH(QString, says);
        CheckRig rig;
        const QString word = setup.section(u' ', -1);
        if (setup == QLatin1String("bad login"))
            rig.input.fields.username = QStringLiteral("bad");
        else if (setup.startsWith(QLatin1String("refuse")))
            rig.account.refusedAddress = word.toLatin1();
        else if (setup.startsWith(QLatin1String("available")))
            rig.account.available = word.toLatin1();
        else if (setup.startsWith(QLatin1String("disable")))
            rig.account.disabled.insert(word.toLatin1());
        else if (setup == QLatin1String("unsynchronised"))
            rig.platform.clockSync = {ClockSync::State::Unsynchronised, 16000000, {}};
        else if (setup == QLatin1String("unknown"))
            rig.platform.clockSync = {
                ClockSync::State::Unknown, -1,
                QStringLiteral("this process may not ask the kernel (EPERM)")};
        else if (setup.startsWith(QLatin1String("skew")))
            rig.account.clockSkewMs = word.toLongLong();
        else if (setup == QLatin1String("proxy"))
            rig.reply = [](const QByteArray&) {
                return QByteArray("HTTP/1.1 502 Bad Gateway\r\nContent-Type: text/html\r\n\r\n"
                                  "<html>proxy error</html>");
            };
        else if (setup == QLatin1String("certificate"))
            rig.platform.connectPlan = [](const QString&, quint16) {
                SimConnectPlan plan;
                plan.handshakeFailure = QStringLiteral("its certificate has expired");
                return plan;
            };
        else if (setup == QLatin1String("silent"))
            rig.platform.replyFor = [](const QByteArray&) {
                SimReply r;
                r.silent = true;
                return r;
            };
        else if (setup == QLatin1String("plain"))
            rig.input.endpoint = Endpoint{QStringLiteral("registrar.test"), 80, false};
        else if (setup == QLatin1String("custom name servers")) {
            rig.input.fields.nameServers = 1;
            rig.input.settings[Setting::NameServer1] = QStringLiteral("ns1.example.net");
        } else if (setup == QLatin1String("odd registrant")) {
            rig.input.fields.domains = QStringLiteral("one.org\r\nbad name");
            for (Setting k : kContactSettings)
                rig.input.settings[k] = QStringLiteral("x");
            rig.input.settings[Setting::Phone] = QStringLiteral("555-1234");
            rig.input.settings[Setting::EMail] = QStringLiteral("ann@example.com");
            rig.input.settings[Setting::Country] = QStringLiteral("Germany");
        }
        rig.run();
        QCOMPARE(rig.verdicts(), verdicts);
        QCOMPARE(rig.line(id).text, says);
        // Told as they were decided, in their order.
        QCOMPARE(rig.told.size(), 5);
        QCOMPARE(rig.told[1].id, QStringLiteral("account"));
        // Never a check or a purchase, and nothing more after a refusal: repeated bad logins
        // may lock the account.
        for (const QString& command : rig.commands())
            QVERIFY2(command == QLatin1String("GetBalance") ||
                         command == QLatin1String("PE_GetProductPrice"),
                     qPrintable(command));
        if (setup == QLatin1String("bad login") || setup.startsWith(QLatin1String("refuse")))
            QCOMPARE(rig.commands().size(), 1);
        QCOMPARE(SetupCheck::overall(rig.lines),
                 verdicts.contains(u'N') ? Verdict::NotReady : Verdict::Ready);
    }

    // The connection's figures are the medians of what each connection took: its set-up
    // (the TCP connect and the TLS handshake) and its round trip.
    void connectionFigures() {
        CheckRig rig;
        rig.platform.connectPlan = [](const QString&, quint16) {
            SimConnectPlan plan;
            plan.delayMs = 20;
            plan.handshakeMs = 30;
            return plan;
        };
        rig.run();
        const CheckLine l = rig.line(QStringLiteral("connection"));
        QCOMPARE(l.facts.value(QStringLiteral("setup_ms")).toDouble(), 50.0);
        QCOMPARE(l.facts.value(QStringLiteral("round_trip_ms")).toDouble(), 5.0);
        QCOMPARE(l.facts.value(QStringLiteral("samples")).toInt(), SetupCheck::kProbes);
        QCOMPARE(rig.commands(), (QStringList{u"GetBalance"_s, u"GetBalance"_s, u"GetBalance"_s,
                                              u"PE_GetProductPrice"_s, u"PE_GetProductPrice"_s}));
    }
};

QTEST_GUILESS_MAIN(TestSetupCheck)
#include "tst_setupcheck.moc"
