#include "testing/RunRig.h"

#include <QFile>
#include <QTest>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

// One slot's clockwork under virtual time: pacing, watchdog, purchases, blind sending.
class TestSlotCycle : public QObject {
    Q_OBJECT

private slots:
    void pacingWaitsTheIntervalAfterEachAnswer_data() {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<qint64>("gapMs");
        QTest::newRow("5 s") << "5" << qint64(5000);
        QTest::newRow("1 s") << "1" << qint64(1000);
        QTest::newRow("1.5 s") << "1.5" << qint64(1500);
        QTest::newRow("0.5 s") << "0.5" << qint64(500);
        QTest::newRow("0.1 s, shorter than the lead") << ".1" << qint64(100);
        QTest::newRow("999 s") << "999" << qint64(999000);
    }
    void pacingWaitsTheIntervalAfterEachAnswer() {
        QFETCH(QString, interval);
        QFETCH(qint64, gapMs);
        RunRig rig;
        rig.view.f.delayTime = interval;
        rig.view.f.domains = QStringLiteral("one.com");
        rig.run.DoStart();
        rig.platform.advance(3 * gapMs + 100);
        const QList<qint64> connects = rig.times(1, QStringLiteral("connect"));
        const QList<qint64> requests = rig.times(1, QStringLiteral("request"));
        QVERIFY(requests.size() >= 3);
        // The answer comes 5 ms after the request; pacing counts from there, and the
        // request leaves at that moment on a connection opened 200 ms ahead (three times
        // the 1 ms set-up, raised to the least lead) or at once when the wait is shorter.
        QCOMPARE(requests[1] - (requests[0] + 5), gapMs);
        QCOMPARE(requests[2] - (requests[1] + 5), gapMs);
        QCOMPARE(connects[1], requests[0] + 5 + std::max<qint64>(0, gapMs - 200));
        QCOMPARE(rig.run.submissions(), 4);
    }

    // Interval 1, one name: the first request goes out at 1 and is answered at 6, so the
    // next is due at 1006, on a connection opened 200 ms ahead (three times the 1 ms
    // set-up, raised to the least lead).
    void connectionOpenedAheadCarriesTheRequestWhenDue_data() {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QList<qint64>>("connects");
        QTest::addColumn<QList<qint64>>("requests");
        QTest::newRow("held until due")
            << "plain" << QList<qint64>{0, 806} << QList<qint64>{1, 1006};
        QTest::newRow("closed by the peer before use: reopened at once")
            << "closes once" << QList<qint64>{0, 806, 857} << QList<qint64>{1, 1006};
        QTest::newRow("closed again and again: connected when due")
            << "closes always" << QList<qint64>{0, 806, 857, 908, 1006} << QList<qint64>{1, 1007};
        QTest::newRow("due while still opening: written at the connect event")
            << "slow" << QList<qint64>{0, 806} << QList<qint64>{1, 1306};
        // The watchdog counts from the due moment, not from the opening ahead.
        QTest::newRow("never completes: the watchdog reconnects 8 s after the due moment")
            << "silent" << QList<qint64>{0, 806, 9006} << QList<qint64>{1, 9007};
        // A 100 ms handshake is part of the set-up: the lead is three times 101 ms.
        QTest::newRow("encrypted: the handshake counts in the lead")
            << "handshake" << QList<qint64>{0, 803} << QList<qint64>{101, 1106};
    }
    void connectionOpenedAheadCarriesTheRequestWhenDue() {
        QFETCH(QString, peer);
        QFETCH(QList<qint64>, connects);
        QFETCH(QList<qint64>, requests);
        RunRig rig;
        rig.view.f.delayTime = QStringLiteral("1");
        rig.view.f.domains = QStringLiteral("one.com");
        int attempts = 0;
        rig.platform.connectPlan = [&](const QString&, quint16) {
            SimConnectPlan plan;
            if (peer == QLatin1String("handshake"))
                plan.handshakeMs = 100;
            if (rig.platform.log.last().socketId != 1 || ++attempts == 1)
                return plan;
            if (peer == QLatin1String("closes always") ||
                (peer == QLatin1String("closes once") && attempts == 2))
                plan.closeIdleAfterMs = 50;
            if (peer == QLatin1String("slow") && attempts == 2)
                plan.delayMs = 500;
            if (peer == QLatin1String("silent") && attempts == 2)
                plan.outcome = SimConnectPlan::Silent;
            return plan;
        };
        rig.run.DoStart();
        rig.platform.advanceTo(std::max(connects.last(), requests.last()) + 2);
        QCOMPARE(rig.times(1, QStringLiteral("connect")), connects);
        QCOMPARE(rig.times(1, QStringLiteral("request")), requests);
        QCOMPARE(rig.run.submissions(), 1);
    }

    void editedIntervalAppliesFromTheNextWait() {
        RunRig rig;
        rig.view.f.delayTime = QStringLiteral("1");
        rig.view.f.domains = QStringLiteral("one.com");
        rig.run.DoStart();
        rig.platform.advanceTo(500);
        rig.view.f.delayTime = QStringLiteral("0.25");
        rig.platform.advanceTo(1600);
        // Answered at 6: that wait keeps its 1 s; the next, from 1011, is 250 ms.
        QCOMPARE(rig.times(1, QStringLiteral("request")).mid(0, 4),
                 (QList<qint64>{1, 1006, 1261, 1516}));
    }

    // a.com is free; slot 1 holds a.com and b.com. Buying at once, the purchase goes out
    // the moment the free reply comes (6 ms), on a connection opened beside the check.
    void buyAtOnce_data() {
        QTest::addColumn<QByteArray>("purchaseReply");
        QTest::addColumn<bool>("runGoesOn");
        QTest::newRow("ordered") << orderReply() << true;
        QTest::newRow("taken meanwhile: pacing goes on, the name stays")
            << registrarReply("PURCHASE", "RRPCode=540\r\nRRPText=Domain not available\r\n")
            << true;
        QTest::newRow("bad login: the run stops") << badLoginReply() << false;
    }
    void buyAtOnce() {
        QFETCH(QByteArray, purchaseReply);
        QFETCH(bool, runGoesOn);
        RunRig rig;
        Options options = rig.store.options();
        options.buyAtOnce = true;
        rig.store.setOptions(options);
        rig.view.f.delayTime = QStringLiteral("5");
        rig.view.f.domains = QStringLiteral("a.com\r\nx.com\r\nb.com");
        rig.free = {QStringLiteral("a.com")};
        rig.script = [&](const QByteArray& request) {
            if (!requested(request).startsWith(QLatin1String("purchase")))
                return rig.answer(request);
            SimReply r;
            r.pieces = {purchaseReply};
            return r;
        };
        rig.run.DoStart();
        rig.platform.advance(16000);

        QStringList slot1;
        QList<qint64> at;
        for (const SimEvent& e : rig.platform.log)
            if (e.what == QLatin1String("request") &&
                requested(e.bytes) != QLatin1String("check x.com")) {
                slot1.append(requested(e.bytes));
                at.append(e.atMs);
            }
        if (!runGoesOn) {
            QVERIFY(!rig.run.isRunning());
            QCOMPARE(slot1, (QStringList{u"check a.com"_s, u"purchase a.com"_s}));
            QCOMPARE(at, (QList<qint64>{1, 6}));
            QCOMPARE(rig.prompter.shown.size(), 1);
            QCOMPARE(rig.platform.count(QStringLiteral("request")), 3);
            return;
        }
        // Pacing goes on from the purchase's reply (11 ms); a.com is asked again in turn.
        QCOMPARE(slot1.mid(0, 4), (QStringList{u"check a.com"_s, u"purchase a.com"_s,
                                               u"check b.com"_s, u"check a.com"_s}));
        QCOMPARE(at.mid(0, 4), (QList<qint64>{1, 6, 5011, 10016}));
        QCOMPARE(rig.run.groups()[0]->size(), 2);
        QVERIFY(rig.view.errors.isEmpty());
        // Without the option the purchase waits for the interval.
        RunRig slow;
        slow.view.f.delayTime = QStringLiteral("5");
        slow.view.f.domains = rig.view.f.domains;
        slow.free = rig.free;
        slow.run.DoStart();
        slow.platform.advance(6000);
        QCOMPARE(slow.times(1, QStringLiteral("request")), (QList<qint64>{1, 5006}));
    }

    // A 100 ms handshake, twenty times the check's 5 ms round trip: the purchase's
    // connection is set up beside the check's, not when the check is written, so the
    // purchase still leaves the moment the "free" reply comes.
    void buyAtOnceOverSlowHandshakes_data() {
        QTest::addColumn<QString>("domains");
        QTest::addColumn<bool>("scheduled");
        QTest::addColumn<qint64>("checkAt");
        QTest::newRow("first check of a run") << "a.com" << false << qint64(101);
        // x.com answered at 106; a.com due at 1106, both connections opened 303 ms ahead
        // (three times the 101 ms set-up).
        QTest::newRow("a paced check") << "x.com\r\ny.com\r\na.com" << false << qint64(1106);
        // Nothing measured yet: both are opened 2 s ahead of the named second.
        QTest::newRow("first check of a scheduled run") << "a.com" << true << qint64(10000);
    }
    void buyAtOnceOverSlowHandshakes() {
        QFETCH(QString, domains);
        QFETCH(bool, scheduled);
        QFETCH(qint64, checkAt);
        RunRig rig;
        Options options = rig.store.options();
        options.buyAtOnce = true;
        rig.store.setOptions(options);
        rig.view.f.delayTime = QStringLiteral("1");
        rig.view.f.domains = domains;
        if (scheduled) {
            rig.view.f.startImmediately = 0;
            rig.view.f.startTime = QStringLiteral("10:00:10 AM");
            rig.view.f.endTime = QStringLiteral("10:05:00 AM");
        }
        rig.free = {QStringLiteral("a.com")};
        rig.platform.connectPlan = [](const QString&, quint16) {
            SimConnectPlan plan;
            plan.handshakeMs = 100;
            return plan;
        };
        rig.run.DoStart();
        rig.platform.advanceTo(checkAt + 50);
        QList<qint64> at;
        QStringList asked;
        for (const SimEvent& e : rig.platform.log)
            if (e.what == QLatin1String("request") &&
                requested(e.bytes).endsWith(QLatin1String("a.com"))) {
                at.append(e.atMs);
                asked.append(requested(e.bytes));
            }
        QCOMPARE(asked, (QStringList{u"check a.com"_s, u"purchase a.com"_s}));
        QCOMPARE(at, (QList<qint64>{checkAt, checkAt + 5}));
        // Each request had a connection of its own, and none more was opened for slot 1.
        QCOMPARE(rig.run.slot(1)->stats().fellBack, 0);
        QCOMPARE(rig.run.slot(1)->stats().dueWhileOpening, 0);
    }

    void watchdogRecoversSilentAndRefusedConnections() {
        RunRig rig;
        rig.view.f.domains = QStringLiteral("one.com");
        int attempts = 0;
        // First attempt refused, then one answer, then silence.
        rig.platform.connectPlan = [&](const QString&, quint16) {
            SimConnectPlan plan;
            plan.outcome = ++attempts == 1 ? SimConnectPlan::Refuse : SimConnectPlan::Accept;
            return plan;
        };
        int answered = 0;
        rig.script = [&](const QByteArray& request) {
            SimReply reply = rig.answer(request);
            reply.silent = answered++ > 0;
            return reply;
        };
        rig.run.DoStart();
        rig.platform.advance(60000);
        const QList<qint64> c = rig.times(1, QStringLiteral("connect"));
        QVERIFY(c.size() >= 5);
        QCOMPARE(c[0], 0);
        // The refused first attempt is retried by the first-cycle watchdog.
        QCOMPARE(c[1], 12000);
        // Answered at 12006; the next request is due 5 s later, at 17006, on a connection
        // opened 200 ms ahead; the 8 s watchdog counts from that request's write, then from
        // each connect event (1 ms after the attempt).
        QCOMPARE(c[2], 17006 - 200);
        QCOMPARE(rig.times(1, QStringLiteral("request"))[1], 17006);
        QCOMPARE(c[3], 17006 + 8000);
        QCOMPARE(c[4], c[3] + 1 + 8000);
        QCOMPARE(rig.run.submissions(), 1);
    }

    void firstCycleWatchdogIsTwelveSeconds() {
        RunRig rig;
        rig.view.f.domains = QStringLiteral("one.com");
        rig.script = [](const QByteArray&) {
            SimReply reply;
            reply.silent = true;
            return reply;
        };
        rig.run.DoStart();
        rig.platform.advance(30000);
        const QList<qint64> c = rig.times(1, QStringLiteral("connect"));
        QCOMPARE(c.mid(0, 3), (QList<qint64>{0, 12001, 24002}));
    }

    void freeNameIsBoughtAtTheNextConnectionAndStaysInRotation() {
        RunRig rig;
        rig.view.f.delayTime = QStringLiteral("1");
        rig.view.f.logging = 1;
        rig.view.f.domains = QStringLiteral("a.com\r\nb.com\r\nc.com\r\nd.com");
        rig.free = {QStringLiteral("a.com")};
        rig.run.DoStart();
        rig.platform.advance(4600);
        QCOMPARE(rig.asked(1), (QStringList{u"check a.com"_s, u"purchase a.com"_s, u"check c.com"_s,
                                            u"check a.com"_s, u"purchase a.com"_s}));
        QCOMPARE(rig.asked(2).mid(0, 3),
                 (QStringList{u"check b.com"_s, u"check d.com"_s, u"check b.com"_s}));
        const auto a = rig.run.groups()[0]->at(1);
        QCOMPARE(a->domain, QStringLiteral("a.com"));
        QCOMPARE(a->tries, 4);
        QVERIFY(!a->buyNext);

        QFile log(rig.store.logPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        QStringList aLines;
        for (const QByteArray& line : log.readAll().split('\n'))
            if (line.contains(" - a.com - "))
                aLines.append(QString::fromLatin1(line.mid(line.indexOf(" - a.com"))).trimmed());
        QCOMPARE(aLines, (QStringList{u"- a.com - Tries: 1"_s, u"- a.com - Tries: 2"_s,
                                      u"- a.com - Tries: 3"_s, u"- a.com - Tries: 4"_s}));
        QCOMPARE(log.permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());

        // The faces see the same story: free, then ordered with its order id.
        QStringList seen;
        for (const ReplyEvent& e : rig.view.replies)
            if (e.domain == QLatin1String("a.com") && e.tries <= 2)
                seen.append(QStringLiteral("%1 %2 %3 %4")
                                .arg(e.slot)
                                .arg(int(e.outcome))
                                .arg(e.tries)
                                .arg(e.orderId));
        QCOMPARE(seen,
                 (QStringList{
                     QStringLiteral("1 %1 1 ").arg(int(ReplyEvent::Outcome::Free)),
                     QStringLiteral("1 %1 2 157237889").arg(int(ReplyEvent::Outcome::Ordered))}));
        QCOMPARE(rig.view.replies.first().at.timeSpec(), Qt::UTC);
    }

    void blindSendingStartsAfterTenSubmissions_data() {
        QTest::addColumn<int>("answered");
        QTest::addColumn<bool>("blind");
        QTest::newRow("counter at 10: the answer is awaited") << 10 << false;
        QTest::newRow("counter at 11: no answer is awaited") << 11 << true;
    }
    void blindSendingStartsAfterTenSubmissions() {
        QFETCH(int, answered);
        QFETCH(bool, blind);
        RunRig rig;
        rig.store.setSettings(Setting::UsePurchase, QStringLiteral("1"));
        rig.view.f.delayTime = QStringLiteral("1");
        rig.view.f.logging = 1;
        rig.view.f.domains = QStringLiteral("one.com");
        int requests = 0;
        rig.script = [&](const QByteArray& request) {
            SimReply reply = rig.answer(request);
            reply.silent = ++requests > answered;
            return reply;
        };
        rig.run.DoStart();
        rig.platform.advance(60000);
        if (!blind) {
            QCOMPARE(rig.run.submissions(), 10);
            return;
        }
        // One blind purchase a second from then on, each closed at once and counted.
        QVERIFY(rig.run.submissions() > 50);
        const auto job = rig.run.groups()[0]->at(1);
        QCOMPARE(int(job->tries), rig.run.submissions());
        QFile log(rig.store.logPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = log.readAll().split('\n');
        // The first blind line shows the count before that request is added.
        QVERIFY(lines[11].endsWith("Tries: 11\r"));
        QVERIFY(lines[12].endsWith("Tries: 12\r"));
    }

    void replySplitAnywhereIsJudgedOnce_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("contentLength");
        QTest::newRow("free, ends at the close") << checkReply("210") << false;
        QTest::newRow("free, with Content-Length")
            << registrarReply("CHECK", "RRPCode=210\r\nRRPText=Domain available\r\n", true) << true;
        QTest::newRow("error line")
            << registrarReply("CHECK", "RRPCode=545\r\nErr1=Entered domain not valid\r\n") << false;
    }
    void replySplitAnywhereIsJudgedOnce() {
        QFETCH(QByteArray, reply);
        const bool free = reply.contains("RRPCode=210");
        for (int cut = 1; cut < reply.size(); ++cut) {
            RunRig rig;
            rig.view.f.domains = QStringLiteral("one.com");
            rig.script = [&](const QByteArray&) {
                SimReply r;
                r.pieces = {reply.left(cut), reply.mid(cut)};
                r.pieceGapMs = 50;
                return r;
            };
            rig.run.DoStart();
            rig.platform.advance(200);
            const auto job = rig.run.groups()[0]->at(1);
            QCOMPARE(rig.run.submissions(), 1);
            QCOMPARE(int(job->tries), 1);
            QCOMPARE(job->buyNext, free);
            QCOMPARE(rig.view.errors.size(), free ? 0 : 1);
        }
    }

    void serverErrorOpensADialogAndTheWatchdogGoesOn() {
        RunRig rig;
        rig.view.f.domains = QStringLiteral("one.com");
        rig.script = [](const QByteArray&) {
            SimReply r;
            r.pieces = {registrarReply(
                "PURCHASE", "RRPCode=545\r\nErr1=Domain name not available for registration\r\n")};
            return r;
        };
        rig.run.DoStart();
        rig.platform.advance(30000);
        // No pacing: the slot reconnects by its 12 s watchdog, one dialog per answer.
        QCOMPARE(rig.times(1, QStringLiteral("connect")), (QList<qint64>{0, 12001, 24002}));
        QCOMPARE(rig.view.errors.size(), 3);
        const ServerErrorReport& e = rig.view.errors[0];
        QCOMPARE(e.description, QStringLiteral("Domain name not available for registration"));
        QCOMPARE(e.reference, QStringLiteral("1-1"));
        QCOMPARE(e.domain, QStringLiteral("one.com"));
        QCOMPARE(rig.run.submissions(), 3);
    }

    void anUnwritableLogStillBuys() {
        RunRig rig;
        rig.view.f.delayTime = QStringLiteral("1");
        rig.view.f.logging = 1;
        rig.view.f.domains = QStringLiteral("a.com");
        rig.free = {QStringLiteral("a.com")};
        // A folder where the log should be: no one, not even root, can append to it.
        QVERIFY(QDir(rig.dir.path()).mkdir(QStringLiteral("enomlog.txt")));
        rig.run.DoStart();
        rig.platform.advance(3500);
        QCOMPARE(rig.asked(1).mid(0, 3),
                 (QStringList{u"check a.com"_s, u"purchase a.com"_s, u"check a.com"_s}));
        // Told once per run, after the handler, not once per line.
        QCOMPARE(rig.prompter.shown.size(), 1);
        QVERIFY(rig.prompter.shown[0].text.contains(QLatin1String("enomlog.txt")));
    }
};

QTEST_GUILESS_MAIN(TestSlotCycle)
#include "tst_slotcycle.moc"
