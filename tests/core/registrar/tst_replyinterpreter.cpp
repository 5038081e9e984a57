#include "core/registrar/RegistrarAnswer.h"
#include "core/registrar/ReplyInterpreter.h"

#include <QTest>

using namespace drovane;

Q_DECLARE_METATYPE(drovane::ReplyKind)

// How the registrar's answers are judged; a wrong class buys nothing or stops a run.
class TestReplyInterpreter : public QObject {
    Q_OBJECT
private slots:
    void interpret_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<ReplyKind>("kind");
        QTest::addColumn<QString>("description");

        QTest::newRow("no marker")
            << QByteArray("RRPCode=210\r\n") << ReplyKind::NoMarker << QString();
        for (const char* code : {"540", "701", "211", "904", "914", "915"})
            QTest::addRow("pace %s", code)
                << "Command=CHECK\r\nRRPCode=" + QByteArray(code) + "\r\n"
                << ReplyKind::Pace << QString();
        QTest::newRow("row 1 wins over Err1")
            << QByteArray("Command=PURCHASE\r\nRRPCode=540\r\nErr1=Domain not available\r\n")
            << ReplyKind::Pace << QString();
        QTest::newRow("row 1 wins over an order")
            << QByteArray("Command=PURCHASE\r\nRRPCode=200\r\nOrderID=1\r\nRRPCode=211\r\n")
            << ReplyKind::Pace << QString();
        QTest::newRow("free") << QByteArray("Command=CHECK\r\nRRPCode=210\r\nRRPText=ok\r\n")
                              << ReplyKind::Free << QString();
        QTest::newRow("free wins over bad login")
            << QByteArray("Command=CHECK\r\nRRPCode=210\r\nBad User name or Password\r\n")
            << ReplyKind::Free << QString();
        QTest::newRow("bad login")
            << QByteArray("Command=CHECK\r\nErr1=Bad User name or Password\r\nRRPCode=\r\n")
            << ReplyKind::BadLogin << QString();
        QTest::newRow("ordered") << QByteArray(
                                        "Command=PURCHASE\r\nRRPCode=200\r\nOrderID=157286\r\n")
                                 << ReplyKind::Ordered << QString();
        QTest::newRow("200 without an order")
            << QByteArray("Command=PURCHASE\r\nRRPCode=200\r\nRRPText=x\r\n")
            << ReplyKind::ServerError << "RRPCode=200";
        QTest::newRow("Err1 to CR LF")
            << QByteArray("Command=PURCHASE\r\nRRPCode=300\r\nErr1=Domain not available\r\nErr2=x")
            << ReplyKind::ServerError << "Domain not available";
        QTest::newRow("Err1 to the end")
            << QByteArray("Command=PURCHASE\r\nRRPCode=300\r\nErr1=Domain not available")
            << ReplyKind::ServerError << "Domain not available";
        QTest::newRow("Err1 in UTF-8")
            << QByteArray("Command=PURCHASE\r\nErr1=Nom r\xC3\xA9serv\xC3\xA9\r\n")
            << ReplyKind::ServerError << QString::fromUtf8("Nom r\u00e9serv\u00e9");
        QTest::newRow("RRPCode line")
            << QByteArray("Command=CHECK\r\nRRPCode=999\r\nRRPText=odd\r\n")
            << ReplyKind::ServerError << "RRPCode=999";
        QTest::newRow("neither Err1 nor RRPCode")
            << QByteArray("Command=CHECK\r\nDone=true\r\n") << ReplyKind::ServerError << "";
        QTest::newRow("behind HTTP headers")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n;URL Interface\r\n"
                          "DomainName=example.com\r\nRRPCode=211\r\nCommand=CHECK\r\n")
            << ReplyKind::Pace << QString();
    }
    void interpret() {
        QFETCH(QByteArray, reply);
        QFETCH(ReplyKind, kind);
        QFETCH(QString, description);
        const ReplyVerdict v = interpretReply(reply);
        QCOMPARE(v.kind, kind);
        QCOMPARE(v.description, description);
    }

    void replyIsComplete_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("complete");
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
        QTest::newRow("whole body") << head + "Content-Length: 5\r\n\r\nabcde" << true;
        QTest::newRow("body short") << head + "Content-Length: 5\r\n\r\nabcd" << false;
        QTest::newRow("name in any case") << head + "content-length:5\r\n\r\nabcde" << true;
        QTest::newRow("headers unfinished") << head + "Content-Length: 0\r\n" << false;
        QTest::newRow("no Content-Length") << head + "\r\nabcde" << false;
        QTest::newRow("length not a number") << head + "Content-Length: x\r\n\r\n" << false;
        QTest::newRow("Content-Length in the body") << head + "\r\nContent-Length: 0\r\n\r\n"
                                                    << false;
    }
    void replyIsComplete() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, complete);
        QCOMPARE(drovane::replyIsComplete(reply), complete);
        // Byte by byte, a piece-wise reader must come to the same answer at the same
        // byte, also when the blank line is split between pieces.
        ReplyEndTracker tracker;
        for (qsizetype n = 1; n <= reply.size(); ++n)
            QVERIFY2(tracker.complete(reply.first(n)) == (n == reply.size() && complete),
                     QByteArray::number(n).constData());
    }

    // An allow-list refusal ends a run and names the address to allow-list, when the
    // registrar says one; anything else after the text names none.
    void addressRefusal_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("address");
        const QByteArray text = "Command=CHECK\r\nErrCount=1\r\nErr1=User not permitted from this "
                                "IP address";
        QTest::newRow("IPv4") << text + " - 203.0.113.5\r\nResponseNumber1=713254\r\n"
                              << "203.0.113.5";
        QTest::newRow("IPv6") << text + " - 2001:db8::7\r\n"
                              << "2001:db8::7";
        QTest::newRow("older form: a digit") << text + " - 2\r\n"
                                             << "";
        QTest::newRow("older form: glued digit") << text + "1\r\n"
                                                 << "";
        QTest::newRow("escape sequence") << text + " - \x1b[31m1.2.3.4\r\n"
                                         << "";
        QTest::newRow("response number alone")
            << QByteArray("Command=PURCHASE\r\nErr1=Refused\r\nResponseNumber1=713254\r\n") << "";
    }
    void addressRefusal() {
        QFETCH(QByteArray, reply);
        QFETCH(QString, address);
        const ReplyVerdict v = interpretReply(reply);
        QCOMPARE(v.kind, ReplyKind::AddressRefused);
        QCOMPARE(v.address, address);
        // A bad login is still a bad login, and a free name still free.
        QCOMPARE(interpretReply(reply + "Bad User name or Password\r\n").kind, ReplyKind::BadLogin);
        QCOMPARE(interpretReply(reply + "RRPCode=210\r\n").kind, ReplyKind::Free);
    }

    // The setup check's values: amounts with thousands separators and signs, HTTP dates.
    void amounts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("cents"); // -1: refused
        QTest::newRow("separators") << "6,193.37" << 619337LL;
        QTest::newRow("negative") << "-1,832.23" << -183223LL;
        QTest::newRow("whole") << "1832" << 183200LL;
        QTest::newRow("one decimal") << "0.5" << 50LL;
        QTest::newRow("blanks around") << " 8.95 " << 895LL;
        QTest::newRow("misplaced separator") << "12,34.00" << -1LL;
        QTest::newRow("text") << "n/a" << -1LL;
        QTest::newRow("empty") << "" << -1LL;
    }
    void amounts() {
        QFETCH(QString, text);
        QFETCH(qint64, cents);
        const auto parsed = parseAmountCents(text);
        QCOMPARE(parsed.value_or(-1), cents);
        if (parsed && cents >= 0)
            QCOMPARE(parseAmountCents(formatCents(cents)), parsed);
    }

    void httpDates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("IMF-fixdate") << "Mon, 05 Jan 2026 10:00:07 GMT" << true;
        QTest::newRow("RFC 850") << "Monday, 05-Jan-26 10:00:07 GMT" << true;
        QTest::newRow("asctime") << "Mon Jan  5 10:00:07 2026" << true;
        QTest::newRow("numeric zone") << "Mon, 05 Jan 2026 10:00:07 +0000" << false;
        QTest::newRow("no such day") << "Fri, 31 Feb 2026 10:00:07 GMT" << false;
    }
    void httpDates() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto date = parseHttpDate(text);
        QCOMPARE(date.has_value(), valid);
        if (valid)
            QCOMPARE(*date, QDateTime(QDate(2026, 1, 5), QTime(10, 0, 7), Qt::UTC));
    }
};

QTEST_GUILESS_MAIN(TestReplyInterpreter)
#include "tst_replyinterpreter.moc"
