#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QPointer>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <memory>

#include <sys/socket.h>

namespace drovane::test {

// A registrar stand-in on 127.0.0.1 that a test starts itself. It reads one request per
// connection and answers it in pieces with gaps, then closes as the registrar does, or,
// to misbehave, resets the connection or never ends the reply. Given a TLS configuration
// it speaks only TLS (a certificate and key from tests/data/tls, see tlsConfiguration()).
class LoopbackRegistrar : public QObject {
public:
    enum class End {
        Close, // the end of an HTTP/1.0 reply
        Reset, // the connection is torn down with a reset (RST), not closed
        Never, // the connection stays open and silent
    };
    struct Answer {
        QList<QByteArray> pieces;
        int gapMs = 0;
        End end = End::Close;
    };

    // Listens on 127.0.0.1 at `port`, or at a free port chosen by the system.
    explicit LoopbackRegistrar(quint16 port = 0) : server(new QTcpServer(this)) { listen(port); }
    explicit LoopbackRegistrar(const QSslConfiguration& tls, quint16 port = 0) {
        auto* ssl = new QSslServer(this);
        ssl->setSslConfiguration(tls);
        QObject::connect(ssl, &QSslServer::startedEncryptionHandshake, this,
                         [this] { ++handshakes; });
        server = ssl;
        listen(port);
    }
    quint16 port() const { return server->serverPort(); }
    bool isListening() const { return server->isListening(); }
    QString errorString() const { return server->errorString(); }

    // A server configuration with the certificate `name`.pem and its key `name`-key.pem
    // from `folder`.
    static QSslConfiguration tlsConfiguration(const QString& folder, const QString& name) {
        auto read = [&](const QString& file) {
            QFile f(folder + QLatin1Char('/') + file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        QSslConfiguration c = QSslConfiguration::defaultConfiguration();
        c.setLocalCertificate(QSslCertificate(read(name + QLatin1String(".pem"))));
        c.setPrivateKey(QSslKey(read(name + QLatin1String("-key.pem")), QSsl::Ec));
        return c;
    }

    // A port on 127.0.0.1 where nobody listens: connecting is refused.
    static quint16 refusingPort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return port;
    }

    std::function<Answer(const QByteArray&)> answer;
    QList<QByteArray> requests;
    int connections = 0; // over TLS: those whose handshake succeeded
    int handshakes = 0;  // TLS handshakes begun
    QElapsedTimer clock;
    QList<qint64> connectedAt; // ms on `clock`
    QList<qint64> requestAt;   // when each request had come whole
    QList<qint64> closedAt;

private:
    void listen(quint16 port) {
        clock.start();
        server->listen(QHostAddress::LocalHost, port);
        // For TLS, after the handshake.
        QObject::connect(server, &QTcpServer::pendingConnectionAvailable, this,
                         [this] { accept(); });
    }

    void accept() {
        while (QTcpSocket* peer = server->nextPendingConnection()) {
            ++connections;
            connectedAt.append(clock.elapsed());
            auto* buffer = new QByteArray;
            QObject::connect(peer, &QObject::destroyed, [buffer] { delete buffer; });
            QObject::connect(peer, &QTcpSocket::disconnected, peer, &QObject::deleteLater);
            QObject::connect(peer, &QTcpSocket::readyRead, this, [this, peer, buffer] {
                *buffer += peer->readAll();
                if (!buffer->endsWith("\r\n\r\n"))
                    return;
                requests.append(*buffer);
                requestAt.append(clock.elapsed());
                respond(peer, answer ? answer(*buffer) : Answer{});
                buffer->clear();
            });
        }
    }

    void respond(QTcpSocket* peer, const Answer& a) {
        sendFrom(QPointer<QTcpSocket>(peer), std::make_shared<Answer>(a), 0);
    }

    // One piece, then the next after the gap: each waits for the one before, so a
    // late timer can never swap two pieces.
    void sendFrom(QPointer<QTcpSocket> guard, std::shared_ptr<Answer> a, qsizetype index) {
        if (!guard)
            return;
        if (index < a->pieces.size()) {
            guard->write(a->pieces[index]);
            guard->flush();
            QTimer::singleShot(a->gapMs, Qt::PreciseTimer, this,
                               [this, guard, a, index] { sendFrom(guard, a, index + 1); });
            return;
        }
        if (a->end == End::Reset) {
            // A zero linger turns the close into a reset.
            const linger now{1, 0};
            ::setsockopt(int(guard->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
            guard->abort();
            guard->deleteLater();
        } else if (a->end == End::Close) {
            closedAt.append(clock.elapsed());
            guard->disconnectFromHost();
        }
    }

    QTcpServer* server = nullptr;
};

} // namespace drovane::test
