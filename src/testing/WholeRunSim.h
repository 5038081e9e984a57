#pragma once

#include "FakeRunView.h"
#include "MemoryFiles.h"
#include "ScriptedPrompter.h"
#include "SimPlatform.h"
#include "core/run/RunController.h"
#include "core/settings/SettingsStore.h"

#include <QHash>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace drovane::test {

// A sequence that depends on its seed alone (SplitMix64): the same on every machine and
// standard library, so that a seed replays the same run anywhere.
class SeedRandom {
public:
    explicit SeedRandom(quint64 seed) : state_(seed) {}
    quint64 next();
    int below(int n); // 0 .. n-1
    qint64 between(qint64 lo, qint64 hi);
    bool percent(double p); // true in about p of 100 draws

private:
    quint64 state_;
};

// An alarm that remembers the moment it is set for, so that a slot's next wake-up can be
// read from outside.
class WatchedAlarm final : public Alarm {
public:
    explicit WatchedAlarm(std::unique_ptr<Alarm> inner);
    ~WatchedAlarm() override;
    void setAt(qint64 steadyUs) override;
    void cancel() override { inner_->cancel(); }
    bool isSet() const override { return inner_->isSet(); }
    qint64 setFor() const { return setFor_; }

    // Cleared when the alarm is destroyed.
    WatchedAlarm** registration = nullptr;

private:
    std::unique_ptr<Alarm> inner_;
    qint64 setFor_ = 0;
};

// The simulator, with every alarm it hands out kept in creation order.
class WatchedPlatform final : public Platform {
public:
    explicit WatchedPlatform(SimPlatform& sim) : sim_(sim) {}
    std::unique_ptr<Timer> createTimer(int intervalMs) override {
        return sim_.createTimer(intervalMs);
    }
    std::unique_ptr<TcpSocket> createSocket() override { return sim_.createSocket(); }
    std::unique_ptr<Alarm> createAlarm() override;
    const Clock& clock() const override { return sim_.clock(); }

    // Null once the alarm is gone. A deque: entries must not move.
    std::deque<WatchedAlarm*> alarms;

private:
    SimPlatform& sim_;
};

// What one seed's simulation came to.
struct SimOutcome {
    QString failure; // empty when every invariant held after every step
    int steps = 0;
    qint64 virtualMs = 0;
    int runs = 0;
    int requests = 0;
    int setupRequests = 0; // of them, the setup check's
    int counted = 0;
    int orders = 0;
    quint64 fingerprint = 0; // of everything the sockets did: equal for equal seeds
    bool ok() const { return failure.isEmpty(); }
};

// A whole program session under virtual time, drawn from a seed: runs started and stopped,
// the registrar misbehaving in every way the simulator can, the user editing the interval,
// answering error dialogs and the clock jumping. After every step it checks what must
// hold whatever happened (see check()); the first broken invariant ends it.
class WholeRunSim {
public:
    explicit WholeRunSim(quint64 seed);
    ~WholeRunSim();

    SimOutcome run(int steps);
    // The invariants as they stand now; empty when all hold.
    QString check();

    quint64 seed() const { return seed_; }
    // One line per step and per plan drawn, newest last.
    QStringList trace;
    // Called after each step, before the check: lets a test break the engine's promises
    // to prove the checks see it.
    std::function<void(WholeRunSim&, int step)> afterStep;

    // The session. Declared in the order they must be built.
    QTemporaryDir dir;
    SimPlatform sim;
    WatchedPlatform platform{sim};
    ScriptedPrompter prompter;
    MemoryFiles* files = new MemoryFiles(dir.path()); // owned by the store
    SettingsStore store{std::unique_ptr<DataFiles>(files)};
    FakeRunView view;
    RunController controller{store, platform, prompter, view, QStringLiteral("registrar.test")};

    // The alarms of the current run's slots, in slot order.
    WatchedAlarm* slotAlarm(int index) const;

private:
    struct InFlight {
        QString domain;
        bool purchase = false;
        qint64 endMs = -1; // when the reply is whole or the peer ends it; -1: never
    };
    struct Name {
        QString domain;
        int freePercent = 0;  // of checks that find it free
        int errorPercent = 0; // of replies that have no rule
    };
    // What the current (or last) run is made of and has done.
    struct Book {
        bool live = false;
        bool immediate = true;
        bool purchaseMethod = false;
        bool listNeedsRegistrant = false;
        qsizetype firstReply = 0; // its first event in view.replies
        qsizetype firstError = 0; // its first error dialog in view.errors
        qsizetype absorbed = 0;   // events looked at so far
        qsizetype afterDrop = 0;  // events for jobs Stop Current had dropped
        std::vector<DomainJobPtr> jobs;
        QHash<QString, int> slotOf;
        QHash<QString, qsizetype> droppedAt; // the events a dropped job had by then
        QHash<QString, int> frees;           // Free events per name
        QHash<QString, int> purchases;       // purchase requests per name
        qint64 longestIntervalMs = 0;
        size_t alarmsFrom = 0;
        bool begun[2] = {false, false};
    };

    void act(int step);
    void startRun();
    void stopCurrent();
    QString pickInterval();
    SimConnectPlan planConnect();
    SimReply planReply(const QByteArray& request);
    QByteArray answerFor(const QString& command, const QString& domain, bool contentLength);
    QString requestProblem(const QByteArray& request) const;
    static bool isSetupCommand(const QString& command);
    QByteArray setupAnswer(const QString& command, const QString& tld, bool contentLength);
    std::optional<QString> setupRequestProblem(const QByteArray& request) const;
    void applySocketLog(qsizetype upTo);
    QString absorbEvents();
    QString checkOrders();
    QString checkSlots();
    void fail(const QString& why);
    void note(const QString& line);

    quint64 seed_;
    SeedRandom rng_;
    QList<Name> names_;
    Book book_;
    QHash<int, InFlight> inFlight_; // by socket id
    qsizetype logApplied_ = 0;
    QHash<QString, QString> orderOwner_; // order id -> the name it was given for
    QStringList orderIds_;               // as reported, in order
    int orderedEvents_ = 0;
    int ordersChecked_ = -1;
    int nextOrder_ = 500000;
    int requests_ = 0;
    int setupRequests_ = 0;
    int runs_ = 0;
    QString failure_;
};

} // namespace drovane::test
