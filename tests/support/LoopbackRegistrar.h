#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

namespace drovane::test {

// A registrar stand-in on 127.0.0.1 that the test starts itself. It reads one request
// per connection and answers it in pieces, then closes, as the real one does.
class LoopbackRegistrar : public QObject {
public:
    struct Answer {
        QList<QByteArray> pieces;
        int gapMs = 0;
        bool close = true;
    };

    LoopbackRegistrar() {
        clock.start();
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] { accept(); });
    }
    quint16 port() const { return server.serverPort(); }

    std::function<Answer(const QByteArray&)> answer;
    QElapsedTimer clock;
    QList<qint64> connectedAt; // ms on `clock`
    QList<qint64> closedAt;
    QList<QByteArray> requests;

private:
    void accept() {
        while (QTcpSocket* peer = server.nextPendingConnection()) {
            connectedAt.append(clock.elapsed());
            auto* buffer = new QByteArray;
            QObject::connect(peer, &QObject::destroyed, [buffer] { delete buffer; });
            QObject::connect(peer, &QTcpSocket::disconnected, peer, &QObject::deleteLater);
            QObject::connect(peer, &QTcpSocket::readyRead, this, [this, peer, buffer] {
                *buffer += peer->readAll();
                if (!buffer->endsWith("\r\n\r\n"))
                    return;
                requests.append(*buffer);
                respond(peer, answer ? answer(*buffer) : Answer{});
            });
        }
    }
    void respond(QTcpSocket* peer, const Answer& a) {
        QPointer<QTcpSocket> guard(peer);
        int at = 0;
        for (const QByteArray& piece : a.pieces) {
            QTimer::singleShot(at, Qt::PreciseTimer, this, [guard, piece] {
                if (guard)
                    guard->write(piece);
            });
            at += a.gapMs;
        }
        if (a.close)
            QTimer::singleShot(at, Qt::PreciseTimer, this, [this, guard] {
                if (!guard)
                    return;
                guard->flush();
                closedAt.append(clock.elapsed());
                guard->disconnectFromHost();
            });
    }

    QTcpServer server;
};

} // namespace drovane::test
