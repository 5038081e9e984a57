#include "testing/WholeRunSim.h"

#include <QFile>
#include <QTest>

using namespace drovane;
using namespace drovane::test;

namespace {

constexpr int kSteps = 150;
constexpr quint64 kFirstSeed = 1;
constexpr int kSeeds = 300;

// DROVANE_SIM_SEED=N replays one seed and prints its trace; DROVANE_SIM_SEEDS=COUNT or
// FIRST:COUNT runs another range.
struct SeedRange {
    quint64 first = kFirstSeed;
    quint64 count = kSeeds;
    bool replay = false;
};

SeedRange seedRange() {
    SeedRange range;
    if (qEnvironmentVariableIsSet("DROVANE_SIM_SEED")) {
        range.first = qEnvironmentVariable("DROVANE_SIM_SEED").toULongLong();
        range.count = 1;
        range.replay = true;
    } else if (qEnvironmentVariableIsSet("DROVANE_SIM_SEEDS")) {
        const QString text = qEnvironmentVariable("DROVANE_SIM_SEEDS");
        if (text.contains(u':')) {
            range.first = text.section(u':', 0, 0).toULongLong();
            range.count = text.section(u':', 1).toULongLong();
        } else {
            range.count = text.toULongLong();
        }
    }
    return range;
}

} // namespace

// Whole sessions drawn from seeds, the invariants checked after every step. A new
// interleaving to cover is a seed, not a hand-written row.
class TestWholeRun : public QObject {
    Q_OBJECT

private slots:
    void invariantsHoldForEverySeed() {
        const SeedRange range = seedRange();
        const QString self = QCoreApplication::applicationFilePath();
        SimOutcome sum;
        for (quint64 seed = range.first; seed < range.first + range.count; ++seed) {
            WholeRunSim sim(seed);
            const SimOutcome out = sim.run(kSteps);
            sum.steps += out.steps;
            sum.virtualMs += out.virtualMs;
            sum.runs += out.runs;
            sum.requests += out.requests;
            sum.setupRequests += out.setupRequests;
            sum.counted += out.counted;
            sum.orders += out.orders;
            if (range.replay)
                qInfo().noquote() << sim.trace.join(u'\n');
            if (!out.ok()) {
                const QStringList last =
                    sim.trace.mid(std::max<qsizetype>(0, sim.trace.size() - 40));
                qInfo().noquote() << last.join(u'\n');
                QFAIL(qPrintable(QStringLiteral("seed %1 %2\nreplay: DROVANE_SIM_SEED=%1 %3")
                                     .arg(seed)
                                     .arg(out.failure, self)));
            }
        }
        qInfo("seeds %llu to %llu: %d steps, %.1f virtual hours, %d runs, %d requests (%d of "
              "setup checks), %d replies counted, %d orders",
              range.first, range.first + range.count - 1, sum.steps,
              double(sum.virtualMs) / 3600000.0, sum.runs, sum.requests, sum.setupRequests,
              sum.counted, sum.orders);
    }

    // What makes a failing seed worth reporting: it does the same again.
    void aSeedReplaysExactly() {
        const SimOutcome first = WholeRunSim(7).run(kSteps);
        const SimOutcome again = WholeRunSim(7).run(kSteps);
        const SimOutcome other = WholeRunSim(8).run(kSteps);
        QVERIFY(first.ok());
        QCOMPARE(again.fingerprint, first.fingerprint);
        QCOMPARE(again.requests, first.requests);
        QVERIFY(other.fingerprint != first.fingerprint);
    }

    // Each check sees the fault it is there for: an engine that broke the promise would
    // not pass unnoticed.
    void checksSeeBrokenPromises_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("seen");
        QTest::newRow("a reply counted twice") << 0 << "counted";
        QTest::newRow("a try lost") << 1 << "tries add up";
        QTest::newRow("an order line missing") << 2 << "orders.txt holds";
        QTest::newRow("a slot asleep") << 3 << "nothing in flight and nothing due";
        QTest::newRow("a connection after the stop") << 4 << "no run was going";
    }
    void checksSeeBrokenPromises() {
        QFETCH(int, fault);
        QFETCH(QString, seen);
        // A seed whose first run goes on through step 5 with orders made by then.
        for (quint64 seed = 1; seed < 200; ++seed) {
            WholeRunSim probe(seed);
            bool fit = false;
            probe.afterStep = [&](WholeRunSim& s, int step) {
                if (step != 5 || !s.controller.isRunning() || !s.controller.slot(1))
                    return;
                const auto& group = *s.controller.groups()[0];
                fit = (fault != 1 || (group.size() > 0 && group.at(1)->tries > 0)) &&
                      (fault != 2 || QFile::exists(s.store.ordersPath()));
            };
            if (!probe.run(6).ok() || !fit)
                continue;
            WholeRunSim sim(seed);
            sim.afterStep = [fault](WholeRunSim& s, int step) {
                if (step != 5)
                    return;
                switch (fault) {
                case 0:
                    s.controller.countSubmission();
                    break;
                case 1:
                    --s.controller.groups()[0]->at(1)->tries;
                    break;
                case 2:
                    QFile::remove(s.store.ordersPath());
                    break;
                case 3:
                    s.controller.slot(1)->shutdown();
                    break;
                case 4:
                    s.controller.halt();
                    s.platform.createSocket()->connectTo(QStringLiteral("registrar.test"), 80);
                    break;
                }
            };
            const SimOutcome out = sim.run(6);
            QVERIFY2(!out.ok(), "the fault went unseen");
            QVERIFY2(out.failure.contains(seen), qPrintable(out.failure));
            return;
        }
        QFAIL("no seed fits");
    }
};

QTEST_GUILESS_MAIN(TestWholeRun)
#include "tst_wholerun.moc"
