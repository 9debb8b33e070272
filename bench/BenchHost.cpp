#include "BenchHost.h"

#include <algorithm>
#include <cmath>

namespace Quorlix::Bench {

BenchHost::BenchHost(const QString& databasePath, const QString& analyzerId, const QString& analyzerType)
{
    if (const QString error = EnsureBenchDatabase(databasePath, analyzerId); !error.isEmpty())
        qFatal("%s", qPrintable(error));
    DatabaseTarget target;
    target.qtDriver = QStringLiteral("QSQLITE");
    target.databaseName = databasePath;
    target.dialect = SqlDialect(SqlDialect::SQLite);
    if (const QString error = database.open(target); !error.isEmpty())
        qFatal("%s", qPrintable(error));
    settings.AnalyzerId = analyzerId;
    settings.AnalyzerType = analyzerType;
    settings.ControlMask = QStringLiteral("QC????");
}

DriverServices BenchHost::services(LineHandler* analyzerHandler)
{
    return DriverServices{settings,     database, log,  clock, timers, store,
                          analyzerLine, limsLine, link, tasks, stats,  analyzerHandler};
}

void BenchHost::clearLines()
{
    analyzerLine.takeSent();
    limsLine.takeSent();
}

void ReportLatencies(benchmark::State& state, std::vector<double> micros)
{
    if (micros.empty())
        return;
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) { return micros[size_t(std::ceil(q * double(micros.size()))) - 1]; };
    state.counters["median_us"] = at(0.5);
    state.counters["p99_us"] = at(0.99);
}

} // namespace Quorlix::Bench
