#include "QtPlatform.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace drovane {
namespace {

class QtTimer final : public Timer {
public:
    QtTimer(int intervalMs, Qt::TimerType type) : Timer(intervalMs), timer_(new QTimer) {
        timer_->setTimerType(type);
        QObject::connect(timer_, &QTimer::timeout, [this] { elapse(); });
    }
    ~QtTimer() override {
        // The owner may be destroyed from inside this timer's own tick.
        timer_->stop();
        timer_->disconnect();
        timer_->deleteLater();
    }

protected:
    void startCountdown(int ms) override { timer_->start(ms); }
    void stopCountdown() override { timer_->stop(); }

private:
    QTimer* timer_;
};

class QtSocket final : public TcpSocket {
public:
    explicit QtSocket(bool flushOnSend)
        : socket_(new QTcpSocket), alive_(std::make_shared<bool>(true)), flushOnSend_(flushOnSend) {
        socket_->setProxy(QNetworkProxy::NoProxy);
        QObject::connect(socket_, &QTcpSocket::connected, [this] { fire(onConnected); });
        QObject::connect(socket_, &QTcpSocket::bytesWritten, [this](qint64) {
            if (socket_->bytesToWrite() != 0)
                return;
            if (!inSend_) {
                fire(onSendComplete);
                return;
            }
            // Written from inside send(): the handler may close this socket, which Qt
            // must not see in the middle of its own flush. Report it on the next turn.
            QTimer::singleShot(0, socket_, [this, alive = std::weak_ptr<bool>(alive_)] {
                if (const auto a = alive.lock(); a && *a)
                    fire(onSendComplete);
            });
        });
        QObject::connect(socket_, &QTcpSocket::readyRead, [this] { deliverPending(); });
        QObject::connect(socket_, &QTcpSocket::errorOccurred,
                         [this](QAbstractSocket::SocketError error) { failed(error); });
    }
    ~QtSocket() override {
        *alive_ = false;
        // Signals must not reach this half-destroyed object, and a socket deleted
        // inside its own signal emission crashes: detach, drop, delete later.
        socket_->disconnect();
        socket_->abort();
        socket_->deleteLater();
    }

    void close() override { socket_->abort(); }
    void connectTo(const QString& host, quint16 port) override {
        socket_->connectToHost(host, port);
    }
    void send(const QByteArray& bytes) override {
        socket_->write(bytes);
        // Left in Qt's buffer, the request waits for the next turn of the event loop
        // and whatever is queued before it; handed to the kernel now, it leaves at once.
        if (!flushOnSend_)
            return;
        inSend_ = true;
        socket_->flush();
        inSend_ = false;
    }

private:
    // Returns false when a callback destroyed this object.
    bool deliverPending() {
        const QByteArray data = socket_->readAll();
        if (data.isEmpty())
            return true;
        auto alive = alive_;
        fire(onData, data);
        return *alive;
    }

    void failed(QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError) {
            // The rest of the reply is still readable here.
            if (!deliverPending())
                return;
            fire(onClosedByPeer);
            return;
        }
        fire(onError, socket_->errorString());
    }

    QTcpSocket* socket_;
    std::shared_ptr<bool> alive_;
    bool flushOnSend_;
    bool inSend_ = false;
};

} // namespace

std::unique_ptr<Timer> QtPlatform::createTimer(int intervalMs) {
    return std::make_unique<QtTimer>(intervalMs, options_.timerType);
}

std::unique_ptr<TcpSocket> QtPlatform::createSocket() {
    return std::make_unique<QtSocket>(options_.flushOnSend);
}

} // namespace drovane
