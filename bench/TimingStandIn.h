#pragma once

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <sched.h>

#include <chrono>
#include <mutex>
#include <vector>

namespace drovane::bench {

// For a stand-in's threads. On loopback a client's write wakes the stand-in, which the
// scheduler would let run first on the client's processor, before the write returns: the
// client's request would seem to take as long as the stand-in's answer. A registrar's work
// never takes the client's processor; a batch thread gets its fair share but does not
// preempt the thread that woke it.
inline void runAsBatch() {
    sched_param none{};
    sched_setscheduler(0, SCHED_BATCH, &none);
}

inline qint64 wallNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

inline qint64 steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A registrar stand-in on 127.0.0.1 in a thread of its own, so that its work never
// delays the engine's timers. It answers each request at once in one piece and closes,
// and notes when it accepted, when the request was whole, and when it closed. A purchase
// is ordered; a check of a name whose third character is 'f' ("e1f0") finds it free,
// any other check finds it taken.
class TimingStandIn {
public:
    struct Replies {
        QByteArray taken, free, ordered;
    };
    struct Connection {
        QByteArray sld; // names the client and its slot: "e1f0" is the engine's slot 1
        bool purchase = false;
        bool free = false;    // the reply said free
        bool resumed = false; // over TLS: the handshake resumed a session
        qint64 acceptedNs = 0;
        qint64 requestNs = 0;
        qint64 requestWallNs = 0;
        qint64 closedNs = 0;
    };

    // With `ownThread` false the stand-in shares the engine's thread: its work then
    // delays the engine, but the engine's writes no longer wake another processor.
    explicit TimingStandIn(Replies replies, bool ownThread = true)
        : replies_(std::move(replies)), ownThread_(ownThread) {
        server_ = new QTcpServer;
        auto listen = [this] {
            if (ownThread_)
                runAsBatch();
            QObject::connect(server_, &QTcpServer::newConnection, server_, [this] { accept(); });
            server_->listen(QHostAddress::LocalHost, 0);
            port_ = server_->serverPort();
        };
        if (!ownThread_) {
            listen();
            return;
        }
        server_->moveToThread(&thread_);
        thread_.start();
        QMetaObject::invokeMethod(server_, listen, Qt::BlockingQueuedConnection);
    }
    ~TimingStandIn() {
        if (!ownThread_) {
            delete server_;
            return;
        }
        QMetaObject::invokeMethod(
            server_, [this] { delete server_; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }

    quint16 port() const { return port_; }
    std::vector<Connection> connections() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return done_;
    }

    // What a whole request asked, stamped now.
    static Connection recordOf(const QByteArray& request, qint64 acceptedNs) {
        Connection c;
        c.acceptedNs = acceptedNs;
        c.requestNs = steadyNs();
        c.requestWallNs = wallNs();
        const qsizetype at = request.indexOf("&sld=");
        if (at >= 0)
            c.sld = request.mid(at + 5, request.indexOf('&', at + 5) - at - 5);
        c.purchase = request.contains("command=purchase");
        c.free = !c.purchase && c.sld.size() > 2 && c.sld[2] == 'f';
        return c;
    }
    static const QByteArray& replyFor(const Replies& replies, const Connection& c) {
        return c.purchase ? replies.ordered : c.free ? replies.free : replies.taken;
    }

private:
    void accept() {
        while (QTcpSocket* peer = server_->nextPendingConnection()) {
            const qint64 acceptedNs = steadyNs();
            auto* buffer = new QByteArray;
            QObject::connect(peer, &QObject::destroyed, [buffer] { delete buffer; });
            QObject::connect(peer, &QTcpSocket::disconnected, peer, &QObject::deleteLater);
            QObject::connect(peer, &QTcpSocket::readyRead, peer, [this, peer, buffer, acceptedNs] {
                *buffer += peer->readAll();
                if (!buffer->endsWith("\r\n\r\n"))
                    return;
                Connection c = recordOf(*buffer, acceptedNs);
                buffer->clear();
                peer->write(replyFor(replies_, c));
                peer->flush();
                peer->disconnectFromHost();
                c.closedNs = steadyNs();
                std::lock_guard<std::mutex> lock(mutex_);
                done_.push_back(c);
            });
        }
    }

    Replies replies_;
    bool ownThread_;
    QThread thread_;
    QTcpServer* server_;
    quint16 port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Connection> done_;
};

} // namespace drovane::bench
