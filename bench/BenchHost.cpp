#include "BenchHost.h"

#include "support/TestDatabase.h"

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

bool RegisterOnEachDatabase(const char* name, DatabaseBenchmark function, int sqliteIterations,
                            int postgresIterations)
{
    QList<std::pair<QString, int>> runs{{QStringLiteral("sqlite"), sqliteIterations}};
    if (Test::Backends().contains(QStringLiteral("postgresql")))
        runs.append({QStringLiteral("postgresql"), postgresIterations});
    for (const auto& run : runs) {
        const std::string fullName = (QString::fromLatin1(name) + QLatin1Char('/') + run.first).toStdString();
        benchmark::RegisterBenchmark(fullName.c_str(), function, run.first) // the name is copied
            ->Unit(benchmark::kMicrosecond)
            ->Iterations(run.second)
            ->Repetitions(3)
            ->ReportAggregatesOnly(true);
    }
    return true;
}

} // namespace Quorlix::Bench
