#include "testing/LoopbackRegistrar.h"
#include "testing/ObservedPlatform.h"
#include "testing/RunRig.h"

#include "core/platform/QtPlatform.h"

#include <QTest>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {

// Slot 1 checks fault.com against the misbehaving registrar; slot 2 checks healthy.com,
// which is always answered properly, so a fault that loses or doubles counts shows in
// the run's total.
const QString kList = QStringLiteral("fault.com\r\nhealthy.com");
const QString kCerts = QStringLiteral(DROVANE_TEST_DATA "/tls");

// The shortest reply that the engine counts: one byte every 100 ms ends within the
// first cycle's watchdog.
const QByteArray kShortReply = "Command=CHECK\r\nRRPCode=211\r\n";

QList<QByteArray> bytewise(const QByteArray& text) {
    QList<QByteArray> out;
    for (char c : text)
        out.append(QByteArray(1, c));
    return out;
}

QList<QByteArray> chunked(const QByteArray& text, qsizetype size) {
    QList<QByteArray> out;
    for (qsizetype at = 0; at < text.size(); at += size)
        out.append(text.mid(at, size));
    return out;
}

// A registrar reply padded with `padding` bytes of comment lines ahead of its lines.
QByteArray paddedReply(const QByteArray& code, qsizetype padding) {
    const QByteArray line = ";" + QByteArray(62, 'x') + "\r\n";
    QByteArray filler;
    filler.reserve(padding + line.size());
    while (filler.size() < padding)
        filler += line;
    const QByteArray reply = checkReply(code);
    const qsizetype body = reply.indexOf("\r\n\r\n") + 4;
    return reply.left(body) + filler + reply.mid(body);
}

const QByteArray kGarbage = "HTTP/1.1 502 Bad Gateway\r\nContent-Type: text/html\r\n\r\n"
                            "<html><body>RRPCode=210 Command= check</body></html>\r\n";

enum class Behaviour {
    Refused,
    Unresolvable,
    Silent,
    ClosedAtOnce,
    Garbage,
    ResetMidway,
    OneBytePer100ms,
    OneBytePer100msPastWatchdog,
    OneMegabyteFree,
    FiveMegabytesMarkersPastCap,
};

} // namespace

Q_DECLARE_METATYPE(Behaviour)

// Each row is a way the registrar can misbehave and what the run does about it. None
// may crash the run, count a reply that did not come whole, or lose a count.
class TestFaults : public QObject {
    Q_OBJECT

private:
    static void addColumns() {
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<int>("counted"); // replies of fault.com counted
    }

private slots:
    void initTestCase() {
        // The TLS rows' stand-in has a certificate of the tests' own authority.
        qputenv("SSL_CERT_FILE", QFile::encodeName(kCerts + QLatin1String("/test-ca.pem")));
    }

    void underVirtualTime_data() {
        addColumns();
        QTest::addColumn<qint64>("windowMs");
        QTest::addColumn<QList<qint64>>("attempts"); // slot 1's connection attempts
        QTest::addColumn<QStringList>("asked");      // slot 1's requests

        const QStringList check3 = {u"check fault.com"_s, u"check fault.com"_s,
                                    u"check fault.com"_s};
        // Without a connect event the first-cycle watchdog counts from the start; with
        // one, from the connect event 1 ms later.
        const QList<qint64> fromStart = {0, 12000, 24000};
        const QList<qint64> fromConnect = {0, 12001, 24002};
        QTest::newRow("connection refused: retried by the watchdog")
            << Behaviour::Refused << 0 << qint64(30000) << fromStart << QStringList();
        QTest::newRow("host name does not resolve: retried by the watchdog")
            << Behaviour::Unresolvable << 0 << qint64(30000) << fromStart << QStringList();
        QTest::newRow("accepted, never answered: retried by the watchdog")
            << Behaviour::Silent << 0 << qint64(30000) << fromConnect << check3;
        QTest::newRow("closed before any reply: nothing counted")
            << Behaviour::ClosedAtOnce << 0 << qint64(30000) << fromConnect << check3;
        QTest::newRow("garbage without markers: nothing counted")
            << Behaviour::Garbage << 0 << qint64(30000) << fromConnect << check3;
        QTest::newRow("reset in the middle of a reply: nothing counted")
            << Behaviour::ResetMidway << 0 << qint64(30000) << fromConnect << check3;
        // Request at 1, bytes from 6 to 2706, close at 2806; the next request is due 1 s
        // later, on a connection opened 200 ms ahead.
        QTest::newRow("one byte every 100 ms: judged once at the close")
            << Behaviour::OneBytePer100ms << 1 << qint64(3900) << QList<qint64>{0, 3606}
            << QStringList{u"check fault.com"_s, u"check fault.com"_s};
        QTest::newRow("one byte every 100 ms past the watchdog: dropped, retried")
            << Behaviour::OneBytePer100msPastWatchdog << 0 << qint64(30000) << fromConnect
            << check3;
        QTest::newRow("1 MB reply saying free: judged once, bought next")
            << Behaviour::OneMegabyteFree << 1 << qint64(1010) << QList<qint64>{0, 806}
            << QStringList{u"check fault.com"_s, u"purchase fault.com"_s};
        QTest::newRow("5 MB reply, markers past the 4 MiB cap: nothing counted")
            << Behaviour::FiveMegabytesMarkersPastCap << 0 << qint64(30000) << fromConnect
            << check3;
    }
    void underVirtualTime() {
        QFETCH(Behaviour, behaviour);
        QFETCH(int, counted);
        QFETCH(qint64, windowMs);
        QFETCH(QList<qint64>, attempts);
        QFETCH(QStringList, asked);

        RunRig rig;
        rig.view.f.delayTime = QStringLiteral("1");
        rig.view.f.domains = kList;
        rig.platform.connectPlan = [&](const QString&, quint16) {
            SimConnectPlan plan;
            // The attempt being planned is the last one logged; socket 1 is slot 1's.
            if (rig.platform.log.last().socketId != 1)
                return plan;
            if (behaviour == Behaviour::Refused)
                plan.outcome = SimConnectPlan::Refuse;
            if (behaviour == Behaviour::Unresolvable)
                plan.outcome = SimConnectPlan::Unresolvable;
            return plan;
        };
        rig.script = [&](const QByteArray& request) {
            if (!request.contains("sld=fault"))
                return rig.answer(request);
            SimReply r;
            switch (behaviour) {
            case Behaviour::Silent:
                r.silent = true;
                break;
            case Behaviour::ClosedAtOnce:
                break;
            case Behaviour::Garbage:
                r.pieces = {kGarbage};
                break;
            case Behaviour::ResetMidway: {
                const QByteArray whole = checkReply("211");
                r.pieces = {whole.left(whole.size() / 2)};
                r.resetAfter = true;
                break;
            }
            case Behaviour::OneBytePer100ms:
                r.pieces = bytewise(kShortReply);
                r.pieceGapMs = 100;
                break;
            case Behaviour::OneBytePer100msPastWatchdog:
                r.pieces = bytewise(checkReply("211"));
                r.pieceGapMs = 100;
                break;
            case Behaviour::OneMegabyteFree:
                r.pieces = chunked(paddedReply("210", 1 << 20), 64 * 1024);
                break;
            case Behaviour::FiveMegabytesMarkersPastCap:
                r.pieces = chunked(paddedReply("210", 5 << 20), 64 * 1024);
                break;
            default:
                r = rig.answer(request);
                break;
            }
            return r;
        };

        rig.run.DoStart();
        rig.platform.advance(windowMs);

        QCOMPARE(rig.times(1, QStringLiteral("connect")), attempts);
        QCOMPARE(rig.asked(1), asked);
        const auto& groups = rig.run.groups();
        QCOMPARE(groups[0]->at(1)->tries, counted);
        // Slot 2's answers all came whole, 5 ms after their requests: each is counted.
        int healthy = 0;
        for (qint64 at : rig.times(2, QStringLiteral("request")))
            healthy += at + 5 <= rig.platform.nowMs();
        QVERIFY(healthy > 0);
        QCOMPARE(groups[1]->at(1)->tries, healthy);
        QCOMPARE(rig.run.submissions(), counted + healthy);
        QVERIFY(rig.view.errors.isEmpty());
        QVERIFY(rig.prompter.shown.isEmpty());
        rig.run.DoStart();
        QVERIFY(!rig.run.isRunning());
    }

    // The same faults over real sockets on 127.0.0.1. Timers run 20 times faster here
    // (watchdog 600 ms, pacing 50 ms) to keep the table short, except where the reply
    // itself takes seconds.
    void overRealSockets_data() {
        addColumns();
        QTest::addColumn<int>("speedUp");
        QTest::addColumn<QString>("secondRequest"); // slot 1's second request
        QTest::addColumn<bool>("tls");

        // Over TLS the same faults must end the same way: a fault after the handshake is
        // no certificate failure.
        QTest::newRow("TLS: connection refused")
            << Behaviour::Refused << 0 << 20 << QString() << true;
        QTest::newRow("TLS: accepted, never answered")
            << Behaviour::Silent << 0 << 20 << "check fault.com" << true;
        QTest::newRow("TLS: garbage without markers")
            << Behaviour::Garbage << 0 << 20 << "check fault.com" << true;
        QTest::newRow("TLS: reset in the middle of a reply")
            << Behaviour::ResetMidway << 0 << 20 << "check fault.com" << true;
        QTest::newRow("TLS: one byte every 100 ms, real watchdog")
            << Behaviour::OneBytePer100ms << 1 << 1 << "check fault.com" << true;

        QTest::newRow("connection refused") << Behaviour::Refused << 0 << 20 << QString() << false;
        QTest::newRow("host name does not resolve")
            << Behaviour::Unresolvable << 0 << 20 << QString() << false;
        QTest::newRow("accepted, never answered")
            << Behaviour::Silent << 0 << 20 << "check fault.com" << false;
        QTest::newRow("closed before any reply")
            << Behaviour::ClosedAtOnce << 0 << 20 << "check fault.com" << false;
        QTest::newRow("garbage without markers")
            << Behaviour::Garbage << 0 << 20 << "check fault.com" << false;
        QTest::newRow("reset in the middle of a reply")
            << Behaviour::ResetMidway << 0 << 20 << "check fault.com" << false;
        QTest::newRow("one byte every 100 ms, real watchdog")
            << Behaviour::OneBytePer100ms << 1 << 1 << "check fault.com" << false;
        QTest::newRow("1 MB reply saying free")
            << Behaviour::OneMegabyteFree << 1 << 20 << "purchase fault.com" << false;
        QTest::newRow("5 MB reply, markers past the cap")
            << Behaviour::FiveMegabytesMarkersPastCap << 0 << 20 << "check fault.com" << false;
    }
    void overRealSockets() {
        QFETCH(Behaviour, behaviour);
        QFETCH(int, counted);
        QFETCH(int, speedUp);
        QFETCH(QString, secondRequest);
        QFETCH(bool, tls);

        const auto server = tls ? std::make_unique<LoopbackRegistrar>(
                                      LoopbackRegistrar::tlsConfiguration(kCerts, u"loopback"_s))
                                : std::make_unique<LoopbackRegistrar>();
        LoopbackRegistrar& registrar = *server;
        QVERIFY(registrar.port() != 0);
        int faultRequests = 0;
        registrar.answer = [&](const QByteArray& request) {
            LoopbackRegistrar::Answer a;
            if (!request.contains("sld=fault")) {
                a.pieces = {checkReply("211")};
                return a;
            }
            // Only the first request meets the fault; what follows it is left unanswered,
            // so that the counts stay still while the test looks at them.
            if (++faultRequests > 1) {
                a.end = LoopbackRegistrar::End::Never;
                return a;
            }
            switch (behaviour) {
            case Behaviour::Silent:
                a.end = LoopbackRegistrar::End::Never;
                break;
            case Behaviour::Garbage:
                a.pieces = {kGarbage};
                break;
            case Behaviour::ResetMidway: {
                const QByteArray whole = checkReply("211");
                a.pieces = {whole.left(whole.size() / 2)};
                a.gapMs = 50;
                a.end = LoopbackRegistrar::End::Reset;
                break;
            }
            case Behaviour::OneBytePer100ms:
                a.pieces = bytewise(kShortReply);
                a.gapMs = 100;
                break;
            case Behaviour::OneMegabyteFree:
                a.pieces = {paddedReply("210", 1 << 20)};
                break;
            case Behaviour::FiveMegabytesMarkersPastCap:
                a.pieces = {paddedReply("210", 5 << 20)};
                break;
            default:
                break;
            }
            return a;
        };

        SettingsStore store(std::make_unique<MemoryFiles>());
        store.setOptions(Options{.secure = tls});
        QtPlatform qt;
        ObservedPlatform platform(qt);
        platform.timerMap = [speedUp](int ms) { return ms / speedUp; };
        const quint16 refusing = LoopbackRegistrar::refusingPort();
        platform.route = [&](int socketId, const QString& host, quint16 port) {
            if (socketId % 2 == 1 && behaviour == Behaviour::Refused)
                return std::pair{QStringLiteral("127.0.0.1"), refusing};
            // An empty label: refused by the name check, no lookup goes out.
            if (socketId % 2 == 1 && behaviour == Behaviour::Unresolvable)
                return std::pair{QStringLiteral("registrar..invalid"), port};
            return std::pair{host, port};
        };
        int slot1Attempts = 0;
        int slot1Errors = 0;
        int slot2Replies = 0;
        platform.observer = [&](int socketId, SocketEvent e, const QByteArray&) {
            if (socketId == 1 && e == SocketEvent::Connect)
                ++slot1Attempts;
            if (socketId == 1 && e == SocketEvent::Error)
                ++slot1Errors;
            if (socketId == 2 && e == SocketEvent::ClosedByPeer)
                ++slot2Replies;
        };
        ScriptedPrompter prompter;
        FakeRunView view;
        view.f.delayTime = QStringLiteral("1");
        view.f.domains = kList;
        RunController run(store, platform, prompter, view, {},
                          {QStringLiteral("127.0.0.1"), registrar.port()});
        run.DoStart();

        // Slot 1 connects again: by its watchdog after a fault, by pacing after a reply.
        QTRY_VERIFY_WITH_TIMEOUT(slot1Attempts >= 2, 5000);
        if (behaviour == Behaviour::Refused || behaviour == Behaviour::Unresolvable)
            QVERIFY(slot1Errors >= 1);
        auto faultAsked = [&] {
            QStringList out;
            for (const QByteArray& request : registrar.requests)
                if (request.contains("sld=fault"))
                    out.append(requested(request));
            return out;
        };
        if (secondRequest.isEmpty()) {
            QVERIFY(faultAsked().isEmpty());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(faultAsked().size() >= 2, 3000);
            QCOMPARE(faultAsked().mid(0, 2), (QStringList{u"check fault.com"_s, secondRequest}));
        }
        const auto& groups = run.groups();
        QCOMPARE(groups[0]->at(1)->tries, counted);
        QCOMPARE(groups[1]->at(1)->tries, slot2Replies);
        QCOMPARE(run.submissions(), counted + slot2Replies);
        QVERIFY(view.errors.isEmpty());
        QVERIFY(prompter.shown.isEmpty());
        run.DoStart();
        QVERIFY(!run.isRunning());
    }

    // Blind sending closes the connection from inside the send-complete event, which a
    // real socket raises while the request is still being handed to the kernel. Every
    // request must still be counted once, and the socket must survive it.
    void blindSendingOverRealSockets() {
        LoopbackRegistrar registrar;
        registrar.answer = [](const QByteArray&) {
            LoopbackRegistrar::Answer a;
            a.pieces = {orderReply()};
            return a;
        };
        SettingsStore store(std::make_unique<MemoryFiles>());
        store.setOptions(Options{.secure = false});
        store.setSettings(Setting::UsePurchase, QStringLiteral("1"));
        QtPlatform qt;
        ObservedPlatform platform(qt);
        platform.timerMap = [](int ms) { return ms / 20; };
        int closedAfterSend = 0;
        bool justSent = false;
        platform.observer = [&](int, SocketEvent e, const QByteArray&) {
            if (e == SocketEvent::Close && justSent)
                ++closedAfterSend;
            justSent = e == SocketEvent::SendComplete;
        };
        ScriptedPrompter prompter;
        FakeRunView view;
        view.f.delayTime = QStringLiteral("1");
        view.f.domains = kList;
        RunController run(store, platform, prompter, view, {},
                          {QStringLiteral("127.0.0.1"), registrar.port()});
        run.DoStart();
        QTRY_VERIFY_WITH_TIMEOUT(registrar.requests.size() >= 40, 5000);
        run.DoStart();
        QVERIFY(closedAfterSend > 0);
        // At most one request per slot was in flight when the run stopped.
        QVERIFY2(run.submissions() <= registrar.requests.size() &&
                     run.submissions() >= registrar.requests.size() - 2,
                 qPrintable(QStringLiteral("%1 counted, %2 sent")
                                .arg(run.submissions())
                                .arg(registrar.requests.size())));
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
