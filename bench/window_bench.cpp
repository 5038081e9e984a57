// What the status window costs the thread the slots run on: one refresh of a 32,768-name
// table in which every row changed, drawn (offscreen). The window does this at most
// every 250 ms, and only while it is open.

#include "BenchLists.h"
#include "core/run/ListText.h"
#include "core/run/RunStatus.h"
#include "desktop/frmStatus.h"

#include <QApplication>
#include <QTableView>
#include <benchmark/benchmark.h>

using namespace drovane;

namespace {

void BM_StatusWindowRefresh(benchmark::State& state) {
    const DealtGroups dealt = dealDomains(bench::domainList(int(state.range(0))), true);
    RunStatus status;
    status.begin({dealt.slot1, dealt.slot2});
    frmStatus window(status);
    window.show();
    QApplication::processEvents();
    ReplyEvent e;
    e.at = QDateTime::currentDateTimeUtc();
    int tries = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Every row changed since the last refresh: the widest span there can be.
        e.tries = ++tries;
        for (int r = 0; r < status.rowCount(); ++r) {
            e.slot = status.row(r).slot;
            e.domain = status.row(r).domain;
            status.apply(e);
        }
        state.ResumeTiming();
        window.refresh();
        window.table()->viewport()->repaint();
    }
    state.SetLabel(QByteArray::number(status.rowCount()).toStdString() + " rows, all changed");
}
BENCHMARK(BM_StatusWindowRefresh)->Arg(1024)->Arg(32768)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
