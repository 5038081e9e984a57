#include "testing/LoopbackRegistrar.h"

#include "core/platform/QtPlatform.h"

#include <QTest>

using namespace drovane;
using namespace drovane::test;

// The Qt socket under the handlers' worst habits: closing or destroying it from inside
// its own events.
class TestQtSocket : public QObject {
    Q_OBJECT

private slots:
    void handlersMayCloseOrDestroyTheSocket_data() {
        QTest::addColumn<QString>("onSendComplete");
        QTest::newRow("close, as blind sending does") << "close";
        QTest::newRow("destroy, as a stopped run does") << "destroy";
        QTest::newRow("reconnect") << "reconnect";
    }
    void handlersMayCloseOrDestroyTheSocket() {
        QFETCH(QString, onSendComplete);
        LoopbackRegistrar registrar;
        QtPlatform platform;
        std::unique_ptr<TcpSocket> socket = platform.createSocket();
        int connects = 0;
        int completes = 0;
        socket->onConnected = [&] {
            ++connects;
            socket->send("GET /interface.asp?command=check HTTP/1.0\r\n\r\n");
        };
        socket->onSendComplete = [&] {
            ++completes;
            if (onSendComplete == QLatin1String("close"))
                socket->close();
            else if (onSendComplete == QLatin1String("destroy"))
                socket.reset();
            else if (completes == 1)
                socket->close(), socket->connectTo(QStringLiteral("127.0.0.1"), registrar.port());
        };
        socket->connectTo(QStringLiteral("127.0.0.1"), registrar.port());
        QTRY_COMPARE_WITH_TIMEOUT(registrar.requests.size(),
                                  onSendComplete == QLatin1String("reconnect") ? 2 : 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(completes, onSendComplete == QLatin1String("reconnect") ? 2 : 1,
                                  5000);
        QTest::qWait(50); // let any late event of a dropped connection arrive
        QCOMPARE(connects, completes);
    }
};

QTEST_GUILESS_MAIN(TestQtSocket)
#include "tst_qtsocket.moc"
