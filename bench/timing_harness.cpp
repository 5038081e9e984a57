// Times the program's engine (run control, both slots, QtPlatform: QTimer, the timerfd
// alarm, QTcpSocket) and the server runner against registrar stand-ins on 127.0.0.1,
// beside pollers such as users write for themselves (bench/peer_asyncio.py,
// bench/peer_curl.sh) and a floor probe, in the same run against the same stand-ins.
//
//   drovane_timing [--seconds N] [--rounds N] [--seed N] [--samples FILE] [--no-peers]
//   drovane_timing --tls [--tls-samples N]
//
// Every client checks four names in turn at interval 0.5 and buys the one free name the
// moment a check finds it free.
// Phase 1, N seconds, plain HTTP: the engine in this process, the asyncio and curl
//   pollers, and the floor probe (a thread that sleeps to each moment and writes on a
//   connection held ready: what this machine allows at best, FloorProbe.h).
// Phase 2: N scheduled runs, each pressed at a random point of a second with the start
//   second 3 s ahead; the peers are started for the same second. Meanwhile drovane-cli
//   waits for a start time an hour ahead: its CPU time while idle.
// Phase 3, N seconds: drovane-cli and the window (offscreen, drovane_desktop_run) over
//   plain HTTP and over TLS (session resumption), the asyncio poller over plain HTTP and
//   over TLS with its connections opened ahead, against an OpenSSL stand-in that serves
//   each connection on a thread of its own. CPU time per 100 requests of each, and
//   "free" reply to purchase over both transports.
// --samples writes every sample as CSV. The harness exits with status 1 when a client it
// started made no request or a stand-in could not listen: a smoke run fails on that.
// --tls instead times the program's sockets alone: full and resumed TLS handshakes on
// loopback, and a whole request over TLS beside plain HTTP, against an OpenSSL stand-in
// with the tests' certificate (trusted through SSL_CERT_FILE).

#include "FloorProbe.h"
#include "ProgramRun.h"
#include "ThreadedStandIn.h"
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
constexpr qint64 kHardLimitMs = 300000;

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

int argValue(const QStringList& args, const char* name, int fallback) {
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
}

QProcess* startPeer(const char* script, const QStringList& args) {
    auto* p = new QProcess;
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
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

// A peer's own report of its CPU time (and the monotonic clock) before its first request
// and after its last.
struct CpuMarks {
    qint64 cpu0 = -1, at0 = 0, cpu1 = -1, at1 = 0;
};

CpuMarks peerMarks(QProcess* p) {
    CpuMarks m;
    for (const QByteArray& line : p->readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.trimmed().split(' ');
        if (f.size() != 3 || f[0] != "cpu_ns")
            continue;
        if (m.cpu0 < 0) {
            m.cpu0 = f[1].toLongLong();
            m.at0 = f[2].toLongLong();
        } else {
            m.cpu1 = f[1].toLongLong();
            m.at1 = f[2].toLongLong();
        }
    }
    return m;
}

int requestsBetween(const std::vector<TimingStandIn::Connection>& conns, char tag, qint64 fromNs,
                    qint64 toNs) {
    int n = 0;
    for (const auto& c : conns)
        n += !c.sld.isEmpty() && c.sld[0] == tag && c.requestNs >= fromNs && c.requestNs <= toNs;
    return n;
}

struct CpuRow {
    const char* client;
    const char* transport;
    qint64 cpuNs = -1;
    int requests = 0;
    double seconds = 0;
    double per100Ms() const { return requests > 0 ? double(cpuNs) / 1e6 * 100.0 / requests : -1; }
};

// The resumed share of a client's TLS handshakes, as the stand-in saw them.
std::pair<int, int> resumedOf(const std::vector<TimingStandIn::Connection>& conns, char tag) {
    int resumed = 0, all = 0;
    for (const auto& c : conns)
        if (!c.sld.isEmpty() && c.sld[0] == tag) {
            ++all;
            resumed += c.resumed;
        }
    return {resumed, all};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.contains(QStringLiteral("--tls")))
        return tlsTiming(std::clamp(argValue(args, "--tls-samples", 400), 10, 5000));
    const int seconds = std::clamp(argValue(args, "--seconds", 30), 3, 60);
    const int rounds = std::clamp(argValue(args, "--rounds", 12), 1, 16);
    const bool peers = !args.contains(QStringLiteral("--no-peers"));
    QRandomGenerator random(quint32(argValue(args, "--seed", 5)));
    const QString certs = QStringLiteral(DROVANE_TEST_DATA "/tls");
    const QString caFile = certs + QLatin1String("/test-ca.pem");
    const QString cli = QStringLiteral(DROVANE_CLI);
    const QString window = QStringLiteral(DROVANE_DESKTOP_RUN);

    QTimer::singleShot(kHardLimitMs, [] {
        std::fprintf(stderr, "timing harness: over its time limit, stopping\n");
        std::_Exit(2);
    });

    const TimingStandIn::Replies replies{checkReply("211"), checkReply("210"), orderReply()};
    TimingStandIn standIn(replies);
    if (standIn.port() == 0) {
        std::fprintf(stderr, "timing harness: the stand-in could not listen on 127.0.0.1\n");
        return 1;
    }
    const QString port = QString::number(standIn.port());

    QtPlatform qt;
    ObservedPlatform observed(qt);
    std::vector<Stamp> stamps;
    std::map<int, int> slotOfSocket; // from the names each socket asked for
    stamps.reserve(200000);
    observed.observer = [&](int id, SocketEvent e, const QByteArray& bytes) {
        Stamp st{id, e, steadyNs()};
        if (e == SocketEvent::Send) {
            // Kept cheap: it runs between the due moment and the write it measures.
            const qsizetype at = bytes.indexOf("&sld=e");
            st.slot = at >= 0 && at + 6 < bytes.size() ? bytes[at + 6] - '0' : 0;
            st.purchase = bytes.startsWith("GET /interface.asp?command=purchase");
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
    view.f.domains = bench::standInList('e');
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

    // Phase 1: the engine, the peers and the floor probe side by side.
    std::printf("phase 1: %d s at interval 0.5, buying at once, beside the floor probe%s...\n",
                seconds, peers ? " and the peers" : "");
    std::fflush(stdout);
    std::vector<QProcess*> procs;
    QProcess* asyncio1 = nullptr;
    const qint64 p1From = steadyNs();
    if (peers) {
        const QStringList a = {port, QStringLiteral("p"), QStringLiteral("0.5"),
                               QString::number(seconds)};
        asyncio1 = startPeer("peer_asyncio.py", a);
        procs.push_back(asyncio1);
        QStringList c = a;
        c[1] = QStringLiteral("c");
        procs.push_back(startPeer("peer_curl.sh", c));
    }
    bench::FloorProbe floor(standIn.port(), 'z', qint64(kIntervalMs * 1e6));
    floor.start();
    view.f.startImmediately = 1;
    const qint64 engineCpu0 = bench::threadCpuNs();
    run.DoStart();
    waitMs(qint64(seconds) * 1000);
    collect(0);
    run.DoStart();
    const qint64 engineCpu1 = bench::threadCpuNs();
    const qint64 p1To = steadyNs();
    floor.stop();
    const size_t p1Fired = fired.size();
    const size_t p1Stamps = stamps.size();
    for (QProcess* p : procs)
        p->waitForFinished(3000);
    const CpuMarks asyncio1Cpu = asyncio1 ? peerMarks(asyncio1) : CpuMarks{};

    // Phase 2: scheduled starts; the server runner waits for a start an hour ahead.
    std::printf("phase 2: %d scheduled starts, beside drovane-cli waiting for its start...\n",
                rounds);
    std::fflush(stdout);
    bench::ProgramRun idle(bench::ProgramRun::Cli, cli, standIn.port(), false, 'i', QString(),
                           3600);
    const bool idleStarted = idle.start();
    waitMs(1000); // its start-up is not idling
    const qint64 idleCpu0 = idle.cpuNs();
    const qint64 idleFrom = steadyNs();
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
    const qint64 idleCpu1 = idle.cpuNs();
    const qint64 idleTo = steadyNs();
    const int idleExit = idle.stop();
    waitMs(100);
    for (QProcess* p : procs) {
        if (p->state() != QProcess::NotRunning)
            p->kill();
        p->waitForFinished(1000);
        delete p;
    }
    procs.clear();

    // Phase 3: the server runner and the asyncio poller, over plain HTTP and over TLS.
    std::printf("phase 3: %d s, drovane-cli, the window and the asyncio poller over plain HTTP "
                "and TLS...\n",
                seconds);
    std::fflush(stdout);
    bench::ThreadedStandIn plain3(replies);
    bench::ThreadedStandIn tls3(replies, certs + QLatin1String("/loopback.pem"),
                                certs + QLatin1String("/loopback-key.pem"));
    if (plain3.port() == 0 || tls3.port() == 0) {
        std::fprintf(stderr, "timing harness: a stand-in could not listen on 127.0.0.1\n");
        return 1;
    }
    using bench::ProgramRun;
    ProgramRun cliPlain(ProgramRun::Cli, cli, plain3.port(), false, 'd', QString());
    ProgramRun cliTls(ProgramRun::Cli, cli, tls3.port(), true, 't', caFile);
    ProgramRun windowPlain(ProgramRun::Window, window, plain3.port(), false, 'w', QString());
    ProgramRun windowTls(ProgramRun::Window, window, tls3.port(), true, 'x', caFile);
    const bool clisStarted = cliPlain.start() && cliTls.start();
    const bool windowsStarted = windowPlain.start() && windowTls.start();
    QProcess* asyncioPlain = nullptr;
    QProcess* asyncioTls = nullptr;
    if (peers) {
        asyncioPlain =
            startPeer("peer_asyncio.py", {QString::number(plain3.port()), QStringLiteral("p"),
                                          QStringLiteral("0.5"), QString::number(seconds)});
        asyncioTls = startPeer("peer_asyncio.py",
                               {QString::number(tls3.port()), QStringLiteral("s"),
                                QStringLiteral("0.5"), QString::number(seconds),
                                QStringLiteral("--tls"), caFile, QStringLiteral("--ahead")});
    }
    // The programs' start-up (reading their files, Qt's own) is not counted.
    waitMs(1500);
    const qint64 p3From = steadyNs();
    const qint64 cliPlainCpu0 = cliPlain.cpuNs(), cliTlsCpu0 = cliTls.cpuNs();
    const qint64 windowPlainCpu0 = windowPlain.cpuNs(), windowTlsCpu0 = windowTls.cpuNs();
    waitMs(qint64(seconds) * 1000 - 1500);
    const qint64 cliPlainCpu1 = cliPlain.cpuNs(), cliTlsCpu1 = cliTls.cpuNs();
    const qint64 windowPlainCpu1 = windowPlain.cpuNs(), windowTlsCpu1 = windowTls.cpuNs();
    const qint64 p3To = steadyNs();
    const int cliPlainExit = cliPlain.stop();
    const int cliTlsExit = cliTls.stop();
    const int windowPlainExit = windowPlain.stop();
    const int windowTlsExit = windowTls.stop();
    CpuMarks asyncioPlainCpu, asyncioTlsCpu;
    for (QProcess* p : {asyncioPlain, asyncioTls})
        if (p && !p->waitForFinished(5000))
            p->kill();
    if (asyncioPlain)
        asyncioPlainCpu = peerMarks(asyncioPlain);
    if (asyncioTls)
        asyncioTlsCpu = peerMarks(asyncioTls);
    delete asyncioPlain;
    delete asyncioTls;

    std::printf("load average at end: %s\n", loadAverage().constData());
    const auto conns = standIn.connections();
    const auto plainConns = plain3.connections();
    const auto tlsConns = tls3.connections();
    std::map<std::string, std::map<std::string, std::vector<double>>> all; // metric, client

    // The engine's own view: due moment to request written, per slot, and for both slots
    // of a pair due within the same millisecond: the first and the second written.
    struct Due {
        qint64 setFor, fired, written;
    };
    std::vector<Due> dues[3];
    for (size_t i = 0; i < p1Fired; ++i) {
        const Fired& f = fired[i];
        for (size_t k = 0; k < p1Stamps; ++k) {
            const Stamp& st = stamps[k];
            if (st.event == SocketEvent::Sent && st.steady >= f.firedNs && st.slot == f.slot) {
                dues[f.slot].push_back({f.setForNs, f.firedNs, st.steady});
                all[f.slot == 1 ? "due" : "due2"]["engine"].push_back(
                    double(st.steady - f.setForNs) / 1e3);
                all["dueFired"]["engine"].push_back(double(f.firedNs - f.setForNs) / 1e3);
                break;
            }
        }
    }
    for (const Due& a : dues[1])
        for (const Due& b : dues[2])
            if (std::llabs(a.setFor - b.setFor) < 1000000) {
                const Due& first = a.written <= b.written ? a : b;
                const Due& second = a.written <= b.written ? b : a;
                all["pairFirst"]["engine"].push_back(double(first.written - first.setFor) / 1e3);
                all["pairSecond"]["engine"].push_back(double(second.written - second.setFor) / 1e3);
                all["pairSecondFired"]["engine"].push_back(double(second.fired - second.setFor) /
                                                           1e3);
                break;
            }
    all["pairFirst"]["floor"] = floor.lateUs();

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
    // The stand-ins' view, for every client alike.
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
    const qint64 untilEnd = std::numeric_limits<qint64>::max();
    for (const auto& [prefix, client] :
         {std::pair{"d1", "cli"}, std::pair{"d2", "cli"}, std::pair{"w1", "window"},
          std::pair{"w2", "window"}, std::pair{"p1", "asyncio"}})
        fromStandIn(stream(plainConns, prefix, 0, untilEnd), all["gap3"][client],
                    all["free3"][client]);
    for (const auto& [prefix, client] :
         {std::pair{"t1", "cli-tls"}, std::pair{"t2", "cli-tls"}, std::pair{"x1", "window-tls"},
          std::pair{"x2", "window-tls"}, std::pair{"s1", "asyncio-tls"}})
        fromStandIn(stream(tlsConns, prefix, 0, untilEnd), all["gap3"][client],
                    all["free3"][client]);

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

    std::printf("\n  %-40s %-11s %5s %10s %10s %10s %10s\n", "metric", "client", "n", "min",
                "median", "p99", "max");
    const char* clients[] = {"engine",     "floor",   "cli",         "cli-tls", "window",
                             "window-tls", "asyncio", "asyncio-tls", "curl"};
    for (const auto& [metric, label, unit] :
         {std::tuple{"due", "slot 1: due moment -> request written", "us"},
          std::tuple{"due2", "slot 2: due moment -> request written", "us"},
          std::tuple{"dueFired", "  both slots: due -> alarm handled", "us"},
          std::tuple{"pairFirst", "both due: first written (floor: probe)", "us"},
          std::tuple{"pairSecond", "both due: second written", "us"},
          std::tuple{"pairSecondFired", "  of which: due -> second alarm handled", "us"},
          std::tuple{"freeEngine", "free reply ended -> purchase written", "us"},
          std::tuple{"freeStandIn", "free reply sent -> purchase received", "ms"},
          std::tuple{"gap", "interval 0.5 gap error (stand-in)", "ms"},
          std::tuple{"start", "first request after the named second", "ms"},
          std::tuple{"free3", "phase 3: free reply sent -> purchase recv", "ms"},
          std::tuple{"gap3", "phase 3: interval 0.5 gap error", "ms"}})
        for (const char* client : clients)
            if (!all[metric][client].empty())
                printRow(label, client, summarize(all[metric][client]), unit);

    std::printf("\n  connections opened ahead (slot: opened, reopened after a loss, due while "
                "still opening, connected only when due; last lead, last set-up)\n");
    for (int phase = 0; phase < 2; ++phase)
        for (const auto& [slot, st] : slotStats[phase])
            std::printf("  phase %d slot %d: %d, %d, %d, %d; lead %.1f ms, set-up %.3f ms\n",
                        phase + 1, slot, st.openedAhead, st.reopened, st.dueWhileOpening,
                        st.fellBack, double(st.lastLeadUs) / 1e3, double(st.lastSetupUs) / 1e3);

    // CPU time per 100 requests, each over the same stretch of its run.
    std::vector<CpuRow> cpu;
    cpu.push_back({"engine (this process's thread)", "plain", engineCpu1 - engineCpu0,
                   requestsBetween(conns, 'e', p1From, p1To), double(p1To - p1From) / 1e9});
    auto peerRow = [](const char* client, const char* transport, const CpuMarks& m,
                      const std::vector<TimingStandIn::Connection>& c, char tag) {
        return CpuRow{client, transport, m.cpu1 - m.cpu0, requestsBetween(c, tag, m.at0, m.at1),
                      double(m.at1 - m.at0) / 1e9};
    };
    if (asyncio1)
        cpu.push_back(peerRow("asyncio, phase 1", "plain", asyncio1Cpu, conns, 'p'));
    cpu.push_back({"drovane-cli", "plain", cliPlainCpu1 - cliPlainCpu0,
                   requestsBetween(plainConns, 'd', p3From, p3To), double(p3To - p3From) / 1e9});
    cpu.push_back({"drovane-cli", "TLS", cliTlsCpu1 - cliTlsCpu0,
                   requestsBetween(tlsConns, 't', p3From, p3To), double(p3To - p3From) / 1e9});
    cpu.push_back({"drovane (window, offscreen)", "plain", windowPlainCpu1 - windowPlainCpu0,
                   requestsBetween(plainConns, 'w', p3From, p3To), double(p3To - p3From) / 1e9});
    cpu.push_back({"drovane (window, offscreen)", "TLS", windowTlsCpu1 - windowTlsCpu0,
                   requestsBetween(tlsConns, 'x', p3From, p3To), double(p3To - p3From) / 1e9});
    if (asyncioPlain)
        cpu.push_back(peerRow("asyncio", "plain", asyncioPlainCpu, plainConns, 'p'));
    if (asyncioTls)
        cpu.push_back(peerRow("asyncio, opened ahead", "TLS", asyncioTlsCpu, tlsConns, 's'));
    std::printf("\n  %-32s %-6s %8s %10s %12s %9s\n", "CPU time", "", "requests", "CPU ms",
                "per 100 req", "seconds");
    for (const CpuRow& r : cpu)
        std::printf("  %-32s %-6s %8d %10.1f %12.1f %9.1f\n", r.client, r.transport, r.requests,
                    double(r.cpuNs) / 1e6, r.per100Ms(), r.seconds);
    std::printf("  %-32s %-6s %8s %10.2f %12s %9.1f\n", "drovane-cli waiting for its start", "idle",
                "0", double(idleCpu1 - idleCpu0) / 1e6, "-", double(idleTo - idleFrom) / 1e9);
    const auto [cliResumed, cliTlsAll] = resumedOf(tlsConns, 't');
    std::printf("  TLS handshakes resumed: drovane-cli %d of %d, window %d of %d, asyncio %d of "
                "%d\n",
                cliResumed, cliTlsAll, resumedOf(tlsConns, 'x').first,
                resumedOf(tlsConns, 'x').second, resumedOf(tlsConns, 's').first,
                resumedOf(tlsConns, 's').second);
    std::printf("  exit statuses: drovane-cli idle %d, plain %d, TLS %d; window plain %d, TLS %d\n",
                idleExit, cliPlainExit, cliTlsExit, windowPlainExit, windowTlsExit);

    // Targets.
    const Summary first = summarize(all["pairFirst"]["engine"]);
    const Summary second = summarize(all["pairSecond"]["engine"]);
    const Summary floorLate = summarize(all["pairFirst"]["floor"]);
    const Summary freePlain = summarize(all["free3"]["cli"]);
    const Summary freeTls = summarize(all["free3"]["cli-tls"]);
    auto per100 = [&](const char* client, const char* transport) {
        for (const CpuRow& r : cpu)
            if (std::string(r.client) == client && std::string(r.transport) == transport)
                return r.per100Ms();
        return -1.0;
    };
    const double cliP = per100("drovane-cli", "plain"), cliT = per100("drovane-cli", "TLS");
    const double winP = per100("drovane (window, offscreen)", "plain");
    const double winT = per100("drovane (window, offscreen)", "TLS");
    const double pyP = per100("asyncio", "plain"), pyT = per100("asyncio, opened ahead", "TLS");
    auto verdict = [](bool known, bool met) { return !known ? "n/a" : met ? "met" : "MISSED"; };
    std::printf("\n  targets:\n");
    std::printf("  CPU per 100 requests <= asyncio's: plain: drovane-cli %.1f, window %.1f vs "
                "%.1f ms: %s; TLS: drovane-cli %.1f, window %.1f vs %.1f ms: %s\n",
                cliP, winP, pyP,
                verdict(cliP > 0 && winP > 0 && pyP > 0, std::max(cliP, winP) <= pyP), cliT, winT,
                pyT, verdict(cliT > 0 && winT > 0 && pyT > 0, std::max(cliT, winT) <= pyT));
    std::printf("  both due: median < 100 us: first %.0f, second %.0f: %s; p99 <= 1.2 x floor "
                "p99 (%.0f us): first %.0f, second %.0f: %s\n",
                first.median, second.median,
                verdict(first.n && second.n, first.median < 100 && second.median < 100),
                floorLate.p99, first.p99, second.p99,
                verdict(first.n && second.n && floorLate.n,
                        std::max(first.p99, second.p99) <= 1.2 * floorLate.p99));
    std::printf("  TLS free -> purchase within 0.5 ms of plain (medians %.3f vs %.3f ms): %s\n",
                freeTls.median, freePlain.median,
                verdict(freeTls.n && freePlain.n, freeTls.median - freePlain.median <= 0.5));

    // A client that made no request means the harness (or the program) broke.
    int broken = 0;
    auto expect = [&](bool made, const char* what) {
        if (!made) {
            std::fprintf(stderr, "timing harness: %s made no request\n", what);
            ++broken;
        }
    };
    expect(!dues[1].empty() && !dues[2].empty(), "the engine");
    expect(!floor.lateUs().empty(), "the floor probe");
    expect(!all["start"]["engine"].empty(), "the engine's scheduled run");
    expect(idleStarted && requestsBetween(conns, 'i', 0, untilEnd) == 0 && idleExit == 0,
           "drovane-cli waiting for its start (or it did not start, or made one)");
    if (!idleStarted || idleExit != 0)
        ++broken;
    expect(clisStarted && requestsBetween(plainConns, 'd', 0, untilEnd) > 0,
           "drovane-cli over plain HTTP");
    expect(clisStarted && requestsBetween(tlsConns, 't', 0, untilEnd) > 0, "drovane-cli over TLS");
    expect(windowsStarted && requestsBetween(plainConns, 'w', 0, untilEnd) > 0,
           "the window over plain HTTP");
    expect(windowsStarted && requestsBetween(tlsConns, 'x', 0, untilEnd) > 0,
           "the window over TLS");
    if (peers) {
        expect(!all["gap"]["asyncio"].empty(), "the asyncio poller");
        expect(!all["gap"]["curl"].empty(), "the curl poller");
        expect(requestsBetween(tlsConns, 's', 0, untilEnd) > 0, "the asyncio poller over TLS");
    }
    if (!cliTls.errors().isEmpty() || !cliPlain.errors().isEmpty())
        std::fprintf(stderr, "timing harness: drovane-cli wrote to stderr\n");
    return broken ? 1 : 0;
}
