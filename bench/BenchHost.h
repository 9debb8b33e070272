#pragma once

#include "BenchDatabase.h"
#include "comm/LinkState.h"
#include "comm/PeriodicTasks.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/InstanceStats.h"
#include "core/Settings.h"
#include "core/Timer.h"
#include "drivers/DriverServices.h"
#include "store/Store.h"
#include "support/FakeLine.h"

#include <QLocale>
#include <benchmark/benchmark.h>

#include <vector>

namespace Quorlix::Bench {

// The services a driver runs on, over the benchmark database, with lines that only record what
// they are sent: a benchmark measures the driver and the database, never the line or its pauses.
struct BenchHost
{
    explicit BenchHost(const QString& databasePath, const QString& analyzerId, const QString& analyzerType);

    DriverServices services(LineHandler* analyzerHandler = nullptr);
    // Forgets what the lines were sent (between iterations).
    void clearLines();

    SystemClock clock;
    EventLoopTimers timers;
    QLocale locale;
    CommLog log{clock, locale};
    Settings settings;
    Database database;
    Test::FakeLine analyzerLine{nullptr, QStringLiteral("analyzer port")};
    Test::FakeLine limsLine{nullptr, QStringLiteral("LIMS port")};
    Store store{settings, database, log, clock, limsLine};
    LinkState link;
    PeriodicTasks tasks{timers};
    InstanceStats stats;
};

// Reports the median and the 99th percentile of the times measured, in microseconds, as counters.
void ReportLatencies(benchmark::State& state, std::vector<double> micros);

// Registers a benchmark of one database as NAME/sqlite and, when the bench host offers a server
// (QUORLIX_TEST_PG), as NAME/postgresql; it is given the backend's name. Times in microseconds,
// three repetitions, aggregates only.
using DatabaseBenchmark = void (*)(benchmark::State&, const QString& backend);
bool RegisterOnEachDatabase(const char* name, DatabaseBenchmark function, int sqliteIterations,
                            int postgresIterations);

} // namespace Quorlix::Bench
