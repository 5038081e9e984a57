#include "testing/Groups.h"
#include "testing/RunRig.h"

#include <QFile>
#include <QTest>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {
const QString kSchedule = QStringLiteral(
    "WARNING: Use of this program for over 30 minutes is not recommended and may cause eNom "
    "account suspension. Are you sure you wish to use these start and stop times?");
const QString kContacts = QStringLiteral(
    "Please enter a valid First Name, Last Name, Phone Number, Address, City, Country, and "
    "E-Mail address in the settings screen to register a .info, .biz, or .co.uk domain!");
const QString kLegal = QStringLiteral("Please select a valid Contact Legal Type in the settings "
                                      "screen in order to register a .co.uk domain name!");

void fillContacts(SettingsStore& store) {
    for (int k = 6; k <= 12; ++k)
        store.setSettings(Setting(k), QStringLiteral("x"));
}
} // namespace

// Starting and stopping runs: the checks, the dealing, the schedule and the dialogs' choices.
class TestRunController : public QObject {
    Q_OBJECT

private slots:
    void startChecks_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("contacts");
        QTest::addColumn<QString>("legalType");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");

        const QList<bool> none;
        QTest::newRow("no interval") << "delay"
                                     << "" << true << "1$PLC" << none << "critical"
                                     << "Please enter a valid delay for domain requests!";
        QTest::newRow("only blank lines") << "domains"
                                          << "\r\n\r\n\r\n"
                                          << true << "1$PLC" << none << "critical"
                                          << "Please enter valid domain names!";
        QTest::newRow("no user") << "username"
                                 << "" << true << "1$PLC" << none << "critical"
                                 << "Please enter a valid username!";
        QTest::newRow("no password") << "password"
                                     << "" << true << "1$PLC" << none << "critical"
                                     << "Please enter a valid password!";
        QTest::newRow("bad start time") << "start"
                                        << "25:99" << true << "1$PLC" << none << "critical"
                                        << "Please enter a valid Start Time!";
        QTest::newRow("bad end time") << "end"
                                      << "" << true << "1$PLC" << none << "critical"
                                      << "Please enter a valid End Time!";
        QTest::newRow("31 minutes, declined")
            << "end"
            << "10:31 PM" << true << "1$PLC" << none << "question" << kSchedule;
        QTest::newRow("31 minutes, accepted")
            << "end"
            << "10:31 PM" << true << "1$PLC" << QList<bool>{true} << "started"
            << "";
        QTest::newRow("30 minutes ask nothing")
            << "end"
            << "10:30 PM" << true << "1$PLC" << none << "started"
            << "";
        QTest::newRow("across midnight asks")
            << "window"
            << "11:50 PM|12:10 AM" << true << "1$PLC" << none << "question" << kSchedule;
        QTest::newRow("shop.organic.com needs contacts")
            << "domains"
            << "shop.organic.com" << false << "1$PLC" << none << "notice" << kContacts;
        QTest::newRow("EXAMPLE.ORG does not")
            << "domains"
            << "EXAMPLE.ORG" << false << "-1$" << none << "started"
            << "";
        QTest::newRow("co.uk without contacts: contacts first")
            << "domains"
            << "x.co.uk" << false << "-1$" << none << "notice" << kContacts;
        QTest::newRow("co.uk without legal type")
            << "domains"
            << "x.co.uk" << true << "-1$" << none << "notice" << kLegal;
        QTest::newRow("co.uk with empty legal type")
            << "domains"
            << "x.co.uk" << true << "" << none << "notice" << kLegal;
        QTest::newRow("co.uk with legal type") << "domains"
                                               << "x.co.uk" << true << "4$STRA" << none << "started"
                                               << "";
        QTest::newRow("a line that is no name asks first")
            << "domains"
            << "one.com\r\nbad name" << true << "1$PLC" << none << "question"
            << "A line of the list is not a domain name and would be sent as it stands:\n\n"
               "line 2, \"bad name\": it holds a blank\n\nStart anyway?";
        QTest::newRow("immediate start ignores the times")
            << "immediate"
            << "" << false << "-1$" << none << "started"
            << "";
    }
    void startChecks() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(bool, contacts);
        QFETCH(QString, legalType);
        QFETCH(QList<bool>, answers);
        QFETCH(QString, kind);
        QFETCH(QString, message);

        RunRig rig;
        MainFields& f = rig.view.f;
        f.startImmediately = 0;
        f.startTime = QStringLiteral("10:00 PM");
        f.endTime = QStringLiteral("10:15 PM");
        if (contacts)
            fillContacts(rig.store);
        rig.store.setSettings(Setting::LegalType, legalType);
        rig.prompter.answers = answers;
        if (field == QLatin1String("delay"))
            f.delayTime = value;
        else if (field == QLatin1String("domains"))
            f.domains = value;
        else if (field == QLatin1String("username"))
            f.username = value;
        else if (field == QLatin1String("password"))
            f.password = value;
        else if (field == QLatin1String("start"))
            f.startTime = value;
        else if (field == QLatin1String("end"))
            f.endTime = value;
        else if (field == QLatin1String("window"))
            f.startTime = value.section(u'|', 0, 0), f.endTime = value.section(u'|', 1, 1);
        else if (field == QLatin1String("immediate"))
            f.startImmediately = 1, f.startTime = f.endTime = QStringLiteral("nonsense");

        rig.run.DoStart();
        if (kind == QLatin1String("started")) {
            QVERIFY(rig.run.isRunning());
            QVERIFY(rig.view.running);
            QCOMPARE(rig.prompter.shown.size(), answers.size());
            return;
        }
        QVERIFY(!rig.run.isRunning());
        QCOMPARE(rig.view.runStateChanges, 0);
        QCOMPARE(rig.prompter.shown.size(), 1);
        QCOMPARE(rig.prompter.shown[0].kind, kind);
        QCOMPARE(rig.prompter.shown[0].text, message);
        QCOMPARE(rig.prompter.shown[0].title, kind == QLatin1String("critical") ? rig.view.caption()
                                              : kind == QLatin1String("notice")
                                                  ? QStringLiteral("Drovane")
                                                  : QStringLiteral("WARNING"));
        QCOMPARE(rig.platform.count(QStringLiteral("connect")), 0);
    }

    void refusedStartStillSavesTheFiles() {
        RunRig rig;
        rig.view.f.domains = QStringLiteral("\r\n\r\n");
        rig.run.DoStart();
        QVERIFY(!rig.run.isRunning());
        QVERIFY(rig.files->files.contains(QStringLiteral("settings.dat")));
        // Saved before the clean-up.
        QCOMPARE(rig.files->files.value(QStringLiteral("domains.dat")), QByteArray("\r\n\r\n\r\n"));
    }

    void runHeldElsewhereIsRefusedBeforeAnythingIsSent() {
        RunRig rig;
        rig.files->heldElsewhere.insert(FolderRole::Run, {u"drovane-cli"_s, 4242, u"srv1"_s});
        rig.run.DoStart();
        QVERIFY(!rig.run.isRunning());
        QVERIFY(rig.run.folderInUse());
        QCOMPARE(rig.view.runStateChanges, 0);
        QCOMPARE(rig.prompter.shown.size(), 1);
        QCOMPARE(rig.prompter.shown[0].kind, QStringLiteral("critical"));
        QVERIFY(rig.prompter.shown[0].text.contains(
            QStringLiteral("drovane-cli, process 4242 on srv1")));
        QCOMPARE(rig.platform.count(QStringLiteral("connect")), 0);

        // Let go by the other run: the next start runs and holds the folder until it stops.
        rig.files->heldElsewhere.clear();
        rig.run.DoStart();
        QVERIFY(rig.run.isRunning() && !rig.run.folderInUse());
        QVERIFY(rig.files->holds(FolderRole::Run));
        rig.run.DoStart();
        QVERIFY(!rig.files->holds(FolderRole::Run));
    }

    void failedSaveAtStartNeitherStopsNorWaits() {
        RunRig rig;
        rig.view.f.domains = QStringLiteral("a.com");
        rig.files->failWith = QStringLiteral("disk full");
        rig.run.DoStart();
        QVERIFY(rig.run.isRunning());
        QVERIFY(rig.prompter.shown.isEmpty()); // the slots connect before anyone is asked
        QCOMPARE(rig.times(1, QStringLiteral("connect")), QList<qint64>{0});
        rig.platform.advance(1);
        QCOMPARE(rig.prompter.shown.size(), 1);
        QVERIFY(rig.prompter.shown[0].text.contains(QStringLiteral("disk full")));
        QVERIFY(rig.run.isRunning());
    }

    void listIsCleanedAndDealtToBothSlots_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("cleaned");
        QTest::addColumn<QStringList>("slot1");
        QTest::addColumn<QStringList>("slot2");
        QTest::newRow("five names") << "one.com\r\ntwo.com\r\nthree.com\r\nfour.com\r\nfive.com"
                                    << "one.com\r\ntwo.com\r\nthree.com\r\nfour.com\r\nfive.com"
                                    << QStringList{u"one.com"_s, u"three.com"_s, u"five.com"_s}
                                    << QStringList{u"two.com"_s, u"four.com"_s};
        QTest::newRow("blank lines everywhere")
            << "\r\na.com\r\n\r\n\r\nb.com\r\n"
            << "a.com\r\nb.com" << QStringList{u"a.com"_s} << QStringList{u"b.com"_s};
        QTest::newRow("one name") << "solo.com"
                                  << "solo.com" << QStringList{u"solo.com"_s} << QStringList{};
    }
    void listIsCleanedAndDealtToBothSlots() {
        QFETCH(QString, list);
        QFETCH(QString, cleaned);
        QFETCH(QStringList, slot1);
        QFETCH(QStringList, slot2);
        RunRig rig;
        rig.view.f.domains = list;
        rig.run.DoStart();
        QVERIFY(rig.run.isRunning());
        QCOMPARE(rig.view.f.domains, cleaned);
        const QStringList expected[2] = {slot1, slot2};
        for (int i = 0; i < 2; ++i) {
            const DomainGroup& g = *rig.run.groups()[i];
            QCOMPARE(namesOf(g), expected[i]);
            QCOMPARE(g.cursor, g.size() > 0 ? 1 : 0);
        }
        // Both slots connect, even one with nothing to ask.
        QCOMPARE(rig.times(1, QStringLiteral("connect")), QList<qint64>{0});
        QCOMPARE(rig.times(2, QStringLiteral("connect")), QList<qint64>{0});
    }

    void badLoginFromBothSlotsStopsOnceWithOneMessage() {
        RunRig rig;
        rig.view.f.domains = QStringLiteral("a.com\r\nb.com");
        rig.script = [](const QByteArray&) {
            SimReply r;
            r.pieces = {badLoginReply()};
            return r;
        };
        rig.run.DoStart();
        rig.platform.advance(60000);
        QVERIFY(!rig.run.isRunning());
        QCOMPARE(rig.view.runStateChanges, 2);
        QCOMPARE(rig.prompter.shown.size(), 1);
        QCOMPARE(rig.prompter.shown[0].text,
                 QStringLiteral(
                     "Your username or password is invalid. Please check them and fix the error."));
        // The submission was still counted, and nothing more was asked.
        QCOMPARE(rig.view.submissions, 1);
        QCOMPARE(rig.platform.count(QStringLiteral("request")), 2);
        QVERIFY(rig.run.groups().isEmpty());
        QCOMPARE(rig.run.stopReason(), RunController::StopReason::AccountRejected);
        // A later stop by hand is the user's again.
        rig.script = nullptr;
        rig.run.DoStart();
        rig.run.DoStart();
        QCOMPARE(rig.run.stopReason(), RunController::StopReason::User);
    }

    // Where a run connects and how, as the options say: TLS on 443 unless turned off, the
    // live host unless the test environment is chosen.
    void optionsChooseHostPortAndTransport_data() {
        QTest::addColumn<bool>("secure");
        QTest::addColumn<bool>("testEnvironment");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("default: TLS to the live host") << true << false << "registrar.test" << 443;
        QTest::newRow("plain HTTP") << false << false << "registrar.test" << 80;
        QTest::newRow("test environment, plain") << false << true << "resellertest.enom.com" << 80;
    }
    void optionsChooseHostPortAndTransport() {
        QFETCH(bool, secure);
        QFETCH(bool, testEnvironment);
        QFETCH(QString, host);
        QFETCH(int, port);
        RunRig rig;
        rig.view.f.domains = QStringLiteral("a.com\r\nb.com");
        rig.store.setOptions(Options{.secure = secure, .testEnvironment = testEnvironment});
        QStringList reached;
        rig.platform.connectPlan = [&](const QString& h, quint16 p) {
            reached.append(QStringLiteral("%1:%2").arg(h).arg(p));
            return SimConnectPlan{};
        };
        rig.run.DoStart();
        rig.platform.advance(10);
        const QString where = QStringLiteral("%1:%2").arg(host).arg(port);
        QCOMPARE(reached, (QStringList{where, where}));
        // Over TLS the request waits for the handshake.
        QCOMPARE(rig.platform.count(QStringLiteral("handshake")), secure ? 2 : 0);
        QCOMPARE(rig.asked(1), QStringList{u"check a.com"_s});
        rig.run.DoStart();

        // The next start follows the options as they are then.
        rig.store.setOptions(Options{.secure = !secure, .testEnvironment = false});
        reached.clear();
        rig.run.DoStart();
        rig.platform.advance(10);
        QCOMPARE(reached.value(0), QStringLiteral("registrar.test:%1").arg(secure ? 80 : 443));
    }

    void certificateFailureStopsTheRunWithNothingSent() {
        RunRig rig;
        rig.view.f.domains = QStringLiteral("a.com\r\nb.com");
        rig.platform.connectPlan = [](const QString&, quint16) {
            SimConnectPlan plan;
            plan.handshakeMs = 3;
            plan.handshakeFailure = QStringLiteral("its certificate has expired");
            return plan;
        };
        rig.run.DoStart();
        rig.platform.advance(60000);
        QVERIFY(!rig.run.isRunning());
        QCOMPARE(rig.run.stopReason(), RunController::StopReason::CertificateFailure);
        QCOMPARE(rig.platform.count(QStringLiteral("request")), 0);
        // Not retried by the watchdog: the certificate would not change.
        QCOMPARE(rig.platform.count(QStringLiteral("connect")), 2);
        QCOMPARE(rig.prompter.shown.size(), 1);
        QCOMPARE(rig.prompter.shown[0].text,
                 QStringLiteral("The run was stopped: the secure connection to registrar.test "
                                "failed, because its certificate has expired. Your account was "
                                "not sent."));
        QCOMPARE(rig.view.runStateChanges, 2);
    }

    void stopCurrentDropsTheJobItWasOpenedFor_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QList<int>>("pressed"); // which slot-1 dialogs, in order
        QTest::addColumn<QStringList>("left");
        QTest::newRow("two dialogs for the same job")
            << "a.com\r\nx.com" << QList<int>{0, 1} << QStringList{};
        // c.com's dialog says 1-3; after a.com is dropped c.com stands at 2, and position 3
        // no longer exists: c.com is still the one dropped.
        QTest::newRow("after an earlier removal") << "a.com\r\nx.com\r\nb.com\r\ny.com\r\nc.com"
                                                  << QList<int>{0, 2} << QStringList{u"b.com"_s};
    }
    void stopCurrentDropsTheJobItWasOpenedFor() {
        QFETCH(QString, list);
        QFETCH(QList<int>, pressed);
        QFETCH(QStringList, left);
        RunRig rig;
        rig.view.f.domains = list;
        rig.script = [](const QByteArray&) {
            SimReply r;
            r.pieces = {registrarReply("CHECK", "RRPCode=545\r\nErr1=Registry error\r\n")};
            return r;
        };
        rig.run.DoStart();
        rig.platform.advance(30000); // three answers per slot, by the watchdog
        QList<ServerErrorReport> slot1;
        for (const ServerErrorReport& e : rig.view.errors)
            if (e.slot == 1)
                slot1.append(e);
        QCOMPARE(slot1.size(), 3);
        for (int k : pressed)
            rig.run.stopCurrent(slot1[k]);
        QCOMPARE(namesOf(*rig.run.groups()[0]), left);
        // The reference shown stays what it was when the dialog opened.
        QCOMPARE(slot1[2].reference,
                 left.isEmpty() ? QStringLiteral("1-1") : QStringLiteral("1-3"));
    }

    void stopAllTwiceStopsOnce() {
        RunRig rig;
        rig.run.DoStart();
        rig.run.stopAll();
        QVERIFY(!rig.run.isRunning());
        rig.run.stopAll();
        QCOMPARE(rig.view.runStateChanges, 2);
        QCOMPARE(rig.view.submissions, 0);
        rig.run.stopCurrent(ServerErrorReport{}); // after the run: nothing to drop
    }

    void stopAndRestartKeepsTheLastCountUntilTheNextStart() {
        RunRig rig;
        rig.view.f.domains = QStringLiteral("a.com");
        rig.run.DoStart();
        rig.platform.advance(100);
        rig.run.DoStart();
        QCOMPARE(rig.view.submissions, 1);
        const qsizetype events = rig.platform.log.size();
        rig.platform.advance(60000);
        QCOMPARE(rig.platform.log.size(), events); // nothing after the stop
        rig.run.DoStart();
        QCOMPARE(rig.view.submissions, 0);
    }

    void scheduledRunStartsAndStopsOnTheClock() {
        // The simulated clock starts at 10:00:00 AM.
        RunRig rig;
        rig.view.f.startImmediately = 0;
        rig.view.f.startTime = QStringLiteral("10:00:30 AM");
        rig.view.f.endTime = QStringLiteral("10:02 AM");
        rig.platform.advance(400);
        rig.run.DoStart();
        rig.platform.advanceTo(29999);
        QCOMPARE(rig.platform.count(QStringLiteral("request")), 0);
        rig.platform.advanceTo(30100);
        // Both slots connect ahead (the longest lead: no set-up time measured yet) and
        // write their first requests at the named second itself.
        QCOMPARE(rig.times(1, QStringLiteral("connect")), QList<qint64>{28000});
        QCOMPARE(rig.times(2, QStringLiteral("connect")), QList<qint64>{28000});
        QCOMPARE(rig.times(1, QStringLiteral("request")), QList<qint64>{30000});
        QCOMPARE(rig.times(2, QStringLiteral("request")), QList<qint64>{30000});

        // The end time moved during the run takes effect.
        rig.view.f.endTime = QStringLiteral("10:01:00");
        rig.platform.advanceTo(59999);
        QVERIFY(rig.run.isRunning());
        rig.platform.advanceTo(60100);
        QVERIFY(!rig.run.isRunning());
        QCOMPARE(rig.run.stopReason(), RunController::StopReason::EndTime);
    }

    void startPressedJustBeforeTheSecondStillWritesAtIt() {
        RunRig rig;
        rig.view.f.startImmediately = 0;
        rig.view.f.startTime = QStringLiteral("10:00:30 AM");
        rig.view.f.endTime = QStringLiteral("10:02 AM");
        rig.platform.advanceTo(29300);
        rig.run.DoStart();
        rig.platform.advanceTo(30100);
        // Too late to open 2 s ahead: both connect at once, and still write at the second.
        QCOMPARE(rig.times(1, QStringLiteral("connect")), QList<qint64>{29300});
        QCOMPARE(rig.times(1, QStringLiteral("request")), QList<qint64>{30000});
        QCOMPARE(rig.times(2, QStringLiteral("request")), QList<qint64>{30000});
    }

    void scheduleSurvivesClockJumps() {
        RunRig rig;
        rig.view.f.startImmediately = 0;
        rig.view.f.startTime = QStringLiteral("10:00:10 AM");
        rig.view.f.endTime = QStringLiteral("10:00:20 AM");
        rig.run.DoStart();
        rig.platform.advanceTo(8500);
        // A busy second or a clock set forward skips the named second: it still fires.
        rig.platform.shiftWallClock(3000);
        rig.platform.advanceTo(8600);
        QVERIFY(rig.platform.count(QStringLiteral("request")) == 0);
        rig.platform.advanceTo(9100);
        // The slots were set for the second before the jump; they start now instead.
        QCOMPARE(rig.platform.count(QStringLiteral("request")), 2);
        // A clock set back fires nothing again and does not stop early.
        rig.platform.shiftWallClock(-6000);
        rig.platform.advanceTo(12000);
        QCOMPARE(rig.platform.count(QStringLiteral("request")), 2);
        QVERIFY(rig.run.isRunning());
        rig.platform.advanceTo(26100);
        QVERIFY(!rig.run.isRunning());
    }

    void aTickOverAWholeWindowStartsNothing_data() {
        QTest::addColumn<QString>("startTime");
        QTest::addColumn<QString>("endTime");
        QTest::addColumn<qint64>("jump");
        QTest::newRow("suspended over the window") << "10:00:10 AM"
                                                   << "10:00:20 AM" << 30000LL;
        QTest::newRow("end before start, both passed") << "10:00:20 AM"
                                                       << "10:00:10 AM" << 30000LL;
        QTest::newRow("more than a day") << "10:00:10 AM"
                                         << "10:00:20 AM" << 90000000LL;
    }
    void aTickOverAWholeWindowStartsNothing() {
        QFETCH(QString, startTime);
        QFETCH(QString, endTime);
        QFETCH(qint64, jump);
        RunRig rig;
        rig.view.f.startImmediately = 0;
        rig.view.f.startTime = startTime;
        rig.view.f.endTime = endTime;
        rig.run.DoStart();
        rig.platform.advanceTo(5500);
        rig.platform.shiftWallClock(jump);
        rig.platform.advanceTo(7000);
        QCOMPARE(rig.platform.count(QStringLiteral("connect")), 0);
        QVERIFY(!rig.run.isRunning());
        QCOMPARE(rig.run.stopReason(), RunController::StopReason::EndTime);
    }

    void invalidScheduleTextsDoNothingWhileTheyLast() {
        RunRig rig;
        rig.view.f.startImmediately = 0;
        rig.view.f.startTime = QStringLiteral("10:00:05 AM");
        rig.view.f.endTime = QStringLiteral("10:00:20 AM");
        rig.run.DoStart();
        rig.view.f.endTime.clear();
        rig.platform.advanceTo(30000);
        QCOMPARE(rig.platform.count(QStringLiteral("connect")), 0);
        QVERIFY(rig.run.isRunning());
    }

    void startedAtTheStartTimeWaitsForTheNextDay() {
        RunRig rig;
        rig.view.f.startImmediately = 0;
        rig.view.f.startTime = QStringLiteral("10:00:00 AM");
        rig.view.f.endTime = QStringLiteral("10:00:00 AM");
        rig.platform.advance(500);
        rig.run.DoStart();
        rig.platform.advance(24LL * 3600 * 1000 - 1000);
        QCOMPARE(rig.platform.count(QStringLiteral("request")), 0);
        rig.platform.advance(600);
        // Equal start and end: the start wins and the run goes on.
        QCOMPARE(rig.platform.count(QStringLiteral("request")), 2);
        QVERIFY(rig.run.isRunning());
    }

    void stopWhileWaitingConnectsNothing() {
        RunRig rig;
        rig.view.f.startImmediately = 0;
        rig.view.f.startTime = QStringLiteral("10:00:05 AM");
        rig.view.f.endTime = QStringLiteral("10:00:20 AM");
        rig.run.DoStart();
        rig.platform.advance(2000);
        rig.run.DoStart();
        QVERIFY(!rig.run.scheduleTimer().isEnabled());
        rig.platform.advance(60000);
        QCOMPARE(rig.platform.count(QStringLiteral("connect")), 0);
    }
};

QTEST_GUILESS_MAIN(TestRunController)
#include "tst_runcontroller.moc"
