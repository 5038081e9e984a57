// Times the program's engine (run control, both slots, QtPlatform: QTimer, the timerfd
// alarm, QTcpSocket) against a registrar stand-in on 127.0.0.1, beside two pollers such
// as users write for themselves (bench/peer_asyncio.py, bench/peer_curl.sh), in the same
// run against the same stand-in.
//
//   drovane_timing [--seconds N] [--rounds N] [--seed N] [--samples FILE] [--no-peers]
//   drovane_timing --tls [--tls-samples N]
//
// Phase 1 runs all three for N seconds at interval 0.5, buying a name the moment a check
// finds it free (each client has one free name among four). Phase 2 starts N scheduled
// runs, each pressed at a random point of a second with the start second 3 s ahead; the
// peers are started for the same second. --samples writes every sample as CSV.
// --tls instead times the program's sockets alone: full and resumed TLS handshakes on
// loopback, and a whole request over TLS beside plain HTTP, against an OpenSSL stand-in
// with the tests' certificate (trusted through SSL_CERT_FILE).

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
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>

using namespace drovane;
using namespace drovane::test;
using drovane::bench::steadyNs;
using drovane::bench::TimingStandIn;
using drovane::bench::wallNs;

namespace {

constexpr double kIntervalMs = 500.0;
// No wait of the harness ever exceeds this: it stops itself.
constexpr qint64 kHardLimitMs = 170000;

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

// One socket event of the engine, with what it carried.
struct Stamp {
    int socketId;
    SocketEvent event;
    qint64 steady;
    int slot = 0;          // for Send: from the name asked
    bool purchase = false; // for Send
    bool free = false;     // for Data: the reply says free
};

// One alarm firing: the moment it was set for and when it fired.
struct Fired {
    int slot;
    qint64 setForNs;
    qint64 firedNs;
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

void printRow(const char* metric, const char* client, const Summary& s, const char* unit) {
    std::printf("  %-40s %-8s %5zu %10.3f %10.3f %10.3f %10.3f  %s\n", metric, client, s.n, s.min,
                s.median, s.p99, s.max, unit);
}

// The stand-in's connections of one client and slot ("e1", "p1"), in order of requests.
std::vector<TimingStandIn::Connection> stream(const std::vector<TimingStandIn::Connection>& all,
                                              const QByteArray& prefix, qint64 fromNs,
                                              qint64 toNs) {
    std::vector<TimingStandIn::Connection> out;
    for (const auto& c : all)
        if (c.sld.startsWith(prefix) && c.requestNs >= fromNs && c.requestNs <= toNs)
            out.push_back(c);
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.requestNs < b.requestNs; });
    return out;
}

// As the stand-in sees it: a reply that was not "free" closed, to the next request, minus
// the interval (ms); and a "free" reply closed, to the purchase (ms).
void fromStandIn(const std::vector<TimingStandIn::Connection>& s, std::vector<double>& gapError,
                 std::vector<double>& freeToPurchase) {
    for (size_t i = 1; i < s.size(); ++i) {
        const double ms = double(s[i].requestNs - s[i - 1].closedNs) / 1e6;
        if (s[i - 1].free && s[i].purchase)
            freeToPurchase.push_back(ms);
        else if (!s[i - 1].free)
            gapError.push_back(ms - kIntervalMs);
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

QProcess* startPeer(const char* script, const QStringList& args) {
    auto* p = new QProcess;
    const QString path = QStringLiteral(DROVANE_BENCH_DIR "/") + QLatin1String(script);
    if (QLatin1String(script).endsWith(QLatin1String(".py")))
        p->start(QStringLiteral("python3"), QStringList{path} + args);
    else
        p->start(QStringLiteral("bash"), QStringList{path} + args);
    return p;
}

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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--tls")))
        return tlsTiming(
            std::clamp(argValue(args, QStringLiteral("--tls-samples"), 400), 10, 5000));
    const int seconds = std::clamp(argValue(args, QStringLiteral("--seconds"), 30), 3, 60);
    const int rounds = std::clamp(argValue(args, QStringLiteral("--rounds"), 12), 1, 16);
    const bool peers = !args.contains(QStringLiteral("--no-peers"));
    QRandomGenerator random(quint32(argValue(args, QStringLiteral("--seed"), 5)));

    QTimer::singleShot(kHardLimitMs, [] {
        std::fprintf(stderr, "timing harness: over its time limit, stopping\n");
        std::_Exit(2);
    });

    TimingStandIn standIn({checkReply("211"), checkReply("210"), orderReply()});
    if (standIn.port() == 0) {
        std::fprintf(stderr, "timing harness: the stand-in could not listen on 127.0.0.1\n");
        return 1;
    }
    const QString port = QString::number(standIn.port());

    QtPlatform qt;
    ObservedPlatform observed(qt);
    std::vector<Stamp> stamps;
    std::map<int, int> slotOfSocket; // from the names each socket asked for
    observed.observer = [&](int id, SocketEvent e, const QByteArray& bytes) {
        Stamp st{id, e, steadyNs()};
        if (e == SocketEvent::Send) {
            const QString asked = requested(bytes); // "check e1f0.com"
            const qsizetype blank = asked.indexOf(u' ');
            st.slot = asked.mid(blank + 2, 1).toInt();
            st.purchase = asked.startsWith(QLatin1String("purchase"));
            slotOfSocket[id] = st.slot;
        }
        if (e == SocketEvent::Data)
            st.free = bytes.contains("RRPCode=210");
        if (const auto it = slotOfSocket.find(id);
            e != SocketEvent::Send && it != slotOfSocket.end())
            st.slot = it->second;
        stamps.push_back(st);
    };
    std::vector<Fired> fired;
    observed.alarmObserver = [&](int id, qint64 setForUs, bool fire) {
        // Each run makes two slots, slot 1 first, and each slot one alarm.
        if (fire)
            fired.push_back({(id - 1) % 2 + 1, setForUs * 1000, steadyNs()});
    };

    QTemporaryDir dir;
    SettingsStore store(dir.path());
    Options options = store.options();
    options.buyAtOnce = true;
    options.secure = false; // the stand-in speaks plain HTTP
    store.setOptions(options);
    ScriptedPrompter prompter;
    FakeRunView view;
    QStringList lines;
    for (const char* name : {"f0", "n1", "n2", "n3"})
        for (int slot = 1; slot <= 2; ++slot)
            lines.append(QStringLiteral("e%1%2").arg(slot).arg(QLatin1String(name)));
    view.f.domains = lines.join(QLatin1String("\r\n"));
    view.f.delayTime = QStringLiteral("0.5");
    RunController run(store, observed, prompter, view, QString(),
                      EndpointOverride{QStringLiteral("127.0.0.1"), standIn.port()});

    std::map<int, Slot::Stats> slotStats[2]; // per phase, per slot: summed
    auto collect = [&](int phase) {
        for (int i = 1; i <= 2; ++i)
            if (const Slot* s = run.slot(i)) {
                Slot::Stats& sum = slotStats[phase][i];
                const Slot::Stats& st = s->stats();
                sum.openedAhead += st.openedAhead;
                sum.reopened += st.reopened;
                sum.dueWhileOpening += st.dueWhileOpening;
                sum.fellBack += st.fellBack;
                sum.lastLeadUs = st.lastLeadUs;
                sum.lastSetupUs = st.lastSetupUs;
            }
    };

    std::printf("Drovane timing harness: Qt %s, stand-in on 127.0.0.1:%u in its own thread\n",
                qVersion(), standIn.port());
    std::printf("load average at start: %s\n", loadAverage().constData());

    // Phase 1: the engine and the peers side by side.
    std::printf("phase 1: %d s at interval 0.5, buying at once%s...\n", seconds,
                peers ? ", beside the peers" : "");
    std::fflush(stdout);
    std::vector<QProcess*> procs;
    const qint64 p1From = steadyNs();
    if (peers) {
        const QStringList a = {port, QStringLiteral("p"), QStringLiteral("0.5"),
                               QString::number(seconds)};
        procs.push_back(startPeer("peer_asyncio.py", a));
        QStringList c = a;
        c[1] = QStringLiteral("c");
        procs.push_back(startPeer("peer_curl.sh", c));
    }
    view.f.startImmediately = 1;
    run.DoStart();
    waitMs(qint64(seconds) * 1000);
    collect(0);
    run.DoStart();
    const qint64 p1To = steadyNs();
    const size_t p1Fired = fired.size();
    const size_t p1Stamps = stamps.size();
    for (QProcess* p : procs)
        p->waitForFinished(3000);

    // Phase 2: scheduled starts.
    std::printf("phase 2: %d scheduled starts...\n", rounds);
    std::fflush(stdout);
    std::vector<std::pair<qint64, qint64>> named; // named second (wall), pressed (wall)
    for (int r = 0; r < rounds; ++r) {
        const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
        waitMs(1000 - nowMs % 1000 + random.bounded(1000));
        const qint64 pressedMs = QDateTime::currentMSecsSinceEpoch();
        const qint64 namedMs = pressedMs / 1000 * 1000 + 3000;
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(namedMs);
        named.emplace_back(namedMs * 1000000, wallNs());
        if (peers) {
            const QStringList a = {port, QStringLiteral("p"), QStringLiteral("0.5"),
                                   QStringLiteral("1"), QString::number(namedMs / 1000)};
            procs.push_back(startPeer("peer_asyncio.py", a));
            QStringList c = a;
            c[1] = QStringLiteral("c");
            procs.push_back(startPeer("peer_curl.sh", c));
        }
        view.f.startImmediately = 0;
        view.f.startTime = at.time().toString(QStringLiteral("H:mm:ss"));
        view.f.endTime = at.addSecs(1).time().toString(QStringLiteral("H:mm:ss"));
        run.DoStart();
        if (!run.isRunning()) {
            std::fprintf(stderr, "timing harness: a scheduled run was refused\n");
            return 1;
        }
        waitMs(namedMs + 900 - QDateTime::currentMSecsSinceEpoch());
        collect(1);
        if (!waitFor([&] { return !run.isRunning(); }, 3000)) {
            std::fprintf(stderr, "timing harness: a scheduled run did not stop at its end\n");
            run.DoStart();
        }
        for (QProcess* p : procs)
            p->waitForFinished(4000);
    }
    waitMs(100);
    for (QProcess* p : procs) {
        if (p->state() != QProcess::NotRunning)
            p->kill();
        p->waitForFinished(1000);
        delete p;
    }

    std::printf("load average at end: %s\n", loadAverage().constData());
    const auto conns = standIn.connections();
    std::map<std::string, std::map<std::string, std::vector<double>>> all; // metric, client

    // The engine's own view: due moment to request written; "free" reply ended to
    // purchase written.
    for (size_t i = 0; i < p1Fired; ++i) {
        const Fired& f = fired[i];
        for (size_t k = 0; k < p1Stamps; ++k) {
            const Stamp& st = stamps[k];
            if (st.event == SocketEvent::Sent && st.steady >= f.firedNs && st.slot == f.slot) {
                all["due"]["engine"].push_back(double(st.steady - f.setForNs) / 1e3);
                all["dueFired"]["engine"].push_back(double(f.firedNs - f.setForNs) / 1e3);
                break;
            }
        }
    }
    std::map<int, bool> lastDataFree;
    for (size_t k = 0; k < p1Stamps; ++k) {
        const Stamp& st = stamps[k];
        if (st.event == SocketEvent::Data)
            lastDataFree[st.socketId] = st.free;
        if (st.event != SocketEvent::ClosedByPeer || !lastDataFree[st.socketId])
            continue;
        lastDataFree[st.socketId] = false;
        for (size_t j = k + 1; j < p1Stamps; ++j)
            if (stamps[j].event == SocketEvent::Sent) {
                // The Send stamp before it names the request.
                const Stamp& send = stamps[j - 1];
                if (send.purchase && send.slot == st.slot) {
                    all["freeEngine"]["engine"].push_back(double(stamps[j].steady - st.steady) /
                                                          1e3);
                    break;
                }
            }
    }
    // The stand-in's view, for every client alike.
    for (const auto& [prefix, client] : {std::pair{"e1", "engine"}, std::pair{"e2", "engine"},
                                         std::pair{"p1", "asyncio"}, std::pair{"c1", "curl"}}) {
        fromStandIn(stream(conns, prefix, p1From, p1To), all["gap"][client],
                    all["freeStandIn"][client]);
        for (const auto& [namedNs, pressedNs] : named)
            for (const auto& c : conns)
                if (c.sld.startsWith(prefix) && c.requestWallNs > pressedNs) {
                    all["start"][client].push_back(double(c.requestWallNs - namedNs) / 1e6);
                    break;
                }
    }

    if (const qsizetype at = args.indexOf(QStringLiteral("--samples"));
        at >= 0 && at + 1 < args.size()) {
        QFile csv(args[at + 1]);
        if (csv.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            csv.write("metric,client,value\n");
            for (const auto& [metric, byClient] : all)
                for (const auto& [client, values] : byClient)
                    for (double x : values)
                        csv.write(
                            QStringLiteral("%1,%2,%3\n")
                                .arg(QString::fromStdString(metric), QString::fromStdString(client))
                                .arg(x, 0, 'f', 4)
                                .toLatin1());
        }
    }

    std::printf("\n  %-40s %-8s %5s %10s %10s %10s %10s\n", "metric", "client", "n", "min",
                "median", "p99", "max");
    for (const auto& [metric, label, unit] :
         {std::tuple{"due", "request written after its due moment", "us"},
          std::tuple{"dueFired", "  of which: due moment -> alarm handled", "us"},
          std::tuple{"freeEngine", "free reply ended -> purchase written", "us"},
          std::tuple{"freeStandIn", "free reply sent -> purchase received", "ms"},
          std::tuple{"gap", "interval 0.5 gap error (stand-in)", "ms"},
          std::tuple{"start", "first request after the named second", "ms"}})
        for (const char* client : {"engine", "asyncio", "curl"})
            if (!all[metric][client].empty())
                printRow(label, client, summarize(all[metric][client]), unit);

    std::printf("\n  connections opened ahead (slot: opened, reopened after a loss, due while "
                "still opening, connected only when due; last lead, last set-up)\n");
    for (int phase = 0; phase < 2; ++phase)
        for (const auto& [slot, st] : slotStats[phase])
            std::printf("  phase %d slot %d: %d, %d, %d, %d; lead %.1f ms, set-up %.3f ms\n",
                        phase + 1, slot, st.openedAhead, st.reopened, st.dueWhileOpening,
                        st.fellBack, double(st.lastLeadUs) / 1e3, double(st.lastSetupUs) / 1e3);

    const Summary due = summarize(all["due"]["engine"]);
    const Summary buy = summarize(all["freeEngine"]["engine"]);
    auto magnitude = [](std::vector<double> v) {
        for (double& x : v)
            x = std::fabs(x);
        return summarize(v);
    };
    const Summary gap = magnitude(all["gap"]["engine"]);
    const Summary start = summarize(all["start"]["engine"]);
    std::printf("\n  targets: due->written p99 < 200 us: %s; free->purchase median < 1 ms: %s; "
                "|gap error| median < 1.5 ms: %s; start median < 2 ms: %s\n",
                due.n && due.p99 < 200 ? "met" : "MISSED",
                buy.n && buy.median < 1000 ? "met" : "MISSED",
                gap.n && gap.median < 1.5 ? "met" : "MISSED",
                start.n && start.median < 2 ? "met" : "MISSED");
    return 0;
}
