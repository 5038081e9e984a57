#pragma once

#include "TimingStandIn.h"
#include "TlsStandIn.h"

#include "core/platform/QtPlatform.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace drovane::bench {

// Times the program's own sockets on loopback: full and resumed TLS handshakes, and a
// whole request (connect to the reply's close) over TLS beside plain HTTP.
class TlsTiming {
public:
    struct Cycle {
        double handshakeUs = -1; // connect to the connect event (after the handshake)
        double totalUs = -1;     // connect to the reply's close
    };

    explicit TlsTiming(QtPlatform& platform) : platform_(platform) {}

    // One request on `socket`: connect, send, wait for the close. Bounded to 2 s.
    Cycle cycle(TcpSocket& socket, quint16 port, bool secure, const QByteArray& request) {
        Cycle c;
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        const qint64 start = steadyNs();
        socket.onConnected = [&] {
            c.handshakeUs = double(steadyNs() - start) / 1e3;
            socket.send(request);
        };
        socket.onClosedByPeer = [&] {
            c.totalUs = double(steadyNs() - start) / 1e3;
            loop.quit();
        };
        socket.onError = [&](const QString&) { loop.quit(); };
        socket.onHandshakeFailed = [&](const QString& why) {
            std::fprintf(stderr, "handshake failed: %s\n", qPrintable(why));
            loop.quit();
        };
        if (secure)
            socket.connectEncrypted(QStringLiteral("127.0.0.1"), port);
        else
            socket.connectTo(QStringLiteral("127.0.0.1"), port);
        limit.start(2000);
        if (c.totalUs < 0)
            loop.exec();
        socket.onConnected = nullptr;
        socket.onClosedByPeer = nullptr;
        socket.onError = nullptr;
        socket.onHandshakeFailed = nullptr;
        socket.close();
        return c;
    }

    // `n` cycles, each on a new socket (`fresh`: every TLS handshake is a full one) or
    // all on one socket, as a slot does (after the first, every handshake resumes).
    std::vector<Cycle> run(int n, quint16 port, bool secure, bool fresh,
                           const QByteArray& request) {
        std::vector<Cycle> out;
        std::unique_ptr<TcpSocket> socket = platform_.createSocket();
        for (int i = 0; i <= n; ++i) {
            if (fresh)
                socket = platform_.createSocket();
            const Cycle c = cycle(*socket, port, secure, request);
            if (i > 0) // the first is the same for both: a full handshake, a cold cache
                out.push_back(c);
        }
        return out;
    }

private:
    QtPlatform& platform_;
};

} // namespace drovane::bench
