#include "SimPlatform.h"

#include <utility>

namespace drovane {

class SimClock : public Clock {
public:
    explicit SimClock(const SimPlatform& p) : p_(p) {}
    QDateTime now() const override { return p_.start_.addMSecs(p_.nowMs() + p_.wallOffsetMs_); }
    qint64 wallUs() const override { return now().toMSecsSinceEpoch() * 1000; }
    qint64 steadyUs() const override { return p_.nowMs() * 1000; }
    ClockSync sync() const override { return p_.clockSync; }

private:
    const SimPlatform& p_;
};

namespace {

class SimTimer final : public Timer {
public:
    SimTimer(SimPlatform& p, int ms) : Timer(ms), p_(p) {}
    ~SimTimer() override { stopCountdown(); }

protected:
    void startCountdown(int ms) override {
        stopCountdown();
        arm(ms);
    }
    void stopCountdown() override {
        if (pending_)
            p_.cancel(pending_);
        pending_ = 0;
    }

private:
    void arm(int ms) {
        pending_ = p_.schedule(ms, [this, ms] {
            pending_ = 0;
            arm(ms); // periodic: the next countdown starts now
            elapse();
        });
    }
    SimPlatform& p_;
    quint64 pending_ = 0;
};

// Virtual time runs in whole milliseconds: a moment inside one fires at its end.
class SimAlarm final : public Alarm {
public:
    explicit SimAlarm(SimPlatform& p) : p_(p) {}
    ~SimAlarm() override { cancel(); }

    void setAt(qint64 steadyUs) override {
        cancel();
        const qint64 delayMs = (steadyUs - p_.nowMs() * 1000 + 999) / 1000;
        pending_ = p_.schedule(std::max<qint64>(0, delayMs), [this] {
            pending_ = 0;
            fire(onFire);
        });
    }
    void cancel() override {
        if (pending_)
            p_.cancel(pending_);
        pending_ = 0;
    }
    bool isSet() const override { return pending_ != 0; }

private:
    SimPlatform& p_;
    quint64 pending_ = 0;
};

} // namespace

class SimSocket final : public TcpSocket {
public:
    SimSocket(SimPlatform& p) : p_(p), id_(p.nextSocketId_++) {}
    ~SimSocket() override { dropPending(); }

    void close() override {
        dropPending();
        if (state_ != Idle)
            p_.log.append({p_.nowMs(), id_, QStringLiteral("close"), {}});
        state_ = Idle;
    }
    void connectTo(const QString& host, quint16 port) override { connect(host, port, false); }
    void connectEncrypted(const QString& host, quint16 port) override { connect(host, port, true); }
    void connect(const QString& host, quint16 port, bool secure) {
        p_.log.append({p_.nowMs(), id_, QStringLiteral("connect"), host.toUtf8()});
        SimConnectPlan plan = p_.connectPlan ? p_.connectPlan(host, port) : SimConnectPlan{};
        state_ = Connecting;
        asked_ = false;
        later(plan.delayMs, [this, plan, secure] {
            switch (plan.outcome) {
            case SimConnectPlan::Accept:
                if (secure) {
                    later(plan.handshakeMs, [this, plan] { handshakeDone(plan); });
                    break;
                }
                state_ = Connected;
                closeWhenIdle(plan);
                fire(onConnected);
                break;
            case SimConnectPlan::Refuse:
                state_ = Idle;
                fire(onError, QStringLiteral("Connection refused"));
                break;
            case SimConnectPlan::Unresolvable:
                state_ = Idle;
                fire(onError, QStringLiteral("Host not found"));
                break;
            case SimConnectPlan::Silent:
                break;
            }
        });
    }
    void send(const QByteArray& bytes) override {
        if (state_ != Connected)
            return;
        p_.log.append({p_.nowMs(), id_, QStringLiteral("request"), bytes});
        asked_ = true;
        later(0, [this] { fire(onSendComplete); });
        SimReply reply = p_.replyFor ? p_.replyFor(bytes) : SimReply{};
        if (reply.silent)
            return;
        qint64 at = reply.firstDelayMs;
        for (const QByteArray& piece : reply.pieces) {
            later(at, [this, piece] { fire(onData, piece); });
            at += reply.pieceGapMs;
        }
        if (reply.resetAfter) {
            later(at, [this] {
                state_ = Idle;
                fire(onError, QStringLiteral("Connection reset by peer"));
            });
        } else if (reply.closeAfter) {
            later(at, [this] {
                state_ = Idle;
                fire(onClosedByPeer);
            });
        }
    }

private:
    enum State { Idle, Connecting, Connected };

    void handshakeDone(const SimConnectPlan& plan) {
        if (!plan.handshakeFailure.isEmpty()) {
            p_.log.append({p_.nowMs(), id_, QStringLiteral("handshake failed"),
                           plan.handshakeFailure.toUtf8()});
            state_ = Idle;
            fire(onHandshakeFailed, plan.handshakeFailure);
            return;
        }
        p_.log.append({p_.nowMs(), id_, QStringLiteral("handshake"), {}});
        state_ = Connected;
        closeWhenIdle(plan);
        fire(onConnected);
    }

    void closeWhenIdle(const SimConnectPlan& plan) {
        if (plan.closeIdleAfterMs < 0)
            return;
        later(plan.closeIdleAfterMs, [this] {
            if (state_ != Connected || asked_)
                return;
            p_.log.append({p_.nowMs(), id_, QStringLiteral("peer-close"), {}});
            state_ = Idle;
            fire(onClosedByPeer);
        });
    }

    void later(qint64 ms, const std::function<void()>& cb) {
        quint64* slot = new quint64(0);
        *slot = p_.schedule(ms, [this, cb, slot] {
            pending_.remove(*slot);
            delete slot;
            cb();
        });
        pending_.insert(*slot, slot);
    }
    void dropPending() {
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            p_.cancel(it.key());
            delete it.value();
        }
        pending_.clear();
    }

    SimPlatform& p_;
    int id_;
    State state_ = Idle;
    bool asked_ = false;
    QHash<quint64, quint64*> pending_;
};

SimPlatform::SimPlatform(QDateTime start) : start_(std::move(start)), clock_(new SimClock(*this)) {}
SimPlatform::~SimPlatform() = default;

std::unique_ptr<Timer> SimPlatform::createTimer(int intervalMs) {
    return std::make_unique<SimTimer>(*this, intervalMs);
}
std::unique_ptr<TcpSocket> SimPlatform::createSocket() {
    return std::make_unique<SimSocket>(*this);
}
std::unique_ptr<Alarm> SimPlatform::createAlarm() {
    return std::make_unique<SimAlarm>(*this);
}
const Clock& SimPlatform::clock() const {
    return *clock_;
}

quint64 SimPlatform::schedule(qint64 delayMs, Callback cb) {
    const quint64 id = nextId_++;
    const qint64 at = nowMs_ + std::max<qint64>(0, delayMs);
    queue_.emplace(std::make_pair(at, id), std::move(cb));
    whenById_.emplace(id, at);
    return id;
}

void SimPlatform::cancel(quint64 id) {
    auto it = whenById_.find(id);
    if (it == whenById_.end())
        return;
    queue_.erase({it->second, id});
    whenById_.erase(it);
}

void SimPlatform::advance(qint64 ms) {
    advanceTo(nowMs_ + ms);
}

void SimPlatform::advanceTo(qint64 atMs) {
    while (!queue_.empty() && queue_.begin()->first.first <= atMs) {
        auto it = queue_.begin();
        nowMs_ = it->first.first;
        Callback cb = std::move(it->second);
        whenById_.erase(it->first.second);
        queue_.erase(it);
        cb();
    }
    nowMs_ = std::max(nowMs_, atMs);
}

QList<QByteArray> SimPlatform::requests() const {
    QList<QByteArray> out;
    for (const SimEvent& e : log)
        if (e.what == QLatin1String("request"))
            out.append(e.bytes);
    return out;
}

int SimPlatform::count(const QString& what) const {
    int n = 0;
    for (const SimEvent& e : log)
        n += e.what == what;
    return n;
}

} // namespace drovane
