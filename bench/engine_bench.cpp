// Speed of the engine's own work: requests, replies, the two files, and the start of a
// run over lists of growing size. The sweeps over the list size (1k, 8k, 32k) report a
// fitted complexity so that anything worse than linear shows.

#include "BenchLists.h"
#include "testing/FakeRunView.h"
#include "testing/RegistrarReplies.h"

#include "core/registrar/ReplyInterpreter.h"
#include "core/registrar/RequestBuilder.h"
#include "core/run/ListText.h"
#include "core/run/RunController.h"
#include "core/run/RunStatus.h"
#include "core/run/StartChecks.h"
#include "core/settings/SettingsCodec.h"
#include "core/settings/SettingsStore.h"
#include "testing/ScriptedPrompter.h"
#include "testing/SimPlatform.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace drovane;

namespace {

constexpr int kFullList = 32768;

SettingsArray fullSettings() {
    SettingsArray s;
    const char* values[] = {"",
                            "reseller",
                            "secret",
                            "1",
                            "5",
                            "Ada",
                            "Lovelace",
                            "+1.5555555",
                            "12 Any St",
                            "Springfield",
                            "US",
                            "ada@example.com",
                            "1",
                            "",
                            "",
                            "1",
                            "ns1.example.net",
                            "ns2.example.net",
                            "0",
                            "1$IND"};
    for (int k = 1; k <= kSettingCount; ++k)
        s[Setting(k)] = QString::fromLatin1(values[k - 1]);
    return s;
}

void sweep(benchmark::internal::Benchmark* b) {
    b->Arg(1024)->Arg(8192)->Arg(kFullList)->Complexity(benchmark::oN);
}

// --- requests -------------------------------------------------------------------------

void BM_BuildRequest(benchmark::State& state) {
    const bool purchase = state.range(0) != 0;
    SettingsArray settings = fullSettings();
    settings[Setting::UsePurchase] = purchase ? QStringLiteral("1") : QStringLiteral("0");
    const RequestContext context{QStringLiteral("reseller"), QStringLiteral("p@ss word"), &settings,
                                 purchase, purchase};
    DomainGroup group;
    const QStringList lines = listLines(bench::domainList(kFullList / 2));
    for (const QString& line : lines) {
        auto job = std::make_shared<DomainJob>();
        job->domain = line;
        group.add(job);
    }
    group.cursor = 1;
    for (auto _ : state) {
        std::optional<Request> request = takeRequest(group, context);
        benchmark::DoNotOptimize(request);
    }
    state.SetLabel(purchase ? "purchase with registrant and name servers" : "check");
}
BENCHMARK(BM_BuildRequest)->Arg(0)->Arg(1);

// --- replies --------------------------------------------------------------------------

void BM_JudgeReply(benchmark::State& state) {
    QByteArray reply;
    switch (state.range(0)) {
    case 0:
        reply = test::checkReply("211");
        state.SetLabel("taken");
        break;
    case 1:
        reply = test::checkReply("210");
        state.SetLabel("free");
        break;
    case 2:
        reply = test::orderReply();
        state.SetLabel("ordered");
        break;
    case 3:
        reply = test::registrarReply("PURCHASE", "ErrCount=1\r\nErr1=Domain not available\r\n");
        state.SetLabel("error text");
        break;
    default:
        reply = test::registrarReply("CHECK", "RRPCode=211\r\n", true);
        state.SetLabel("with Content-Length");
        break;
    }
    for (auto _ : state) {
        // What a slot does with a reply: is it whole yet, and what does it say.
        bool whole = replyIsComplete(reply);
        ReplyVerdict verdict = interpretReply(reply);
        benchmark::DoNotOptimize(whole);
        benchmark::DoNotOptimize(verdict);
    }
    state.SetBytesProcessed(state.iterations() * reply.size());
}
BENCHMARK(BM_JudgeReply)->DenseRange(0, 4);

// A reply trickled in pieces of 16 bytes: the completeness test after every piece, as
// the slot runs it (second argument 1), or the whole reply tested afresh each time (0).
// The reply never ends its headers, the worst case for a rescan.
void BM_TrickledReply(benchmark::State& state) {
    const QByteArray reply =
        "HTTP/1.1 200 OK\r\n" + QByteArray(state.range(0), 'x').replace(8, 2, "\r\n");
    for (auto _ : state) {
        ReplyEndTracker tracker;
        QByteArray sofar;
        bool whole = false;
        for (qsizetype at = 0; at < reply.size(); at += 16) {
            sofar += reply.mid(at, 16);
            whole = state.range(1) ? tracker.complete(sofar) : replyIsComplete(sofar);
        }
        benchmark::DoNotOptimize(whole);
    }
}
BENCHMARK(BM_TrickledReply)
    ->ArgsProduct({{4096, 65536, 262144}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// --- settings.dat and domains.dat -----------------------------------------------------

void BM_EncodeSettings(benchmark::State& state) {
    const SettingsArray settings = fullSettings();
    for (auto _ : state) {
        QByteArray bytes = encodeSettings(settings);
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_EncodeSettings);

void BM_DecodeSettings(benchmark::State& state) {
    const QByteArray bytes = encodeSettings(fullSettings());
    SettingsArray settings;
    for (auto _ : state) {
        int pieces = decodeSettings(bytes, settings);
        benchmark::DoNotOptimize(pieces);
    }
}
BENCHMARK(BM_DecodeSettings);

void BM_DecodeDomains(benchmark::State& state) {
    const QByteArray bytes = encodeDomains(bench::domainList(int(state.range(0))));
    for (auto _ : state) {
        QString list = decodeDomains(bytes);
        benchmark::DoNotOptimize(list);
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_DecodeDomains)->Apply(sweep);

// The whole read at start-up: open, read and decode the saved list.
void BM_ReadDomainsFile(benchmark::State& state) {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    QFile file(store.domainsPath());
    if (!file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write domains.dat");
        return;
    }
    file.write(encodeDomains(bench::domainList(int(state.range(0)))));
    file.close();
    for (auto _ : state) {
        QString list = store.readDomains();
        benchmark::DoNotOptimize(list);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadDomainsFile)->Apply(sweep)->Unit(benchmark::kMicrosecond);

// Both files replaced atomically, as every Start and Stop does first.
void BM_WriteSettings(benchmark::State& state) {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    test::FakeRunView view;
    view.f.domains = bench::domainList(int(state.range(0)));
    for (auto _ : state) {
        SaveResult saved = store.WriteSettings(view.f);
        benchmark::DoNotOptimize(saved);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WriteSettings)->Apply(sweep)->Unit(benchmark::kMillisecond);

// --- the start of a run, piece by piece and whole -------------------------------------

// `blank` empty lines after every name: the clean-up's worst case.
QString listWithBlanks(int count, int blank) {
    QString list = bench::domainList(count);
    if (blank == 0)
        return list;
    const QString gap = QStringLiteral("\r\n").repeated(blank + 1);
    return QStringLiteral("\r\n") + list.replace(QLatin1String("\r\n"), gap) +
           QStringLiteral("\r\n");
}

void BM_CleanList(benchmark::State& state) {
    const QString list = listWithBlanks(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        QString cleaned = cleanList(list);
        benchmark::DoNotOptimize(cleaned);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CleanList)
    ->ArgsProduct({{1024, 8192, kFullList}, {0}})
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CleanList)
    ->ArgsProduct({{1024, 8192, kFullList}, {3}})
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);

void BM_StartChecks(benchmark::State& state) {
    MainFields fields;
    fields.username = QStringLiteral("reseller");
    fields.password = QStringLiteral("secret");
    fields.delayTime = QStringLiteral("1");
    fields.domains = bench::domainList(int(state.range(0)));
    SettingsArray settings; // no contact details: every ending is looked for
    ScriptedPrompter prompter;
    for (auto _ : state) {
        bool passed = passStartChecks(fields, settings, prompter, QStringLiteral("Drovane"));
        benchmark::DoNotOptimize(passed);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_StartChecks)->Apply(sweep)->Unit(benchmark::kMicrosecond);

void BM_DealDomains(benchmark::State& state) {
    const QString list = bench::domainList(int(state.range(0)));
    for (auto _ : state) {
        DealtGroups groups = dealDomains(list, true);
        benchmark::DoNotOptimize(groups);
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DealDomains)->Apply(sweep)->Unit(benchmark::kMicrosecond);

// A whole Start: save, clean-up, checks, running state, dealing, slots and their first
// connection attempts (under the simulator, which answers nothing here). The Stop that
// follows each Start is not timed.
void BM_StartRun(benchmark::State& state) {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    SimPlatform platform;
    ScriptedPrompter prompter;
    test::FakeRunView view;
    view.f.delayTime = QStringLiteral("1");
    view.f.domains = bench::domainList(int(state.range(0)));
    RunController run(store, platform, prompter, view, QStringLiteral("registrar.test"));
    for (auto _ : state) {
        run.DoStart();
        state.PauseTiming();
        if (!run.isRunning() || run.groups()[0]->size() != (state.range(0) + 1) / 2) {
            state.SkipWithError("the run did not start");
            break;
        }
        run.DoStart();
        platform.log.clear();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_StartRun)->Apply(sweep)->Unit(benchmark::kMillisecond);

void BM_StopRun(benchmark::State& state) {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    SimPlatform platform;
    ScriptedPrompter prompter;
    test::FakeRunView view;
    view.f.delayTime = QStringLiteral("1");
    view.f.domains = bench::domainList(int(state.range(0)));
    RunController run(store, platform, prompter, view, QStringLiteral("registrar.test"));
    for (auto _ : state) {
        state.PauseTiming();
        run.DoStart();
        platform.log.clear();
        state.ResumeTiming();
        run.DoStart();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_StopRun)->Apply(sweep)->Unit(benchmark::kMillisecond);

// --- one request from end to end ------------------------------------------------------

// A slot's cycle under the simulator: the interval, then the 5 ms answer. The connection
// for each request is opened ahead of its moment, so its 1 ms set-up is not part of it.
constexpr qint64 kCycleMs = 1000 + 5;

// Both slots cycling under virtual time at interval 1: every iteration is one cycle, one
// request and one reply per slot (open ahead, build, send, collect, judge, pace).
// The list size must not change the cost of a request.
void BM_SlotCycle(benchmark::State& state) {
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    SimPlatform platform;
    ScriptedPrompter prompter;
    test::FakeRunView view;
    view.f.delayTime = QStringLiteral("1");
    view.f.logging = int(state.range(1));
    view.f.domains = bench::domainList(int(state.range(0)));
    SimReply reply;
    reply.pieces = {test::checkReply("211")};
    platform.replyFor = [&reply](const QByteArray&) { return reply; };
    RunController run(store, platform, prompter, view, QStringLiteral("registrar.test"));
    run.DoStart();
    // Requests about names far down the list, where a search from the front costs most.
    for (const auto& group : run.groups())
        group->cursor = group->size() / 2;
    for (int i = 0; i < 4; ++i)
        platform.advance(kCycleMs);
    const qint32 before = run.submissions();
    for (auto _ : state) {
        platform.advance(kCycleMs);
        if (platform.log.size() > 4096)
            platform.log.clear();
    }
    const qint32 requests = run.submissions() - before;
    if (requests != 2 * qint32(state.iterations()))
        state.SkipWithError("a request went missing");
    state.SetItemsProcessed(requests);
    state.SetLabel(view.f.logging ? "logging on" : "logging off");
    run.DoStart();
}
BENCHMARK(BM_SlotCycle)->ArgsProduct({{1024, kFullList}, {0, 1}})->Unit(benchmark::kMicrosecond);

// --- a whole run with and without the status table -----------------------------------

// The view's own record of replies would grow without end here; the faces only look.
class QuietView : public test::FakeRunView {
public:
    void showReply(const ReplyEvent&) override {}
};

// A simulated run over the full list, interval 1, every name taken: one iteration is one
// pass of both slots through their 16,384 names (32,768 counted replies), with the status
// table the status window reads attached or not. The Start, with the table's set-up, is
// timed by BM_StartWithStatus.
void BM_RunWithStatus(benchmark::State& state) {
    const bool attached = state.range(0) != 0;
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    SimPlatform platform;
    ScriptedPrompter prompter;
    QuietView view;
    view.f.delayTime = QStringLiteral("1");
    view.f.domains = bench::domainList(kFullList);
    SimReply reply;
    reply.pieces = {test::checkReply("211")};
    platform.replyFor = [&reply](const QByteArray&) { return reply; };
    RunController run(store, platform, prompter, view, QStringLiteral("registrar.test"));
    RunStatus status;
    if (attached)
        run.attachStatus(&status);
    run.DoStart();
    const qint64 pass = qint64(kFullList / 2) * kCycleMs;
    platform.advance(kCycleMs / 2); // mid-cycle, so a pass holds whole cycles only
    qint64 replies = 0;
    for (auto _ : state) {
        const qint32 before = run.submissions();
        platform.advance(pass);
        replies += run.submissions() - before;
        state.PauseTiming();
        platform.log.clear();
        state.ResumeTiming();
    }
    if (replies != qint64(kFullList) * state.iterations())
        state.SkipWithError("a reply went missing");
    if (attached && (status.rowCount() != kFullList || status.row(0).tries == 0))
        state.SkipWithError("the status table was not kept");
    state.SetItemsProcessed(replies);
    state.SetLabel(attached ? "status table attached" : "no status table");
    run.DoStart();
}
BENCHMARK(BM_RunWithStatus)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What the status table adds to one counted reply: finding the name's row and filling it.
void BM_StatusApply(benchmark::State& state) {
    const DealtGroups dealt = dealDomains(bench::domainList(kFullList), true);
    RunStatus status;
    status.begin({dealt.slot1, dealt.slot2});
    // The order the two slots report in: their names in turn, side by side.
    std::vector<ReplyEvent> events;
    for (int i = 1; i <= dealt.slot1->size(); ++i)
        for (int s = 1; s <= 2; ++s) {
            const DomainGroup& group = s == 1 ? *dealt.slot1 : *dealt.slot2;
            if (i > group.size())
                continue;
            ReplyEvent e;
            e.at = QDateTime::currentDateTimeUtc();
            e.slot = s;
            e.domain = group.at(i)->domain;
            e.tries = 1;
            events.push_back(e);
        }
    size_t next = 0;
    for (auto _ : state) {
        status.apply(events[next]);
        if (++next == events.size())
            next = 0;
    }
    if (status.row(0).tries != 1)
        state.SkipWithError("the table was not kept");
}
BENCHMARK(BM_StatusApply);

// Start and Stop of a full list, with and without the status table's set-up.
void BM_StartWithStatus(benchmark::State& state) {
    const bool attached = state.range(0) != 0;
    QTemporaryDir dir;
    SettingsStore store(dir.path());
    SimPlatform platform;
    ScriptedPrompter prompter;
    QuietView view;
    view.f.delayTime = QStringLiteral("1");
    view.f.domains = bench::domainList(kFullList);
    RunController run(store, platform, prompter, view, QStringLiteral("registrar.test"));
    RunStatus status;
    if (attached)
        run.attachStatus(&status);
    for (auto _ : state) {
        run.DoStart();
        state.PauseTiming();
        run.DoStart();
        platform.log.clear();
        state.ResumeTiming();
    }
    state.SetLabel(attached ? "status table attached" : "no status table");
}
BENCHMARK(BM_StartWithStatus)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
