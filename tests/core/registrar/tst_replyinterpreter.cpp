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
};

QTEST_GUILESS_MAIN(TestReplyInterpreter)
#include "tst_replyinterpreter.moc"
