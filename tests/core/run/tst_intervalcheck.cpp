#include "core/run/IntervalCheck.h"

#include <QTest>

using namespace drovane;

class tst_IntervalCheck : public QObject {
    Q_OBJECT
private slots:
    void verdict_data();
    void verdict();
};

void tst_IntervalCheck::verdict_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lastAccepted");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("boxText");

    const int accept = IntervalCheck::Accept;
    const int range = IntervalCheck::RangeMessage;
    const int beep = IntervalCheck::Beep;
    QTest::newRow("whole number") << "5"
                                  << "" << accept << "5";
    QTest::newRow("largest") << "999"
                             << "5" << accept << "999";
    QTest::newRow("fraction") << "1.5"
                              << "" << accept << "1.5";
    QTest::newRow("just below 1000") << "999.99"
                                     << "" << accept << "999.99";
    QTest::newRow("exponent") << "1e2"
                              << "" << accept << "1e2";
    QTest::newRow("empty") << ""
                           << "12" << accept << "";
    QTest::newRow("zero") << "0"
                          << "" << range << "";
    QTest::newRow("zero keeps last") << "0"
                                     << "12" << range << "12";
    QTest::newRow("negative") << "-1"
                              << "7" << range << "7";
    QTest::newRow("1000") << "1000"
                          << "" << range << "";
    QTest::newRow("exponent too large") << "1e3"
                                        << "4" << range << "4";
    QTest::newRow("letter after digits") << "12a"
                                         << "12" << beep << "12";
    QTest::newRow("sign alone") << "-"
                                << "" << beep << "";
    QTest::newRow("blank") << " 5"
                           << "" << beep << "";
    QTest::newRow("grouping") << "1,5"
                              << "1" << beep << "1";
    QTest::newRow("hex") << "0x10"
                         << "" << beep << "";
    QTest::newRow("inf") << "inf"
                         << "" << beep << "";
    QTest::newRow("nan") << "nan"
                         << "" << beep << "";
}

void tst_IntervalCheck::verdict() {
    QFETCH(QString, text);
    QFETCH(QString, lastAccepted);
    QFETCH(int, outcome);
    QFETCH(QString, boxText);
    const IntervalCheck check = checkIntervalText(text, lastAccepted);
    QCOMPARE(int(check.outcome), outcome);
    QCOMPARE(check.text, boxText);
}

QTEST_APPLESS_MAIN(tst_IntervalCheck)
#include "tst_intervalcheck.moc"
