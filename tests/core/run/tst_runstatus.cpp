#include "core/registrar/OrdersRecord.h"
#include "core/run/RunStatus.h"
#include "testing/RunRig.h"

#include <QFile>
#include <QTest>
#include <sys/stat.h>

using namespace drovane;
using namespace drovane::test;
using namespace Qt::StringLiterals;

namespace {

// a.com and d.com are free until bought, each at its own order id; e.com draws an error.
void scriptRun(RunRig& rig) {
    rig.view.f.delayTime = QStringLiteral("1");
    rig.view.f.domains = QStringLiteral("a.com\r\nb.com\r\nc.com\r\nd.com\r\ne.com");
    rig.free = {QStringLiteral("a.com"), QStringLiteral("d.com")};
    rig.script = [&rig](const QByteArray& request) {
        const QString asked = requested(request);
        const QString domain = asked.mid(asked.indexOf(u' ') + 1);
        SimReply reply;
        if (asked.startsWith(QLatin1String("purchase"))) {
            rig.free.remove(domain);
            const QByteArray id = domain.startsWith(u'a') ? "1001" : "1004";
            reply.pieces = {registrarReply("PURCHASE", "OrderID=" + id + "\r\nRRPCode=200\r\n")};
        } else if (domain == QLatin1String("e.com")) {
            reply.pieces = {registrarReply("CHECK", "ErrCount=1\r\nErr1=Try later\r\n")};
        } else {
            reply = rig.answer(request);
        }
        return reply;
    };
}

QList<QByteArray> fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

// What a run leaves for the user to look at: orders.txt and the status table.
class TestRunStatus : public QObject {
    Q_OBJECT

private slots:
    void everyOrderIsRecordedOnceWithLoggingOff() {
        RunRig rig;
        scriptRun(rig);
        rig.view.f.logging = 0;
        rig.run.DoStart();
        rig.platform.advance(10000);
        QVERIFY(rig.run.isRunning());

        int ordered = 0;
        for (const ReplyEvent& e : rig.view.replies)
            ordered += e.outcome == ReplyEvent::Outcome::Ordered;
        QCOMPARE(ordered, 2);
        const QList<QByteArray> lines = fileLines(rig.store.ordersPath());
        QCOMPARE(lines.size(), 2);
        const QByteArray firstAt = rig.platform.start_.addMSecs(1012)
                                       .toUTC()
                                       .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                       .toLatin1();
        QCOMPARE(lines[0], firstAt + " UTC - a.com - Order ID: 1001 - Slot: 1");
        QVERIFY(lines[1].endsWith(" UTC - d.com - Order ID: 1004 - Slot: 2"));
        QVERIFY(!QFile::exists(rig.store.logPath()));
        QCOMPARE(QFile(rig.store.ordersPath()).permissions() &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());

        // A second run appends; it never starts the record afresh.
        rig.run.DoStart();
        rig.free = {QStringLiteral("c.com")};
        rig.run.DoStart();
        rig.platform.advance(10000);
        QCOMPARE(fileLines(rig.store.ordersPath()).size(), 3);
    }

    void unwritableRecordIsToldOncePerRunAndTheRunGoesOn() {
        RunRig rig;
        scriptRun(rig);
        QVERIFY(QDir(rig.dir.path()).mkdir(QStringLiteral("orders.txt")));
        rig.run.DoStart();
        rig.platform.advance(10000);
        QVERIFY(rig.run.isRunning());
        QCOMPARE(rig.prompter.shown.size(), 1);
        QVERIFY(rig.prompter.shown[0].text.startsWith(
            QStringLiteral("The orders record %1 cannot be written").arg(rig.store.ordersPath())));
        rig.run.DoStart();
        rig.free = {QStringLiteral("c.com")};
        rig.run.DoStart();
        rig.platform.advance(10000);
        QCOMPARE(rig.prompter.shown.size(), 2);
    }

    void recordRefusesWhatIsNotItsOwnFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("link to another file") << "link";
        QTest::newRow("dangling link") << "dangling";
        QTest::newRow("named pipe") << "fifo";
    }
    void recordRefusesWhatIsNotItsOwnFile() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("orders.txt"));
        const QString target = dir.filePath(QStringLiteral("elsewhere"));
        if (kind == QLatin1String("link")) {
            QFile t(target);
            QVERIFY(t.open(QIODevice::WriteOnly));
            t.close();
        }
        if (kind == QLatin1String("fifo"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QFile::link(target, path));
        const OrdersRecord record(path);
        const QDateTime at(QDate(2026, 1, 5), QTime(10, 0), Qt::UTC);
        QVERIFY(!record.append(at, QStringLiteral("a.com"), QStringLiteral("1"), 1).isEmpty());
        QCOMPARE(QFileInfo(target).size(), 0);
    }

    void lineStaysOneLineWhateverTheRegistrarSent() {
        const QDateTime at(QDate(2026, 1, 5), QTime(22, 0, 1), Qt::UTC);
        QCOMPARE(OrdersRecord::line(at, QStringLiteral("%1.com"), QStringLiteral("7\r\nX=1"), 2),
                 QByteArray("2026-01-05 22:00:01 UTC - %1.com - Order ID: 7  X=1 - Slot: 2\n"));
    }

    void statusShowsEachNameAndStartsAfreshWithTheNextRun() {
        RunRig rig;
        scriptRun(rig);
        RunStatus status;
        rig.run.attachStatus(&status);
        rig.run.DoStart();
        QVERIFY(status.takeChanges().reset);
        rig.platform.advance(10000);

        QStringList rows;
        for (int r = 0; r < status.rowCount(); ++r) {
            const RunStatus::Row& row = status.row(r);
            rows.append(QStringLiteral("%1 %2 %3 [%4] %5")
                            .arg(row.domain)
                            .arg(row.slot)
                            .arg(row.tries)
                            .arg(RunStatus::outcomeText(row), row.orderId));
            QVERIFY(!row.replied || row.at.timeSpec() == Qt::UTC);
        }
        const QDateTime last = status.row(0).at;
        QVERIFY(last > QDateTime(QDate(2026, 1, 5), QTime(10, 0, 0)).toUTC());
        // Slot 1 takes a, c, e in turn; e's error halts slot 1 until the dialog is answered.
        // d.com keeps its order id when the checks after it find the name taken.
        QCOMPARE(rows, (QStringList{u"a.com 1 2 [ordered 1001] 1001"_s, u"c.com 1 1 [taken] "_s,
                                    u"e.com 1 1 [unexpected reply: Try later] "_s,
                                    u"b.com 2 5 [taken] "_s, u"d.com 2 5 [taken] 1004"_s}));
        const RunStatus::Changes changes = status.takeChanges();
        QVERIFY(!changes.reset);
        QCOMPARE(changes.first, 0);
        QCOMPARE(changes.last, 4);

        // Stopped, the table stays; the next Start replaces it.
        rig.run.DoStart();
        QCOMPARE(status.rowCount(), 5);
        rig.view.f.domains = QStringLiteral("x.com");
        rig.run.DoStart();
        QCOMPARE(status.rowCount(), 1);
        QCOMPARE(status.row(0).domain, QStringLiteral("x.com"));
        QVERIFY(!status.row(0).replied);
    }
};

QTEST_GUILESS_MAIN(TestRunStatus)
#include "tst_runstatus.moc"
