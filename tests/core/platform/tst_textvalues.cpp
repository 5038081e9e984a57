#include "core/platform/DateTimeText.h"
#include "core/platform/NumberText.h"

#include <QTest>

using namespace drovane;

// The user's interval and times: the same text must mean the same value whatever
// the locale, and nonsense must never pass as a number or a time.
class TestTextValues : public QObject {
    Q_OBJECT
private slots:
    void decimal_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("5") << "5" << true << 5.0;
        QTest::newRow("-1") << "-1" << true << -1.0;
        QTest::newRow("1.5") << "1.5" << true << 1.5;
        QTest::newRow("1e2") << "1e2" << true << 100.0;
        QTest::newRow(".5") << ".5" << true << 0.5;
        for (const char* bad :
             {"", " 5", "5 ", "1,000", "0x10", "inf", "nan", "1e", "-", ".", "1e999", "1,5"})
            QTest::addRow("reject \"%s\"", bad) << QString::fromLatin1(bad) << false << 0.0;
    }
    void decimal() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        const std::optional<double> v = parseDecimal(text);
        QCOMPARE(v.has_value(), ok);
        if (ok)
            QCOMPARE(*v, value);
    }

    void dateTime_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QTime>("time");
        QTest::newRow("10:30 PM") << "10:30 PM" << true << QDate() << QTime(22, 30);
        QTest::newRow("10:30:15 pm") << "10:30:15 pm" << true << QDate() << QTime(22, 30, 15);
        QTest::newRow("22:30") << "22:30" << true << QDate() << QTime(22, 30);
        QTest::newRow("22:30:15") << "22:30:15" << true << QDate() << QTime(22, 30, 15);
        QTest::newRow("10:30PM") << "10:30PM" << true << QDate() << QTime(22, 30);
        QTest::newRow("12:05 AM is just after midnight")
            << "12:05 AM" << true << QDate() << QTime(0, 5);
        QTest::newRow("12:05 PM is just after noon")
            << "12:05 PM" << true << QDate() << QTime(12, 5);
        QTest::newRow("date and time")
            << "12/31/2026 10:30 PM" << true << QDate(2026, 12, 31) << QTime(22, 30);
        for (const char* bad : {"", "abc", "25:99", "13:30 PM", "24:00", "10:60", "2/30/2026"})
            QTest::addRow("reject \"%s\"", bad)
                << QString::fromLatin1(bad) << false << QDate() << QTime();
    }
    void dateTime() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QDate, date);
        QFETCH(QTime, time);
        const std::optional<DateTimeValue> v = parseDateTime(text);
        QCOMPARE(v.has_value(), ok);
        if (!ok)
            return;
        QCOMPARE(v->date, date);
        QCOMPARE(v->time, time);
    }

    void minutesBetween_data() {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<qint64>("minutes");
        QTest::newRow("half an hour") << "10:00 PM"
                                      << "10:30 PM" << qint64(30);
        QTest::newRow("31 minutes") << "10:00 PM"
                                    << "10:31 PM" << qint64(31);
        QTest::newRow("over midnight without dates") << "11:50 PM"
                                                     << "12:10 AM" << qint64(1420);
        QTest::newRow("seconds do not count") << "10:00:59 PM"
                                              << "10:01:00 PM" << qint64(1);
        QTest::newRow("over midnight with dates") << "12/31/2026 11:50 PM"
                                                  << "1/1/2027 12:10 AM" << qint64(20);
    }
    void minutesBetween() {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(qint64, minutes);
        const auto a = parseDateTime(start);
        const auto b = parseDateTime(end);
        QVERIFY(a && b);
        QCOMPARE(drovane::minutesBetween(*a, *b), minutes);
    }
};

QTEST_GUILESS_MAIN(TestTextValues)
#include "tst_textvalues.moc"
