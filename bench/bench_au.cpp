// Benchmark of the AU host side on the benchmark database (100,000 open requests): the time from a
// complete "R " order request to the order frame handed to the line (an AU400, without the two
// pauses, which the line keeps), beside the Hitachi 911 inquiry on the same database. Each reports
// the median and the 99th percentile of single requests.

#include "BenchHost.h"
#include "core/FrameText.h"
#include "drivers/au/AuDriver.h"
#include "drivers/hitachi/HitachiDriver.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

using namespace Quorlix;

namespace {

QString DatabasePath()
{
    return qEnvironmentVariable("QUORLIX_BENCH_DB", QStringLiteral("/tmp/quorlix-bench.db"));
}

QString AuRequest(const QString& id)
{
    return QStringLiteral("\x02R 000101N0001") + LeftAligned(id, 20) + QStringLiteral("     \x03");
}

QString HitachiInquiry(const QString& id)
{
    return QStringLiteral("\x02;A   11 1") + RightAligned(id, 13) + QStringLiteral("   3 1207261039\x03");
}

// One host over the benchmark database, whose analyzer (48 channels) both drivers serve.
struct Hosts
{
    Bench::BenchHost host{DatabasePath(), QStringLiteral("HIT911"), QStringLiteral("H911")};
    std::unique_ptr<AuDriver> au = std::make_unique<AuDriver>(host.services(), AuModel::Au400, false);
    std::unique_ptr<HitachiDriver> hitachi =
        std::make_unique<HitachiDriver>(host.services(), HitachiModel::Hit911, false);
};

Hosts& TheHosts()
{
    static Hosts hosts;
    return hosts;
}

// Times each request alone and reports the median and the 99th percentile in microseconds.
template <typename Request> void Percentiles(benchmark::State& state, LineHandler& driver, Request request)
{
    Hosts& hosts = TheHosts();
    std::vector<double> micros;
    micros.reserve(size_t(state.max_iterations));
    int i = 0;
    for (auto _ : state) {
        const QString frame = request(Bench::BenchSampleId(i++ * 7919));
        const auto start = std::chrono::steady_clock::now();
        driver.receive(frame);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        micros.push_back(took.count() * 1e6);
        hosts.host.clearLines();
    }
    Bench::ReportLatencies(state, std::move(micros));
}

void BM_AuOrderRequest(benchmark::State& state)
{
    Percentiles(state, *TheHosts().au, AuRequest);
}

void BM_Inquiry911(benchmark::State& state)
{
    Percentiles(state, *TheHosts().hitachi, HitachiInquiry);
}

} // namespace

BENCHMARK(BM_AuOrderRequest)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20000);
BENCHMARK(BM_Inquiry911)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(20000);
