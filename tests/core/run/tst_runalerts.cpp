#include "testing/RunRig.h"

#include <QTest>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

// What a run tells while nobody may be watching: why it stopped, a slot whose requests
// come to nothing, and a setup that is not ready before a scheduled start.
class TestRunAlerts : public QObject {
    Q_OBJECT

private slots:
    // The registrar refuses this machine's address: the run ends at once with one message
    // naming the address to allow-list, and nothing more is sent.
    void allowListRefusalStopsTheRun() {
        RunRig rig;
        rig.view.f.domains = QStringLiteral("a.com\r\nb.com");
        rig.script = [](const QByteArray&) {
            SimReply r;
            r.pieces = {addressRefusedReply("CHECK", "203.0.113.5")};
            return r;
        };
        rig.run.DoStart();
        rig.platform.advance(60000);
        QVERIFY(!rig.run.isRunning());
        QCOMPARE(rig.run.stopReason(), RunController::StopReason::AddressRefused);
        // Both slots' first requests went out together; nothing after the refusal.
        QCOMPARE(rig.platform.count(QStringLiteral("request")), 2);
        QCOMPARE(rig.prompter.shown.size(), 1);
        QCOMPARE(rig.prompter.shown[0].text,
                 QStringLiteral("The run was stopped: your account does not take requests from "
                                "203.0.113.5, the address the registrar saw. Add 203.0.113.5 to "
                                "the account's allowed IP addresses for the live environment (the "
                                "live and the test environment keep separate lists)."));
        QVERIFY(rig.view.errors.isEmpty()); // no error dialog per job
        QCOMPARE(rig.view.stops.size(), 1);
        QCOMPARE(rig.view.stops[0].first, StopReason::AddressRefused);
    }

    void everyStopIsToldWithItsReason_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<StopReason>("reason");
        QTest::addColumn<QString>("why");
        QTest::newRow("Stop") << "stop" << StopReason::User << "Stop was pressed";
        QTest::newRow("Stop All") << "stop all" << StopReason::StopAll
                                  << "Stop All was chosen for an unexpected reply";
        QTest::newRow("end time") << "end time" << StopReason::EndTime
                                  << "the end time was reached";
        QTest::newRow("rejected account") << "bad login" << StopReason::AccountRejected
                                          << "the registrar rejected the user name or password";
        QTest::newRow("certificate") << "certificate" << StopReason::CertificateFailure
                                     << "the secure connection to registrar.test failed, because "
                                        "its certificate has expired";
    }
    void everyStopIsToldWithItsReason() {
        QFETCH(QString, how);
        QFETCH(StopReason, reason);
        QFETCH(QString, why);
        RunRig rig;
        if (how == QLatin1String("end time")) {
            rig.view.f.startImmediately = 0;
            rig.view.f.startTime = QStringLiteral("10:00:02 AM");
            rig.view.f.endTime = QStringLiteral("10:00:04 AM");
        } else if (how == QLatin1String("bad login")) {
            rig.script = [](const QByteArray&) {
                SimReply r;
                r.pieces = {badLoginReply()};
                return r;
            };
        } else if (how == QLatin1String("certificate")) {
            rig.platform.connectPlan = [](const QString&, quint16) {
                SimConnectPlan plan;
                plan.handshakeFailure = QStringLiteral("its certificate has expired");
                return plan;
            };
        }
        rig.run.DoStart();
        rig.platform.advance(500);
        if (how == QLatin1String("stop"))
            rig.run.DoStart();
        else if (how == QLatin1String("stop all"))
            rig.run.stopAll();
        rig.platform.advance(10000);
        QVERIFY(!rig.run.isRunning());
        QCOMPARE(rig.view.stops.size(), 1);
        QCOMPARE(rig.view.stops[0].first, reason);
        QCOMPARE(rig.view.stops[0].second, why);
    }

    // A request that comes to nothing is told with its slot and name, once a watchdog
    // period at most; a slot whose every request has failed for a minute puts the catch
    // at risk, once.
    void failedRequestsAreTold_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("what"); // of slot 1's first failure
        QTest::newRow("refused") << "refused"
                                 << "the connection failed: Connection refused";
        QTest::newRow("never connects") << "never connects"
                                        << "no connection within 12 s";
        QTest::newRow("no reply") << "silent"
                                  << "no reply within 12 s";
        QTest::newRow("reset") << "reset"
                               << "the connection failed: Connection reset by peer";
        QTest::newRow("garbage") << "garbage"
                                 << "the reply was not the registrar's";
    }
    void failedRequestsAreTold() {
        QFETCH(QString, fault);
        QFETCH(QString, what);
        RunRig rig;
        rig.view.f.domains = QStringLiteral("one.com\r\ntwo.com");
        rig.platform.connectPlan = [fault](const QString&, quint16) {
            SimConnectPlan plan;
            if (fault == QLatin1String("refused"))
                plan.outcome = SimConnectPlan::Refuse;
            else if (fault == QLatin1String("never connects"))
                plan.outcome = SimConnectPlan::Silent;
            return plan;
        };
        rig.script = [fault](const QByteArray&) {
            SimReply r;
            if (fault == QLatin1String("silent"))
                r.silent = true;
            else if (fault == QLatin1String("reset"))
                r.resetAfter = true;
            else
                r.pieces = {"HTTP/1.1 200 OK\r\n\r\n<html>not here</html>"};
            return r;
        };
        rig.run.DoStart();
        rig.platform.advance(75000);
        QList<SlotFailure> slot1;
        for (const SlotFailure& f : rig.view.failures)
            if (f.slot == 1)
                slot1.append(f);
        QVERIFY(slot1.size() >= 5);
        QCOMPARE(slot1[0].domain, QStringLiteral("one.com"));
        QCOMPARE(slot1[0].what, what);
        for (qsizetype i = 1; i < slot1.size(); ++i)
            QVERIFY(slot1[i - 1].at.msecsTo(slot1[i].at) >= Slot::kWatchdogMs);
        QCOMPARE(rig.view.atRisk.size(), 2); // one a slot
        QVERIFY2(rig.view.atRisk[0].startsWith(QStringLiteral("Every request of slot ")),
                 qPrintable(rig.view.atRisk[0]));
        QVERIFY(rig.run.isRunning()); // told, not stopped
    }

    // A reply, even one without a rule, ends a slot's run of failures.
    void aReplyEndsTheFailures() {
        RunRig rig;
        rig.view.f.domains = QStringLiteral("one.com");
        bool failing = true;
        rig.platform.connectPlan = [&](const QString&, quint16) {
            SimConnectPlan plan;
            plan.outcome = failing ? SimConnectPlan::Refuse : SimConnectPlan::Accept;
            return plan;
        };
        rig.run.DoStart();
        rig.platform.advance(50000);
        failing = false;
        rig.platform.advance(20000);
        failing = true;
        rig.platform.advance(50000);
        QVERIFY(rig.view.atRisk.isEmpty()); // never a minute on end
        QVERIFY(!rig.view.failures.isEmpty());
        // Slot 2 has no name: its connections put nothing at risk.
        for (const SlotFailure& f : rig.view.failures)
            QCOMPARE(f.slot, 1);
    }

    // A scheduled run checks its setup when it is armed and again five minutes before
    // its start, never in its last half minute, and tells what is not ready.
    void scheduledRunChecksItsSetup() {
        RunRig rig;
        rig.run.setSetupChecks(true);
        rig.view.f.username = QStringLiteral("bad");
        rig.view.f.startImmediately = 0;
        rig.view.f.startTime = QStringLiteral("10:10:00 AM");
        rig.view.f.endTime = QStringLiteral("10:20:00 AM");
        rig.script = [&rig](const QByteArray& request) {
            SimReply r;
            r.pieces = {standInReply(request, StandInAccount{}, rig.platform.clock().now())};
            return r;
        };
        rig.run.DoStart();
        rig.platform.advance(5000);
        QCOMPARE(rig.view.checks.size(), 1);
        QCOMPARE(rig.view.atRisk.size(), 1);
        QVERIFY2(rig.view.atRisk[0].startsWith(
                     QStringLiteral("The setup is not ready for the start at 10:10:00 AM. Account "
                                    "and address: the registrar rejected the user name or "
                                    "password")),
                 qPrintable(rig.view.atRisk[0]));
        rig.platform.advanceTo(299000);
        QCOMPARE(rig.view.checks.size(), 1);
        rig.platform.advanceTo(305000);
        QCOMPARE(rig.view.checks.size(), 2);
        rig.platform.advanceTo(601000);
        QCOMPARE(rig.view.checks.size(), 2);
        // The run's own first requests at the start second; the checks' well before it.
        QList<qint64> balance;
        for (const SimEvent& e : rig.platform.log)
            if (e.what == QLatin1String("request") && e.bytes.contains("command=GetBalance"))
                balance.append(e.atMs);
        QCOMPARE(balance.size(), 2);
        QVERIFY(balance.last() < 600000 - RunController::kNoCheckWithinUs / 1000);
        QCOMPARE(rig.run.stopReason(), RunController::StopReason::AccountRejected);
    }

    // Bought names leave the rotation only when the option says so; by default they come
    // up again, as they always have.
    void stopWhenBought_data() {
        QTest::addColumn<bool>("option");
        QTest::addColumn<QStringList>("asked");
        QTest::newRow("default: checked again")
            << false
            << QStringList{u"check a.com"_s, u"purchase a.com"_s, u"check c.com"_s,
                           u"check a.com"_s};
        QTest::newRow("stop when bought") << true
                                          << QStringList{u"check a.com"_s, u"purchase a.com"_s,
                                                         u"check c.com"_s, u"check c.com"_s};
    }
    void stopWhenBought() {
        QFETCH(bool, option);
        QFETCH(QStringList, asked);
        RunRig rig;
        rig.view.f.domains = QStringLiteral("a.com\r\nb.com\r\nc.com\r\na.com");
        Options options;
        options.stopWhenBought = option;
        rig.store.setOptions(options);
        bool bought = false;
        rig.script = [&](const QByteArray& request) {
            const QString what = requested(request);
            SimReply r;
            if (what.startsWith(QLatin1String("purchase")))
                bought = true, r.pieces = {orderReply()};
            else
                r.pieces = {
                    checkReply(!bought && what == QLatin1String("check a.com") ? "210" : "211")};
            return r;
        };
        rig.run.DoStart();
        rig.platform.advance(16000);
        QCOMPARE(rig.asked(1).mid(0, asked.size()), asked);
        // Listed twice: the other slot's a.com goes too, after the check it made meanwhile.
        QCOMPARE(rig.asked(2).count(QStringLiteral("check a.com")), option ? 1 : 2);
        rig.run.DoStart();
    }
};

QTEST_GUILESS_MAIN(TestRunAlerts)
#include "tst_runalerts.moc"
