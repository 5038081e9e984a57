// The domain list edits drovane-cli makes, at the sizes users import.

#include "BenchLists.h"
#include "core/model/DomainName.h"
#include "core/run/ListText.h"

#include <benchmark/benchmark.h>

using namespace drovane;

namespace {

// Importing `range(0)` new names into a list of as many: the merge of `domains import`.
void BM_AddNames(benchmark::State& state) {
    const int n = int(state.range(0));
    const QStringList listed =
        bench::domainList(n, QStringLiteral("old")).split(QLatin1String("\r\n"));
    const QStringList names =
        bench::domainList(n, QStringLiteral("new")).split(QLatin1String("\r\n"));
    for (auto _ : state) {
        QStringList lines = listed;
        benchmark::DoNotOptimize(addNames(lines, names));
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AddNames)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);

// The start's look for lines that are not names, over a whole list.
void BM_BadListLines(benchmark::State& state) {
    const QString list = bench::domainList(int(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(badListLines(list, 5).count);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BadListLines)->Arg(1000000)->Unit(benchmark::kMillisecond);

} // namespace
