#include "testing/SimPlatform.h"

#include <QTest>

using namespace drovane;
using namespace Qt::StringLiterals;

// The enabled flag decides when pacing and the watchdog fire; QTimer's start() would
// restart a running countdown where the program must not.
class TestSimTimer : public QObject {
    Q_OBJECT
private slots:
    // Steps "at:op" on a 1000 ms timer, op "on", "off" or a new interval; the ticks
    // seen up to 3000 ms.
    void enableSemantics_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QList<qint64>>("ticks");
        QTest::newRow("periodic") << "0:on" << QList<qint64>{1000, 2000, 3000};
        QTest::newRow("enabling again does not restart")
            << "0:on 600:on" << QList<qint64>{1000, 2000, 3000};
        QTest::newRow("disable and enable restarts")
            << "0:on 600:off 600:on" << QList<qint64>{1600, 2600};
        QTest::newRow("disabled never ticks") << "0:on 999:off" << QList<qint64>{};
        QTest::newRow("new interval restarts")
            << "0:on 600:500" << QList<qint64>{1100, 1600, 2100, 2600};
        QTest::newRow("new interval while off waits")
            << "0:500 1000:on" << QList<qint64>{1500, 2000, 2500, 3000};
        QTest::newRow("same interval still restarts")
            << "0:on 600:1000" << QList<qint64>{1600, 2600};
    }
    void enableSemantics() {
        QFETCH(QString, steps);
        QFETCH(QList<qint64>, ticks);
        SimPlatform p;
        std::unique_ptr<Timer> t = p.createTimer(1000);
        QList<qint64> seen;
        t->onTick = [&] { seen << p.nowMs(); };
        for (const QString& step : steps.split(u' ')) {
            const QString at = step.section(u':', 0, 0);
            const QString op = step.section(u':', 1, 1);
            p.advanceTo(at.toLongLong());
            if (op == u"on"_s || op == u"off"_s)
                t->setEnabled(op == u"on"_s);
            else
                t->setInterval(op.toInt());
        }
        p.advanceTo(3000);
        QCOMPARE(seen, ticks);
    }

    void tickHandlerMayRestartOrDestroy() {
        SimPlatform p;
        std::unique_ptr<Timer> watchdog = p.createTimer(1000);
        QList<qint64> seen;
        watchdog->onTick = [&] {
            seen << p.nowMs();
            watchdog->setEnabled(false);
            watchdog->setEnabled(true);
        };
        watchdog->setEnabled(true);
        p.advanceTo(2500);
        QCOMPARE(seen, (QList<qint64>{1000, 2000}));

        std::unique_ptr<Timer> once = p.createTimer(100);
        once->onTick = [&] { once.reset(); };
        once->setEnabled(true);
        p.advanceTo(5000);
        QVERIFY(!once);
    }
};

QTEST_GUILESS_MAIN(TestSimTimer)
#include "tst_simtimer.moc"
