// Benchmarks of the Hitachi host side on a database of realistic size:
//   inquiry  time from the complete inquiry to the written reply (Hitachi 911, no pause), and the
//            test selection alone, one query against the literal one query per channel;
//   results  result frames of 20 results stored per second with autovalidation "1".
// The database file is built once (bench/BenchDatabase.cpp) and kept in /tmp.

#include "BenchHost.h"
#include "core/FrameText.h"
#include "drivers/hitachi/HitachiDriver.h"
#include "drivers/hitachi/LiteralOrderSelection.h"
#include "drivers/hitachi/OrderSelection.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace Quorlix;

namespace {

const QString AnalyzerId = QStringLiteral("HIT911");

QString DatabasePath()
{
    return qEnvironmentVariable("QUORLIX_BENCH_DB", QStringLiteral("/tmp/quorlix-bench.db"));
}

QString InquiryFrame(const QString& id)
{
    return QStringLiteral("\x02;A   11 1") + RightAligned(id, 13) + QStringLiteral("   3 1207261039\x03");
}

QString ResultFrame(const QString& id)
{
    QString blocks;
    for (int c = 1; c <= 20; ++c)
        blocks += RightAligned(QString::number(c), 2) +
                  RightAligned(QString::number(10.0 + c * 1.5, 'f', 1), 6) + QLatin1Char(' ');
    return QStringLiteral("\x02:b   11 1") + RightAligned(id, 13) + QStringLiteral("   3 1207261039") +
           QStringLiteral("20") + blocks + QStringLiteral("\x03");
}

// One Hitachi 911 host over the benchmark database.
struct Host
{
    Bench::BenchHost host{DatabasePath(), AnalyzerId, QStringLiteral("H911")};
    std::unique_ptr<HitachiDriver> driver;

    Host()
    {
        host.settings.AutoVal = QStringLiteral("1");
        driver = std::make_unique<HitachiDriver>(host.services(), HitachiModel::Hit911, false);
    }
};

Host& TheHost()
{
    static Host host;
    return host;
}

void BM_Inquiry911(benchmark::State& state)
{
    Host& host = TheHost();
    int i = 0;
    for (auto _ : state) {
        host.driver->receive(InquiryFrame(Bench::BenchSampleId(i++ * 7919)));
        state.PauseTiming();
        host.host.clearLines();
        state.ResumeTiming();
    }
}

template <typename Selection> void BM_Selection(benchmark::State& state)
{
    Host& host = TheHost();
    Selection selection(host.host.database,
                        OrderSelectionRules{AnalyzerId, QStringLiteral("QC????"), OrderQueries::Hit911});
    int i = 0;
    for (auto _ : state) {
        const SelectionOutcome outcome = selection.select(Bench::BenchSampleId(i++ * 7919));
        benchmark::DoNotOptimize(outcome.selection);
    }
}

void BM_ResultFrames911(benchmark::State& state)
{
    Host& host = TheHost();
    // Sample ids new to the database in every run: a frame seen before would not be stored again.
    static const QString run = QString::number(QDateTime::currentSecsSinceEpoch() % 100000);
    static int sample = 0;
    for (auto _ : state) {
        host.driver->receive(
            ResultFrame(QStringLiteral("R%1-%2").arg(run).arg(++sample, 6, 10, QLatin1Char('0'))));
        state.PauseTiming();
        host.host.clearLines();
        state.ResumeTiming();
    }
    state.counters["frames_per_second"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_Inquiry911)->Unit(benchmark::kMicrosecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_Selection<OrderSelection>)
    ->Name("BM_SelectionOneQuery")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_Selection<Test::LiteralOrderSelection>)
    ->Name("BM_SelectionLiteral48")
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ResultFrames911)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
