#pragma once

#include "platform/QtPlatform.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

namespace drovane::bench {

// The literal timing the engine improves on, kept here only to measure against: every
// timer is Qt's default coarse timer, the schedule clock is a plain 1000 ms timer that
// runs from the moment Start was pressed, whatever second the wall clock is in, and a
// request is left in the socket's buffer until the event loop gets round to it.
class BaselinePlatform : public Platform {
public:
    // The next timer created is the schedule clock (a run controller creates it first).
    void pinNextTimer() { pinNext_ = true; }

    std::unique_ptr<Timer> createTimer(int intervalMs) override {
        const bool pinned = pinNext_;
        pinNext_ = false;
        return std::make_unique<CoarseTimer>(intervalMs, pinned);
    }
    std::unique_ptr<TcpSocket> createSocket() override {
        return std::make_unique<BufferedSocket>();
    }
    const Clock& clock() const override { return clock_; }

private:
    class CoarseTimer final : public Timer {
    public:
        CoarseTimer(int intervalMs, bool pinned)
            : Timer(intervalMs), timer_(new QTimer), pinned_(pinned) {
            timer_->setTimerType(Qt::CoarseTimer);
            QObject::connect(timer_, &QTimer::timeout, [this] { elapse(); });
        }
        ~CoarseTimer() override {
            timer_->stop();
            timer_->disconnect();
            timer_->deleteLater();
        }

    protected:
        void startCountdown(int ms) override {
            if (!pinned_) {
                timer_->start(ms);
                return;
            }
            // Ticks every 1000 ms from the enable on; asking it to land on the next
            // second changes nothing.
            if (!timer_->isActive())
                timer_->start(1000);
        }
        void stopCountdown() override { timer_->stop(); }

    private:
        QTimer* timer_;
        bool pinned_;
    };

    // The program's socket as it was before it handed requests to the kernel at once.
    class BufferedSocket final : public TcpSocket {
    public:
        BufferedSocket() : socket_(new QTcpSocket), alive_(std::make_shared<bool>(true)) {
            socket_->setProxy(QNetworkProxy::NoProxy);
            QObject::connect(socket_, &QTcpSocket::connected, [this] { fire(onConnected); });
            QObject::connect(socket_, &QTcpSocket::bytesWritten, [this](qint64) {
                if (socket_->bytesToWrite() == 0)
                    fire(onSendComplete);
            });
            QObject::connect(socket_, &QTcpSocket::readyRead, [this] { deliverPending(); });
            QObject::connect(socket_, &QTcpSocket::errorOccurred,
                             [this](QAbstractSocket::SocketError error) {
                                 if (error != QAbstractSocket::RemoteHostClosedError) {
                                     fire(onError, socket_->errorString());
                                     return;
                                 }
                                 if (deliverPending())
                                     fire(onClosedByPeer);
                             });
        }
        ~BufferedSocket() override {
            *alive_ = false;
            socket_->disconnect();
            socket_->abort();
            socket_->deleteLater();
        }
        void close() override { socket_->abort(); }
        void connectTo(const QString& host, quint16 port) override {
            socket_->connectToHost(host, port);
        }
        void send(const QByteArray& bytes) override { socket_->write(bytes); }

    private:
        bool deliverPending() {
            const QByteArray data = socket_->readAll();
            if (data.isEmpty())
                return true;
            auto alive = alive_;
            fire(onData, data);
            return *alive;
        }
        QTcpSocket* socket_;
        std::shared_ptr<bool> alive_;
    };

    SystemClock clock_;
    bool pinNext_ = false;
};

} // namespace drovane::bench
