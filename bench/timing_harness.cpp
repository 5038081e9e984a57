// Times the real engine (run control, slots, QTimer, QTcpSocket) against a registrar
// stand-in on 127.0.0.1, next to a baseline with coarse timers and an unaligned 1000 ms
// schedule timer, and prints the distributions and their ratio.
//
//   drovane_timing [--pacing-seconds N] [--rounds N] [--seed N] [--samples FILE]
//                  [--same-thread]
//   drovane_timing --tls [--tls-samples N]
//
// Phase 1 runs both variants at interval 1 with Start Immediately for N seconds
// (pacing gap, connect-to-request). Phase 2 starts N scheduled runs a few seconds
// apart, each pressed at a random fraction of a second (scheduled start latency).
// --samples writes every sample as CSV (metric, variant, value). --same-thread runs the
// stand-in in the engine's thread instead of its own.
// --tls instead times the program's sockets alone: full and resumed TLS handshakes on
// loopback, and a whole request over TLS beside plain HTTP, against an OpenSSL stand-in
// with the tests' certificate (trusted through SSL_CERT_FILE).

#include "BaselinePlatform.h"
#include "TimingStandIn.h"
#include "TlsTiming.h"
#include "testing/FakeRunView.h"
#include "testing/ObservedPlatform.h"
#include "testing/RegistrarReplies.h"

#include "core/platform/QtPlatform.h"
#include "core/run/RunController.h"
#include "core/settings/SettingsStore.h"
#include "testing/ScriptedPrompter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

using namespace drovane;
using namespace drovane::test;
using drovane::bench::steadyNs;
using drovane::bench::TimingStandIn;

namespace {

constexpr double kIntervalMs = 1000.0;
// No wait of the harness ever exceeds this: it stops itself.
constexpr qint64 kHardLimitMs = 170000;

qint64 wallNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void waitMs(qint64 ms) {
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(int(ms));
    loop.exec();
}

// Waits until `done` holds or `limitMs` passed; returns whether it held.
bool waitFor(const std::function<bool()>& done, qint64 limitMs) {
    const qint64 until = steadyNs() + limitMs * 1000000;
    while (!done()) {
        if (steadyNs() > until)
            return false;
        waitMs(20);
    }
    return true;
}

struct Stamp {
    int socketId;
    SocketEvent event;
    qint64 steady;
    qint64 wall;
};

// One engine under test with its own platform, files and window fake.
struct Variant {
    Variant(const char* variantName, char variantTag, Platform& base, SocketEvent writtenAt)
        : name(variantName), tag(variantTag), written(writtenAt), observed(base),
          store(dir.path()) {
        observed.observer = [this](int id, SocketEvent e, const QByteArray&) {
            stamps.push_back({id, e, steadyNs(), wallNs()});
        };
        // Slot 1 gets the even lines and slot 2 the odd ones; the names say whose they are.
        QStringList lines;
        for (int i = 0; i < 50; ++i)
            for (int slot = 1; slot <= 2; ++slot)
                lines.append(QStringLiteral("%1%2n%3.com").arg(QLatin1Char(tag)).arg(slot).arg(i));
        view.f.domains = lines.join(QLatin1String("\r\n"));
        view.f.delayTime = QStringLiteral("1");
    }
    static int slotOf(int socketId) { return (socketId - 1) % 2 + 1; }

    const char* name;
    char tag;
    // When the request's bytes are known to be in the kernel: the program's socket
    // writes them inside send(), the baseline's at its send-complete event.
    SocketEvent written;
    ObservedPlatform observed;
    QTemporaryDir dir;
    SettingsStore store;
    ScriptedPrompter prompter;
    FakeRunView view;
    // The run's slots note their last events while the run is destroyed: the stamps
    // must outlive it.
    std::vector<Stamp> stamps;
    // Scheduled rounds: the named second (wall clock) and when Start was pressed.
    std::vector<std::pair<qint64, qint64>> rounds;
    std::unique_ptr<RunController> run;
};

struct Summary {
    size_t n = 0;
    double min = 0, median = 0, p99 = 0, max = 0;
};

Summary summarize(std::vector<double> v) {
    Summary s;
    if (v.empty())
        return s;
    std::sort(v.begin(), v.end());
    auto rank = [&](double q) {
        const size_t k = size_t(std::ceil(q * double(v.size())));
        return v[std::min(v.size() - 1, k == 0 ? 0 : k - 1)];
    };
    s.n = v.size();
    s.min = v.front();
    s.median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    s.p99 = rank(0.99);
    s.max = v.back();
    return s;
}

void printRow(const char* metric, const char* variant, const Summary& s, const char* unit) {
    std::printf("  %-34s %-9s %5zu %10.3f %10.3f %10.3f %10.3f  %s\n", metric, variant, s.n, s.min,
                s.median, s.p99, s.max, unit);
}

// Ratios of the typical and of the worst-but-one-percent size of the error.
void printRatio(const char* metric, const std::vector<double>& engine,
                const std::vector<double>& baseline) {
    auto magnitudes = [](std::vector<double> v) {
        for (double& x : v)
            x = std::fabs(x);
        return summarize(v);
    };
    const Summary e = magnitudes(engine);
    const Summary b = magnitudes(baseline);
    std::printf("  %-34s baseline/engine |x|: median %.1f, p99 %.1f\n", metric,
                e.median > 0 ? b.median / e.median : 0.0, e.p99 > 0 ? b.p99 / e.p99 : 0.0);
}

// The share of samples whose size is within `limit`.
double within(const std::vector<double>& v, double limit) {
    if (v.empty())
        return 0;
    return 100.0 *
           double(
               std::count_if(v.begin(), v.end(), [&](double x) { return std::fabs(x) <= limit; })) /
           double(v.size());
}

// Reply close (stand-in) to the slot's next connection attempt, minus the interval.
std::vector<double> pacingFromStandIn(const Variant& v,
                                      const std::vector<TimingStandIn::Connection>& conns,
                                      qint64 from, qint64 to) {
    std::vector<double> out;
    for (const auto& c : conns) {
        if (c.sld.size() < 2 || c.sld[0] != v.tag || c.closedNs < from || c.closedNs > to)
            continue;
        const int slot = c.sld[1] - '0';
        for (const Stamp& s : v.stamps)
            if (s.event == SocketEvent::Connect && Variant::slotOf(s.socketId) == slot &&
                s.steady > c.closedNs) {
                if (s.steady <= to)
                    out.push_back(double(s.steady - c.closedNs) / 1e6 - kIntervalMs);
                break;
            }
    }
    return out;
}

// The same gap as the engine saw it: its close event to its next attempt.
std::vector<double> pacingFromClient(const Variant& v, qint64 from, qint64 to) {
    std::vector<double> out;
    std::map<int, qint64> closedAt;
    for (const Stamp& s : v.stamps) {
        if (s.steady < from || s.steady > to)
            continue;
        if (s.event == SocketEvent::ClosedByPeer)
            closedAt[s.socketId] = s.steady;
        if (s.event == SocketEvent::Connect && closedAt.count(s.socketId)) {
            out.push_back(double(s.steady - closedAt[s.socketId]) / 1e6 - kIntervalMs);
            closedAt.erase(s.socketId);
        }
    }
    return out;
}

// Connect event to `until` (Send: the engine handed the request over; Sent or
// SendComplete: the bytes were written), in microseconds.
std::vector<double> connectTo(const Variant& v, SocketEvent until, qint64 from, qint64 to) {
    std::vector<double> out;
    std::map<int, qint64> connectedAt;
    for (const Stamp& s : v.stamps) {
        if (s.steady < from || s.steady > to)
            continue;
        if (s.event == SocketEvent::Connected)
            connectedAt[s.socketId] = s.steady;
        if (s.event == until && connectedAt.count(s.socketId)) {
            out.push_back(double(s.steady - connectedAt[s.socketId]) / 1e3);
            connectedAt.erase(s.socketId);
        }
    }
    return out;
}

// Named second to each slot's first attempt (per slot) and to the later of the two.
void scheduledStarts(const Variant& v, std::vector<double>& perSlot, std::vector<double>& both) {
    for (const auto& [namedWall, pressedSteady] : v.rounds) {
        double latest = -1e300;
        int found = 0;
        for (int slot = 1; slot <= 2; ++slot)
            for (const Stamp& s : v.stamps)
                if (s.event == SocketEvent::Connect && s.steady > pressedSteady &&
                    Variant::slotOf(s.socketId) == slot) {
                    const double ms = double(s.wall - namedWall) / 1e6;
                    perSlot.push_back(ms);
                    latest = std::max(latest, ms);
                    ++found;
                    break;
                }
        if (found == 2)
            both.push_back(latest);
    }
}

QByteArray loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("unknown");
}

int argValue(const QStringList& args, const QString& name, int fallback) {
    const qsizetype at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
}

} // namespace

int tlsTiming(int samples) {
    const QString certs = QStringLiteral(DROVANE_TEST_DATA "/tls");
    qputenv("SSL_CERT_FILE", QFile::encodeName(certs + QLatin1String("/test-ca.pem")));
    const QByteArray reply = checkReply("211");
    bench::TlsStandIn tls(certs + QLatin1String("/loopback.pem"),
                          certs + QLatin1String("/loopback-key.pem"), reply);
    bench::TlsStandIn plain({}, {}, reply);
    if (tls.port() == 0 || plain.port() == 0) {
        std::fprintf(stderr, "timing harness: a stand-in could not listen on 127.0.0.1\n");
        return 1;
    }
    const QByteArray request = "GET /interface.asp?command=check&uid=reseller&pw=secret&sld="
                               "example&tld=com&numyears=1&responsetype=text HTTP/1.0\r\n\r\n";
    std::printf("Drovane timing harness, TLS: Qt %s, %d samples each, stand-in on 127.0.0.1\n",
                qVersion(), samples);
    std::printf("load average at start: %s\n", loadAverage().constData());
    QtPlatform qt;
    bench::TlsTiming timing(qt);
    // Interleaved in blocks, so that a change of load meets every variant alike.
    std::vector<bench::TlsTiming::Cycle> full, resumed, clear;
    const int block = 25;
    for (int done = 0; done < samples; done += block) {
        const int n = std::min(block, samples - done);
        for (auto& c : timing.run(n, tls.port(), true, true, request))
            full.push_back(c);
        for (auto& c : timing.run(n, tls.port(), true, false, request))
            resumed.push_back(c);
        for (auto& c : timing.run(n, plain.port(), false, false, request))
            clear.push_back(c);
    }
    std::printf("load average at end: %s\n", loadAverage().constData());
    int reused = 0, served = 0;
    for (const auto& c : tls.connections()) {
        reused += c.reused;
        served += c.ok;
    }
    auto pick = [](const std::vector<bench::TlsTiming::Cycle>& v, bool total) {
        std::vector<double> out;
        for (const auto& c : v)
            if ((total ? c.totalUs : c.handshakeUs) >= 0)
                out.push_back(total ? c.totalUs : c.handshakeUs);
        return out;
    };
    std::printf("\n  %-34s %-9s %5s %10s %10s %10s %10s\n", "metric", "variant", "n", "min",
                "median", "p99", "max");
    const Summary hsFull = summarize(pick(full, false));
    const Summary hsResumed = summarize(pick(resumed, false));
    const Summary e2eFull = summarize(pick(full, true));
    const Summary e2eResumed = summarize(pick(resumed, true));
    const Summary e2ePlain = summarize(pick(clear, true));
    printRow("connect + handshake", "full", hsFull, "us");
    printRow("connect + handshake", "resumed", hsResumed, "us");
    printRow("connect (plain TCP)", "plain", summarize(pick(clear, false)), "us");
    printRow("request end to end", "TLS full", e2eFull, "us");
    printRow("request end to end", "TLS resum", e2eResumed, "us");
    printRow("request end to end", "plain", e2ePlain, "us");
    std::printf("\n  full/resumed handshake: median %.2f, p99 %.2f\n",
                hsFull.median / hsResumed.median, hsFull.p99 / hsResumed.p99);
    std::printf("  end to end, TLS resumed/plain: median %.2f, p99 %.2f\n",
                e2eResumed.median / e2ePlain.median, e2eResumed.p99 / e2ePlain.p99);
    std::printf("  TLS connections served %d, of which resumed %d (expected %zu)\n", served, reused,
                resumed.size());
    return 0;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--tls")))
        return tlsTiming(std::clamp(argValue(args, "--tls-samples", 400), 10, 5000));
    const int pacingSeconds = std::clamp(argValue(args, "--pacing-seconds", 30), 3, 60);
    const int rounds = std::clamp(argValue(args, "--rounds", 12), 1, 16);
    QRandomGenerator random(quint32(argValue(args, "--seed", 5)));

    QTimer::singleShot(kHardLimitMs, [] {
        std::fprintf(stderr, "timing harness: over its time limit, stopping\n");
        std::_Exit(2);
    });

    const bool sameThread = args.contains(QStringLiteral("--same-thread"));
    TimingStandIn standIn(checkReply("211"), !sameThread);
    if (standIn.port() == 0) {
        std::fprintf(stderr, "timing harness: the stand-in could not listen on 127.0.0.1\n");
        return 1;
    }

    QtPlatform qt;
    bench::BaselinePlatform coarse;
    Variant engine("engine", 'e', qt, SocketEvent::Sent);
    Variant baseline("baseline", 'b', coarse, SocketEvent::SendComplete);
    for (Variant* v : {&engine, &baseline}) {
        if (v == &baseline)
            coarse.pinNextTimer();
        v->store.setOptions(Options{.secure = false}); // the stand-in speaks plain HTTP
        v->run = std::make_unique<RunController>(
            v->store, v->observed, v->prompter, v->view, QString(),
            EndpointOverride{QStringLiteral("127.0.0.1"), standIn.port()});
    }
    Variant* variants[] = {&engine, &baseline};
    auto running = [&] { return engine.run->isRunning() || baseline.run->isRunning(); };

    std::printf("Drovane timing harness: Qt %s, interval 1 s, stand-in on 127.0.0.1:%u\n",
                qVersion(), standIn.port());
    std::printf("stand-in in %s thread\n", sameThread ? "the engine's" : "its own");
    std::printf("load average at start: %s\n", loadAverage().constData());

    // Phase 1: immediate runs side by side.
    std::printf("phase 1: %d s of immediate runs...\n", pacingSeconds);
    std::fflush(stdout);
    const qint64 p1From = steadyNs();
    for (Variant* v : variants) {
        v->view.f.startImmediately = 1;
        v->run->DoStart();
    }
    waitMs(qint64(pacingSeconds) * 1000);
    const qint64 p1To = steadyNs();
    for (Variant* v : variants)
        v->run->DoStart();

    // Phase 2: scheduled starts, pressed at a random point of a second.
    std::printf("phase 2: %d scheduled starts...\n", rounds);
    std::fflush(stdout);
    for (int r = 0; r < rounds; ++r) {
        const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
        waitMs(1000 - nowMs % 1000 + random.bounded(1000));
        const qint64 pressedMs = QDateTime::currentMSecsSinceEpoch();
        const qint64 namedMs = pressedMs / 1000 * 1000 + 3000;
        const QDateTime named = QDateTime::fromMSecsSinceEpoch(namedMs);
        const QString startText = named.time().toString(QStringLiteral("H:mm:ss"));
        const QString endText = named.addSecs(1).time().toString(QStringLiteral("H:mm:ss"));
        // Alternate who is pressed first, so neither variant always goes second.
        Variant* order[] = {r % 2 ? &baseline : &engine, r % 2 ? &engine : &baseline};
        for (Variant* v : order) {
            v->view.f.startImmediately = 0;
            v->view.f.startTime = startText;
            v->view.f.endTime = endText;
            v->rounds.emplace_back(namedMs * 1000000, steadyNs());
            v->run->DoStart();
        }
        if (!engine.run->isRunning() || !baseline.run->isRunning()) {
            std::fprintf(stderr, "timing harness: a scheduled run was refused\n");
            return 1;
        }
        if (!waitFor([&] { return !running(); }, 6000)) {
            std::fprintf(stderr, "timing harness: a scheduled run did not stop at its end\n");
            for (Variant* v : variants)
                if (v->run->isRunning())
                    v->run->DoStart();
        }
    }
    waitMs(100);

    std::printf("load average at end: %s\n", loadAverage().constData());
    const auto conns = standIn.connections();
    std::printf("\n  %-34s %-9s %5s %10s %10s %10s %10s\n", "metric", "variant", "n", "min",
                "median", "p99", "max");
    std::map<const Variant*, std::map<std::string, std::vector<double>>> all;
    for (Variant* v : variants) {
        auto& m = all[v];
        scheduledStarts(*v, m["startSlot"], m["startBoth"]);
        m["pacing"] = pacingFromStandIn(*v, conns, p1From, p1To);
        m["pacingClient"] = pacingFromClient(*v, p1From, p1To);
        m["c2r"] = connectTo(*v, v->written, p1From, p1To);
        m["c2send"] = connectTo(*v, SocketEvent::Send, p1From, p1To);
    }
    if (const qsizetype at = args.indexOf(QStringLiteral("--samples"));
        at >= 0 && at + 1 < args.size()) {
        QFile csv(args[at + 1]);
        if (csv.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            csv.write("metric,variant,value\n");
            for (Variant* v : variants)
                for (const auto& [key, values] : all[v])
                    for (double x : values)
                        csv.write(QStringLiteral("%1,%2,%3\n")
                                      .arg(QString::fromStdString(key), QLatin1String(v->name))
                                      .arg(x, 0, 'f', 4)
                                      .toLatin1());
        }
    }
    for (const auto& [key, label, unit] :
         {std::tuple{"pacing", "pacing gap (stand-in close)", "ms"},
          std::tuple{"pacingClient", "pacing gap (engine's close event)", "ms"},
          std::tuple{"startBoth", "scheduled start, both slots", "ms"},
          std::tuple{"startSlot", "scheduled start, each slot", "ms"},
          std::tuple{"c2r", "connect to request written", "us"},
          std::tuple{"c2send", "connect to request handed over", "us"}})
        for (Variant* v : variants)
            printRow(label, v->name, summarize(all[v][key]), unit);

    std::printf("\n");
    for (const auto& [key, label] : {std::pair{"pacing", "pacing gap (stand-in close)"},
                                     std::pair{"startBoth", "scheduled start, both slots"},
                                     std::pair{"c2r", "connect to request written"}})
        printRatio(label, all[&engine][key], all[&baseline][key]);

    std::printf("\n  within target          engine   baseline\n");
    for (const auto& [key, label, limit] :
         {std::tuple{"pacing", "|pacing gap| <= 2 ms ", 2.0},
          std::tuple{"startBoth", "start <= 20 ms       ", 20.0},
          std::tuple{"c2r", "connect-to-request <= 100 us", 100.0}})
        std::printf("  %s %6.1f%%  %6.1f%%\n", label, within(all[&engine][key], limit),
                    within(all[&baseline][key], limit));

    qint64 served[2] = {0, 0};
    for (const auto& c : conns)
        served[c.sld.startsWith('b') ? 1 : 0]++;
    std::printf("\n  requests served: engine %lld, baseline %lld\n", (long long)served[0],
                (long long)served[1]);

    // The targets: start within 20 ms of the named second, pacing within 2 ms of the
    // interval, request on its way within 100 us of the connect event.
    const auto& e = all[&engine];
    const Summary start = summarize(e.at("startBoth"));
    const Summary pacing = summarize(e.at("pacing"));
    const Summary c2r = summarize(e.at("c2r"));
    const bool met = start.n > 0 && start.p99 <= 20.0 && pacing.n > 0 &&
                     std::fabs(pacing.p99) <= 2.0 && std::fabs(pacing.min) <= 2.0 && c2r.n > 0 &&
                     c2r.p99 <= 100.0;
    std::printf("  engine targets at p99 (start <= 20 ms, |pacing| <= 2 ms, connect-to-request "
                "<= 100 us): %s\n",
                met ? "met" : "MISSED");
    return 0;
}
