// Resident memory of the engine during a run over a long list, on real timers and
// sockets against a loopback stand-in, read from /proc/self/status. With --status the
// run keeps the status table the window keeps.
//
//   drovane_memory [--names N] [--seconds N] [--status]

#include "BenchLists.h"
#include "ResidentMemory.h"
#include "testing/FakeRunView.h"
#include "testing/LoopbackRegistrar.h"
#include "testing/RegistrarReplies.h"

#include "core/platform/QtPlatform.h"
#include "core/run/RunController.h"
#include "core/run/RunStatus.h"
#include "core/settings/SettingsStore.h"
#include "testing/ScriptedPrompter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <malloc.h>

using namespace drovane;
using namespace drovane::test;

namespace {

// VmRSS and VmHWM in KiB, after the allocator has given back what it holds free: what
// is left is what is in use.
std::pair<long, long> residentKiB() {
    malloc_trim(0);
    return bench::residentKiB();
}

void report(const char* when) {
    const auto [rss, hwm] = residentKiB();
    std::printf("  %-44s VmRSS %7.1f MiB   VmHWM %7.1f MiB\n", when, rss / 1024.0, hwm / 1024.0);
}

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int argValue(const QStringList& args, const char* name, int fallback) {
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < args.size() ? args[at + 1].toInt() : fallback;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int names = std::clamp(argValue(app.arguments(), "--names", 32768), 1, 4000000);
    const int seconds = std::clamp(argValue(app.arguments(), "--seconds", 3), 1, 30);
    const bool withStatus = app.arguments().contains(QStringLiteral("--status"));

    std::printf("Drovane engine memory, %d names, interval 1, %d s of running%s\n", names, seconds,
                withStatus ? ", with the status table" : "");
    report("Qt core started");

    LoopbackRegistrar registrar;
    registrar.answer = [](const QByteArray&) {
        LoopbackRegistrar::Answer a;
        a.pieces = {checkReply("211")};
        return a;
    };
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    store.setOptions(Options{.secure = false}); // the stand-in speaks plain HTTP
    QtPlatform platform;
    ScriptedPrompter prompter;
    FakeRunView view;
    view.f.delayTime = QStringLiteral("1");
    view.f.domains = bench::domainList(names);
    RunController run(store, platform, prompter, view, {},
                      {QStringLiteral("127.0.0.1"), registrar.port()});
    RunStatus status;
    if (withStatus)
        run.attachStatus(&status);
    report("list held by the window, idle");
    const long idle = residentKiB().first;

    run.DoStart();
    if (!run.isRunning()) {
        std::fprintf(stderr, "the run did not start\n");
        return 1;
    }
    report("run started");
    waitMs(seconds * 1000);
    report("run going");
    const long going = residentKiB().first;
    std::printf("  (%d submissions counted; the run holds %.1f bytes a name)\n", run.submissions(),
                double(going - idle) * 1024.0 / names);
    run.DoStart();
    waitMs(50);
    report("run stopped");
    return 0;
}
