// drovane-cli run with a long list, as a service starts it: the time from launch to the
// first request at a loopback stand-in, and the resident memory while the run goes on,
// beside the same with a list of eight names. The difference, divided by the names, is
// what a run holds per name.
//
//   drovane_cli_launch [--names N] [--runs R] [--seconds S] [--program PATH]
//
// --program times another build of drovane-cli (an earlier one, to set the figures beside
// it in one run).

#include "BenchLists.h"
#include "ResidentMemory.h"
#include "ThreadedStandIn.h"
#include "testing/RegistrarReplies.h"

#include "core/settings/SettingsStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

using namespace drovane;
using drovane::bench::steadyNs;

namespace {

int argValue(const QStringList& args, const char* name, int fallback) {
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
}

struct Launch {
    double firstRequestMs = -1;
    long rssKiB = -1, hwmKiB = -1;
};

Launch launchOnce(const QString& cli, quint16 port, int names, int seconds,
                  const bench::ThreadedStandIn& standIn) {
    Launch out;
    QTemporaryDir dir;
    {
        SettingsStore store(dir.path());
        MainFields f;
        f.username = QStringLiteral("reseller");
        f.password = QStringLiteral("secret");
        f.delayTime = QStringLiteral("1");
        f.domains = bench::domainList(names);
        store.setOptions(Options{.secure = false}); // the stand-in speaks plain HTTP
        if (!store.WriteSettings(f).ok)
            return out;
    }
    const size_t before = standIn.connections().size();
    QProcess process;
    process.setProgram(cli);
    process.setArguments({QStringLiteral("run"), QStringLiteral("--yes"),
                          QStringLiteral("--folder"), dir.path(), QStringLiteral("--registrar"),
                          QStringLiteral("127.0.0.1:%1").arg(port)});
    process.setStandardOutputFile(QProcess::nullDevice());
    const qint64 launched = steadyNs();
    process.start();
    if (!process.waitForStarted(5000))
        return out;
    const qint64 limit = launched + 20000000000LL;
    while (steadyNs() < limit && process.state() == QProcess::Running) {
        const auto conns = standIn.connections();
        if (conns.size() > before) {
            qint64 first = conns[before].requestNs;
            for (size_t i = before; i < conns.size(); ++i)
                first = std::min(first, conns[i].requestNs);
            out.firstRequestMs = double(first - launched) / 1e6;
            break;
        }
        QThread::usleep(200);
    }
    QThread::sleep(unsigned(seconds)); // the run goes on
    if (process.state() == QProcess::Running)
        std::tie(out.rssKiB, out.hwmKiB) = bench::residentKiB(process.processId());
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(10000) || process.exitCode() != 0) {
        std::fprintf(stderr, "drovane-cli did not end cleanly: %s\n",
                     process.readAllStandardError().constData());
        out.firstRequestMs = -1;
    }
    return out;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty()      ? -1
           : v.size() % 2 ? v[v.size() / 2]
                          : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int names = std::clamp(argValue(args, "--names", 1000000), 8, 4000000);
    const int runs = std::clamp(argValue(args, "--runs", 5), 1, 50);
    const int seconds = std::clamp(argValue(args, "--seconds", 3), 1, 60);
    const qsizetype programAt = args.indexOf(QStringLiteral("--program"));
    const QString program = programAt >= 0 && programAt + 1 < args.size()
                                ? args[programAt + 1]
                                : QStringLiteral(DROVANE_CLI);
    bench::ThreadedStandIn standIn(
        {test::checkReply("211"), test::checkReply("210"), test::orderReply()});
    if (standIn.port() == 0) {
        std::fprintf(stderr, "the stand-in could not listen on 127.0.0.1\n");
        return 1;
    }
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    if (loadavg.open(QIODevice::ReadOnly))
        std::printf("load average at start: %s", loadavg.readAll().constData());
    std::printf("%s run, interval 1, plain HTTP; %d runs each, %d s of running\n",
                qPrintable(program), runs, seconds);
    std::printf("  %9s %4s %22s %12s %12s\n", "names", "run", "launch->first request", "VmRSS",
                "VmHWM");
    double rss[2] = {0, 0}, hwm[2] = {0, 0}, first[2] = {0, 0};
    int broken = 0;
    const int sizes[2] = {8, names};
    for (int k = 0; k < 2; ++k) {
        std::vector<double> f, r, h;
        for (int i = 0; i < runs; ++i) {
            const Launch l = launchOnce(program, standIn.port(), sizes[k], seconds, standIn);
            broken += l.firstRequestMs < 0 || l.rssKiB < 0;
            std::printf("  %9d %4d %19.1f ms %8.1f MiB %8.1f MiB\n", sizes[k], i + 1,
                        l.firstRequestMs, l.rssKiB / 1024.0, l.hwmKiB / 1024.0);
            std::fflush(stdout);
            f.push_back(l.firstRequestMs);
            r.push_back(double(l.rssKiB));
            h.push_back(double(l.hwmKiB));
        }
        first[k] = median(f);
        rss[k] = median(r);
        hwm[k] = median(h);
    }
    loadavg.close();
    if (loadavg.open(QIODevice::ReadOnly))
        std::printf("load average at end: %s", loadavg.readAll().constData());
    std::printf("\n  medians: launch->first request %.1f ms (8 names) / %.1f ms (%d names)\n",
                first[0], first[1], names);
    std::printf("  VmRSS %.1f / %.1f MiB, VmHWM %.1f / %.1f MiB\n", rss[0] / 1024, rss[1] / 1024,
                hwm[0] / 1024, hwm[1] / 1024);
    std::printf("  per name while running: %.1f bytes (VmRSS), %.1f bytes at the peak (VmHWM)\n",
                (rss[1] - rss[0]) * 1024 / (names - 8), (hwm[1] - hwm[0]) * 1024 / (names - 8));
    if (broken)
        std::fprintf(stderr, "%d runs did not reach the stand-in or end cleanly\n", broken);
    return broken ? 1 : 0;
}
