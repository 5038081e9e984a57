// How late requests and purchases reach the registrar, under virtual time with a
// simulated round trip of 50 ms: a connection takes one round trip to set up, a request
// reaches the registrar half a round trip after it is written, and its reply comes back
// half a round trip after the registrar sent it.
//
//   drovane_race_sim
//
// Prints one line per measure: the median and the largest of the samples, in ms.

#include "testing/RunRig.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace drovane;
using namespace drovane::test;

namespace {

constexpr qint64 kRoundTripMs = 50;
constexpr qint64 kHalf = kRoundTripMs / 2;

// With `handshake`, a TLS handshake takes one round trip more after the connect.
void simulateRoundTrip(RunRig& rig, bool handshake = false) {
    rig.platform.connectPlan = [handshake](const QString&, quint16) {
        SimConnectPlan plan;
        plan.delayMs = kRoundTripMs;
        plan.handshakeMs = handshake ? kRoundTripMs : 0;
        return plan;
    };
    rig.script = [&rig](const QByteArray& request) {
        SimReply reply = rig.answer(request);
        reply.firstDelayMs = kRoundTripMs;
        return reply;
    };
}

struct Sent {
    qint64 atMs;
    QString asked;
};

// Every request of the run, in time order, as the socket wrote it.
std::vector<Sent> sent(const RunRig& rig) {
    std::vector<Sent> out;
    for (const SimEvent& e : rig.platform.log)
        if (e.what == QLatin1String("request"))
            out.push_back({e.atMs, requested(e.bytes)});
    return out;
}

void print(const char* what, std::vector<double> v) {
    if (v.empty()) {
        std::printf("  %-58s   n/a\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    std::printf("  %-58s %8.1f %8.1f  (n %zu)\n", what, v[v.size() / 2], v.back(), v.size());
}

// An immediate run of one taken name at `interval`: each request's arrival at the
// registrar after the moment it was due (the reply's arrival plus the interval), and the
// gap between a reply's arrival and the next request's write.
void pacing(const char* interval, double intervalMs) {
    RunRig rig;
    simulateRoundTrip(rig);
    rig.view.f.delayTime = QString::fromLatin1(interval);
    rig.view.f.domains = QStringLiteral("taken.com");
    rig.run.DoStart();
    rig.platform.advance(20000);
    const std::vector<Sent> s = sent(rig);
    std::vector<double> late, gap;
    for (size_t i = 1; i < s.size(); ++i) {
        const qint64 replyArrived = s[i - 1].atMs + kRoundTripMs;
        late.push_back(double(s[i].atMs + kHalf - replyArrived) - intervalMs);
        gap.push_back(double(s[i].atMs - replyArrived));
    }
    std::printf("interval %s:\n", interval);
    print("request at the registrar after its due moment", late);
    print("reply arrived -> next request written", gap);
}

// A scheduled run: the first requests' arrival at the registrar after the named second.
void scheduled() {
    std::vector<double> late;
    for (int pressedAt : {100, 400, 700, 950}) {
        RunRig rig;
        simulateRoundTrip(rig);
        rig.view.f.startImmediately = 0;
        rig.view.f.startTime = QStringLiteral("10:00:10 AM");
        rig.view.f.endTime = QStringLiteral("10:05:00 AM");
        rig.platform.advance(pressedAt);
        rig.run.DoStart();
        rig.platform.advanceTo(11000);
        for (int socket = 1; socket <= 2; ++socket) {
            const QList<qint64> r = rig.times(socket, QStringLiteral("request"));
            if (!r.isEmpty())
                late.push_back(double(r.first() + kHalf - 10000));
        }
    }
    std::printf("scheduled start (10:00:10, pressed at four points of a second):\n");
    print("first request at the registrar after the named second", late);
}

// A check finds free.com free: the purchase's arrival at the registrar after the
// registrar sent the "free" reply.
void purchase(bool buyAtOnce, bool handshake = false) {
    RunRig rig;
    simulateRoundTrip(rig, handshake);
    Options options = rig.store.options();
    options.buyAtOnce = buyAtOnce;
    rig.store.setOptions(options);
    rig.view.f.delayTime = QStringLiteral("1");
    rig.view.f.domains = QStringLiteral("free.com");
    rig.free = {QStringLiteral("free.com")};
    rig.run.DoStart();
    rig.platform.advance(30000);
    const std::vector<Sent> s = sent(rig);
    std::vector<double> after;
    for (size_t i = 1; i < s.size(); ++i)
        if (s[i].asked.startsWith(QLatin1String("purchase")) &&
            s[i - 1].asked.startsWith(QLatin1String("check"))) {
            const qint64 freeLeft = s[i - 1].atMs + kHalf;
            after.push_back(double(s[i].atMs + kHalf - freeLeft));
        }
    std::printf("interval 1, %s%s:\n", buyAtOnce ? "buy at once" : "buy at the next interval",
                handshake ? ", TLS handshake of one round trip" : "");
    print("purchase at the registrar after the \"free\" reply left", after);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("virtual time, round trip %lld ms; columns: median, max (ms)\n",
                qlonglong(kRoundTripMs));
    pacing("1", 1000);
    pacing("0.5", 500);
    pacing("1.5", 1500);
    scheduled();
    purchase(false);
    purchase(true);
    purchase(true, true);
    return 0;
}
