// A registrar stand-in for trying Drovane on one machine: it listens on 127.0.0.1 and
// answers check and purchase requests in the registrar's documented reply shape, then
// closes the connection as the registrar does.
//
//   registrar_standin [port, default 80]
//
// Names whose second-level label starts with "free" are available; every purchase
// succeeds; labels starting with "err" get an error the program has no rule for; the
// user id "bad" is rejected. Each request is printed with the time it arrived.

#include <QCoreApplication>
#include <QDateTime>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextStream>
#include <QUrlQuery>

namespace {

QByteArray reply(const QUrlQuery& q) {
    const QByteArray command = q.queryItemValue("command").toUpper().toLatin1();
    const QByteArray sld = q.queryItemValue("sld").toLatin1();
    QByteArray body = "DomainName=" + sld + "\r\n";
    if (q.queryItemValue("uid") == QLatin1String("bad"))
        body += "ErrCount=1\r\nErr1=Bad User name or Password\r\n";
    else if (sld.startsWith("err"))
        body += "RRPCode=545\r\nRRPText=Entered domain name is not valid\r\nErrCount=1\r\n"
                "Err1=Domain name not available for registration\r\n";
    else if (command == "PURCHASE")
        body += "OrderID=157237889\r\nRRPCode=200\r\n"
                "RRPText=Command completed successfully - 157237889\r\nErrCount=0\r\n";
    else if (sld.startsWith("free"))
        body += "RRPCode=210\r\nRRPText=Domain available\r\nErrCount=0\r\n";
    else
        body += "RRPCode=211\r\nRRPText=Domain not available\r\nErrCount=0\r\n";
    const QByteArray text = ";URL Interface\r\n;Machine is STANDIN\r\n;Encoding Type is utf-8\r\n" +
                            body + "Command=" + command +
                            "\r\nLanguage=eng\r\nResponseCount=0\r\nDone=true\r\n";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
           QByteArray::number(text.size()) + "\r\n\r\n" + text;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const quint16 port = argc > 1 ? QByteArray(argv[1]).toUShort() : 80;
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, port)) {
        QTextStream(stderr) << "cannot listen on 127.0.0.1:" << port << ": " << server.errorString()
                            << "\n";
        return 1;
    }
    QTextStream out(stdout);
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* peer = server.nextPendingConnection()) {
            QObject::connect(peer, &QTcpSocket::disconnected, peer, &QObject::deleteLater);
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [peer, &out] {
                if (!peer->canReadLine() && peer->bytesAvailable() < 8192)
                    return;
                const QByteArray line = peer->readLine().trimmed();
                out << QDateTime::currentDateTime().toString("HH:mm:ss.zzz") << "  " << line
                    << Qt::endl;
                const qsizetype q = line.indexOf('?');
                const qsizetype end = line.lastIndexOf(' ');
                peer->write(reply(QUrlQuery(QString::fromLatin1(line.mid(q + 1, end - q - 1)))));
                peer->disconnectFromHost();
            });
        }
    });
    out << "registrar stand-in on 127.0.0.1:" << server.serverPort() << Qt::endl;
    return app.exec();
}
