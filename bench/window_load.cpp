// How long the main window takes to come up with a large domains.dat, what the list
// costs in resident memory, and whether the list survives load, show and save byte for
// byte. The window runs on the offscreen platform; each run loads from a fresh folder.
//
//   drovane_window_load --names 1000000 [--runs 5]
//   drovane_window_load --line 1048576 [--runs 5]

#include "core/platform/QtPlatform.h"
#include "core/settings/LegalTypes.h"
#include "core/settings/SettingsStore.h"
#include "desktop/ListBox.h"
#include "desktop/frmMain.h"
#include "testing/ScriptedPrompter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace drovane;

namespace {

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

long argValue(const QStringList& args, const char* name, long fallback) {
    const qsizetype at = args.indexOf(QLatin1String(name));
    return at >= 0 && at + 1 < args.size() ? args[at + 1].toLong() : fallback;
}

QByteArray listBytes(long names, long lineBytes) {
    QByteArray bytes;
    if (lineBytes > 0) {
        bytes = QByteArray(lineBytes, 'x');
        bytes += "\r\nafter-the-long-line.com\r\n";
        return bytes;
    }
    static const char* const endings[] = {".com", ".net", ".us", ".tv"};
    bytes.reserve(names * 16);
    for (long i = 0; i < names; ++i)
        bytes += "name" + QByteArray::number(qlonglong(i)).rightJustified(6, '0') + endings[i % 4] +
                 "\r\n";
    return bytes;
}

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Loaded {
    double shownMs;
    double cpuMs;
    double keystrokeMs; // a character typed at the start of the first line, repainted
    double endKeyMs;    // End and a character at the end of the first line, repainted
    long residentKiB;
    bool roundTrip;
};

// Loads the window from a folder holding `domains`, shows and paints it, then closes
// it, which saves both files.
Loaded loadShowSave(const QByteArray& domains, const QStringList& legalTypes) {
    QTemporaryDir dir;
    if (!domains.isEmpty()) {
        QFile file(dir.filePath(QStringLiteral("domains.dat")));
        if (!file.open(QIODevice::WriteOnly) || file.write(domains) != domains.size())
            qFatal("cannot write domains.dat");
    }
    QtPlatform platform;
    ScriptedPrompter prompter;
    QElapsedTimer clock;
    clock.start();
    const double cpuStart = cpuMs();
    SettingsStore store(dir.path());
    store.GetSettings();
    frmMain window(store, platform, prompter, legalTypes, QStringLiteral("registrar.invalid"), {});
    window.show();
    QCoreApplication::processEvents();
    window.grab(); // every control painted once
    Loaded result{clock.nsecsElapsed() / 1e6, cpuMs() - cpuStart, 0, 0, residentKiB(), false};
    auto* box = window.findChild<ListBox*>(QStringLiteral("txtDomains"));
    QElapsedTimer typing;
    typing.start();
    QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(box, &key);
    box->repaint();
    result.keystrokeMs = typing.nsecsElapsed() / 1e6;
    QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &erase);
    typing.restart();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &end);
    QCoreApplication::sendEvent(box, &key);
    box->repaint();
    result.endKeyMs = typing.nsecsElapsed() / 1e6;
    QCoreApplication::sendEvent(box, &erase);
    window.close();
    QFile saved(dir.filePath(QStringLiteral("domains.dat")));
    result.roundTrip = saved.open(QIODevice::ReadOnly) &&
                       saved.readAll() == (domains.isEmpty() ? QByteArray("\r\n") : domains);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const long names = std::clamp(argValue(args, "--names", 1000000), 0L, 10000000L);
    const long line = std::clamp(argValue(args, "--line", 0), 0L, 64L << 20);
    const int runs = int(std::clamp(argValue(args, "--runs", 5), 1L, 50L));
    QStringList legalTypes;
    FillLegalTypes(legalTypes);

    const QByteArray domains = listBytes(names, line);
    // An empty window first: fonts, styles and artwork are loaded once per process.
    const Loaded empty = loadShowSave({}, legalTypes);
    const long before = residentKiB();
    QList<double> times;
    QList<double> cpu;
    QList<double> keystroke;
    QList<double> endKey;
    long resident = 0;
    bool intact = empty.roundTrip;
    for (int run = 0; run < runs; ++run) {
        const Loaded loaded = loadShowSave(domains, legalTypes);
        times.append(loaded.shownMs);
        cpu.append(loaded.cpuMs);
        keystroke.append(loaded.keystrokeMs);
        endKey.append(loaded.endKeyMs);
        if (run == 0)
            resident = loaded.residentKiB;
        intact = intact && loaded.roundTrip;
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    std::sort(keystroke.begin(), keystroke.end());
    std::sort(endKey.begin(), endKey.end());
    const long items = line > 0 ? 2 : names;
    std::printf("domains.dat of %lld bytes (%s), %d runs\n", qlonglong(domains.size()),
                line > 0 ? "one long line and one name" : "one name a line", runs);
    std::printf("  window shown and painted: median %.1f ms, min %.1f ms, max %.1f ms\n",
                times[times.size() / 2], times.first(), times.last());
    std::printf("  CPU time of the same:     median %.1f ms, min %.1f ms, max %.1f ms\n",
                cpu[cpu.size() / 2], cpu.first(), cpu.last());
    std::printf("  a keystroke at the top of the list, repainted: median %.2f ms\n",
                keystroke[keystroke.size() / 2]);
    std::printf("  End and a keystroke at the end of the first line: median %.2f ms\n",
                endKey[endKey.size() / 2]);
    std::printf("  resident memory with the list shown: +%.1f MiB over an empty window "
                "(%.0f bytes a name, %.2f bytes a byte of the file)\n",
                (resident - before) / 1024.0, (resident - before) * 1024.0 / items,
                (resident - before) * 1024.0 / domains.size());
    std::printf("  round trip (load, show, save) byte for byte: %s\n", intact ? "yes" : "NO");
    return intact ? 0 : 1;
}
