#pragma once

#include "core/platform/Platform.h"

#include <algorithm>
#include <functional>
#include <memory>

namespace drovane::test {

// A timer that counts down on another platform's timer, its interval passed through a
// mapping first (to scale a run down in real time, or to pin an interval).
class MappedTimer final : public Timer {
public:
    MappedTimer(std::unique_ptr<Timer> inner, int intervalMs, std::function<int(int)> map)
        : Timer(intervalMs), inner_(std::move(inner)), map_(std::move(map)) {
        inner_->onTick = [this] { elapse(); };
    }

protected:
    void startCountdown(int ms) override {
        inner_->setEnabled(false);
        inner_->setInterval(map_ ? map_(ms) : ms);
        inner_->setEnabled(true);
    }
    void stopCountdown() override { inner_->setEnabled(false); }

private:
    std::unique_ptr<Timer> inner_;
    std::function<int(int)> map_;
};

// What a watched socket did, in the order the engine and the network saw it.
enum class SocketEvent {
    Connect,      // the engine asked for a connection
    Connected,    // the connect event, before the engine hears of it
    Send,         // the engine handed over a request
    Sent,         // send() returned
    SendComplete, // the send-complete event, before the engine hears of it
    Data,         // a piece of the reply, before the engine hears of it
    ClosedByPeer, // the end of a reply
    Error,        // refused, reset, unresolvable
    TlsFailure,   // the handshake failed or the certificate was refused
    Close,        // the engine dropped the connection
};

// A socket that reports every call and event to an observer, then passes it on.
class ObservedSocket final : public TcpSocket {
public:
    using Observer = std::function<void(int socketId, SocketEvent, const QByteArray&)>;

    // Sends one socket's connections elsewhere (to a refusing port, say).
    using Route =
        std::function<std::pair<QString, quint16>(int socketId, const QString& host, quint16 port)>;

    ObservedSocket(std::unique_ptr<TcpSocket> inner, int id, Observer observer, Route route = {})
        : inner_(std::move(inner)), id_(id), observer_(std::move(observer)),
          route_(std::move(route)) {
        inner_->onConnected = [this] {
            note(SocketEvent::Connected);
            fire(onConnected);
        };
        inner_->onSendComplete = [this] {
            note(SocketEvent::SendComplete);
            fire(onSendComplete);
        };
        inner_->onData = [this](const QByteArray& bytes) {
            note(SocketEvent::Data, bytes);
            fire(onData, bytes);
        };
        inner_->onClosedByPeer = [this] {
            note(SocketEvent::ClosedByPeer);
            fire(onClosedByPeer);
        };
        inner_->onError = [this](const QString& text) {
            note(SocketEvent::Error, text.toUtf8());
            fire(onError, text);
        };
        inner_->onHandshakeFailed = [this](const QString& text) {
            note(SocketEvent::TlsFailure, text.toUtf8());
            fire(onHandshakeFailed, text);
        };
    }

    void close() override {
        note(SocketEvent::Close);
        inner_->close();
    }
    void connectTo(const QString& host, quint16 port) override { connect(host, port, false); }
    void connectEncrypted(const QString& host, quint16 port) override { connect(host, port, true); }
    void send(const QByteArray& bytes) override {
        note(SocketEvent::Send, bytes);
        inner_->send(bytes);
        note(SocketEvent::Sent);
    }

private:
    void connect(const QString& host, quint16 port, bool secure) {
        note(SocketEvent::Connect, host.toUtf8());
        const auto [toHost, toPort] = route_ ? route_(id_, host, port) : std::pair{host, port};
        if (secure)
            inner_->connectEncrypted(toHost, toPort);
        else
            inner_->connectTo(toHost, toPort);
    }

    void note(SocketEvent e, const QByteArray& bytes = {}) {
        if (observer_)
            observer_(id_, e, bytes);
    }

    std::unique_ptr<TcpSocket> inner_;
    int id_;
    Observer observer_;
    Route route_;
};

// An alarm that reports the moment it was set for, and when it fired, to an observer,
// and may scale its wait as MappedTimer does.
class ObservedAlarm final : public Alarm {
public:
    // Told the moment an alarm is set for, and again with `fired` when it fires.
    using Observer = std::function<void(int alarmId, qint64 setForUs, bool fired)>;

    ObservedAlarm(std::unique_ptr<Alarm> inner, const Clock& clock, int id, Observer observer,
                  std::function<int(int)> map)
        : inner_(std::move(inner)), clock_(clock), id_(id), observer_(std::move(observer)),
          map_(std::move(map)) {
        inner_->onFire = [this] {
            if (observer_)
                observer_(id_, setFor_, true);
            fire(onFire);
        };
    }
    void setAt(qint64 steadyUs) override {
        setFor_ = steadyUs;
        if (observer_)
            observer_(id_, steadyUs, false);
        if (map_) {
            const qint64 now = clock_.steadyUs();
            steadyUs = now + qint64(map_(int(std::max<qint64>(0, steadyUs - now) / 1000))) * 1000;
        }
        inner_->setAt(steadyUs);
    }
    void cancel() override { inner_->cancel(); }
    bool isSet() const override { return inner_->isSet(); }

private:
    std::unique_ptr<Alarm> inner_;
    const Clock& clock_;
    int id_;
    Observer observer_;
    std::function<int(int)> map_;
    qint64 setFor_ = 0;
};

// Passes everything to another platform; sockets report to `observer` and connect where
// `route` says, alarms report to `alarmObserver`, and the waits of timers and alarms go
// through `timerMap`, when these are set.
class ObservedPlatform : public Platform {
public:
    explicit ObservedPlatform(Platform& inner) : inner_(inner) {}

    std::unique_ptr<Timer> createTimer(int intervalMs) override {
        if (!timerMap)
            return inner_.createTimer(intervalMs);
        return std::make_unique<MappedTimer>(inner_.createTimer(timerMap(intervalMs)), intervalMs,
                                             timerMap);
    }
    std::unique_ptr<TcpSocket> createSocket() override {
        return std::make_unique<ObservedSocket>(inner_.createSocket(), nextSocketId_++, observer,
                                                route);
    }
    std::unique_ptr<Alarm> createAlarm() override {
        auto inner = inner_.createAlarm();
        if (!alarmObserver && !timerMap)
            return inner;
        return std::make_unique<ObservedAlarm>(std::move(inner), inner_.clock(), nextAlarmId_++,
                                               alarmObserver, timerMap);
    }
    const Clock& clock() const override { return inner_.clock(); }

    // Socket ids count from 1 in creation order: a run creates slot 1's socket first.
    ObservedSocket::Observer observer;
    ObservedSocket::Route route;
    std::function<int(int)> timerMap;
    // Alarm ids count from 1 in creation order: a run creates slot 1's alarm first.
    ObservedAlarm::Observer alarmObserver;

private:
    Platform& inner_;
    int nextSocketId_ = 1;
    int nextAlarmId_ = 1;
};

} // namespace drovane::test
