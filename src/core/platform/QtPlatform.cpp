#include "QtPlatform.h"

#include "TlsConfig.h"

#include <QNetworkProxy>
#include <QSocketNotifier>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <memory>
#include <sys/timerfd.h>
#include <unistd.h>

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

qint64 steadyNowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A timerfd watched by the event loop, where a QTimer would round the wait up to a whole
// millisecond and a long poll() timeout ends about 0.1 % late. It wakes a little early and
// waits out the rest on the clock: a request is due at its moment, not after it, and a
// wake-up is often late by tens of microseconds (by a few hundred on a busy machine). The
// early part is kept short because it is spent spinning: the thread sleeps until then.
class QtAlarm final : public Alarm {
    static constexpr qint64 kEarlyUs = 200;

public:
    QtAlarm() : fd_(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
        if (fd_ < 0) {
            // No timerfd: a precise QTimer, a millisecond coarser.
            fallback_ = new QTimer;
            fallback_->setTimerType(Qt::PreciseTimer);
            fallback_->setSingleShot(true);
            QObject::connect(fallback_, &QTimer::timeout, [this] { expired(); });
            return;
        }
        notifier_ = new QSocketNotifier(qintptr(fd_), QSocketNotifier::Read);
        QObject::connect(notifier_, &QSocketNotifier::activated, [this] {
            quint64 count = 0;
            if (::read(fd_, &count, sizeof count) != sizeof count)
                return; // disarmed or set anew since it became readable
            expired();
        });
    }
    ~QtAlarm() override {
        // The owner may be destroyed from inside this alarm's own firing.
        if (notifier_) {
            notifier_->setEnabled(false);
            notifier_->disconnect();
            notifier_->deleteLater();
            ::close(fd_);
        }
        if (fallback_) {
            fallback_->stop();
            fallback_->disconnect();
            fallback_->deleteLater();
        }
    }

    void setAt(qint64 steadyUs) override {
        set_ = true;
        if (fallback_) {
            const qint64 now = steadyNowUs();
            fallback_->start(int(std::clamp<qint64>((steadyUs - now + 999) / 1000, 0, INT_MAX)));
            return;
        }
        at_ = steadyUs;
        itimerspec spec{};
        // A zero value would disarm the timer: a moment already past is the first nanosecond.
        const qint64 at = std::max<qint64>(steadyUs - kEarlyUs, 0);
        spec.it_value.tv_sec = time_t(at / 1000000);
        spec.it_value.tv_nsec = long(at % 1000000) * 1000;
        if (spec.it_value.tv_sec == 0 && spec.it_value.tv_nsec == 0)
            spec.it_value.tv_nsec = 1;
        timerfd_settime(fd_, TFD_TIMER_ABSTIME, &spec, nullptr);
    }
    void cancel() override {
        // One that fired is disarmed already: no system call on the way to a request.
        if (!set_)
            return;
        set_ = false;
        if (fallback_) {
            fallback_->stop();
            return;
        }
        const itimerspec off{};
        timerfd_settime(fd_, 0, &off, nullptr);
    }
    bool isSet() const override { return set_; }

private:
    void expired() {
        if (!set_)
            return;
        set_ = false;
        if (notifier_)
            while (steadyNowUs() < at_) {
            }
        fire(onFire);
    }

    int fd_;
    qint64 at_ = 0;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* fallback_ = nullptr;
    bool set_ = false;
};

class QtSocket final : public TcpSocket {
public:
    explicit QtSocket(bool flushOnSend)
        : alive_(std::make_shared<bool>(true)), flushOnSend_(flushOnSend) {
        makeSocket(false);
    }
    ~QtSocket() override {
        *alive_ = false;
        dropSocket();
    }

    void close() override {
        keepTicket();
        socket_->abort();
    }
    void connectTo(const QString& host, quint16 port) override {
        if (secure_)
            makeSocket(false);
        peerClosed_ = false;
        socket_->connectToHost(host, port);
    }
    void connectEncrypted(const QString& host, quint16 port) override {
        if (!secure_)
            makeSocket(true);
        keepTicket();
        auto* ssl = static_cast<QSslSocket*>(socket_);
        ssl->abort();
        QSslConfiguration configuration = registrarTlsConfiguration();
        // The ticket of the last connection lets this handshake skip the certificate
        // exchange; a server that no longer knows it simply makes a full one.
        if (!ticket_.isEmpty())
            configuration.setSessionTicket(ticket_);
        ssl->setSslConfiguration(configuration);
        peerClosed_ = false;
        tlsErrors_.clear();
        // The host name goes out as SNI and is what the certificate must name.
        ssl->connectToHostEncrypted(host, port);
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
    // Plain connections keep QTcpSocket, whose events come straight from the kernel;
    // QSslSocket adds a layer even when it does not encrypt.
    void makeSocket(bool secure) {
        if (socket_)
            dropSocket();
        secure_ = secure;
        if (secure) {
            auto* ssl = new QSslSocket;
            socket_ = ssl;
            QObject::connect(ssl, &QSslSocket::encrypted, [this] { fire(onConnected); });
            // Not ignored: the handshake then fails and errorOccurred says so.
            QObject::connect(ssl, &QSslSocket::sslErrors,
                             [this](const QList<QSslError>& errors) { tlsErrors_ = errors; });
        } else {
            socket_ = new QTcpSocket;
            QObject::connect(socket_, &QTcpSocket::connected, [this] { fire(onConnected); });
        }
        socket_->setProxy(QNetworkProxy::NoProxy);
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

    void dropSocket() {
        // Signals must not reach this half-destroyed object, and a socket deleted
        // inside its own signal emission crashes: detach, drop, delete later.
        socket_->disconnect();
        socket_->abort();
        socket_->deleteLater();
        socket_ = nullptr;
    }

    // A TLS 1.3 server sends its tickets after the handshake, so the newest one is
    // known only when the connection ends.
    void keepTicket() {
        if (!secure_)
            return;
        const QByteArray ticket =
            static_cast<QSslSocket*>(socket_)->sslConfiguration().sessionTicket();
        if (!ticket.isEmpty())
            ticket_ = ticket;
    }

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
            // A TLS peer's close is reported twice: its close_notify, then the TCP close.
            if (peerClosed_)
                return;
            peerClosed_ = true;
            keepTicket();
            // The rest of the reply is still readable here.
            if (!deliverPending())
                return;
            fire(onClosedByPeer);
            return;
        }
        if (secure_ && (error == QAbstractSocket::SslHandshakeFailedError ||
                        error == QAbstractSocket::SslInternalError ||
                        error == QAbstractSocket::SslInvalidUserDataError)) {
            fire(onHandshakeFailed, describeTlsFailure(tlsErrors_, socket_->errorString()));
            return;
        }
        fire(onError, socket_->errorString());
    }

    QTcpSocket* socket_ = nullptr;
    bool secure_ = false;
    std::shared_ptr<bool> alive_;
    bool flushOnSend_;
    bool inSend_ = false;
    bool peerClosed_ = false;
    QList<QSslError> tlsErrors_;
    QByteArray ticket_;
};

} // namespace

std::unique_ptr<Alarm> QtPlatform::createAlarm() {
    return std::make_unique<QtAlarm>();
}

std::unique_ptr<Timer> QtPlatform::createTimer(int intervalMs) {
    return std::make_unique<QtTimer>(intervalMs, options_.timerType);
}

std::unique_ptr<TcpSocket> QtPlatform::createSocket() {
    return std::make_unique<QtSocket>(options_.flushOnSend);
}

} // namespace drovane
