// Benchmarks of the MGC240 exchange (type "MGC"): one MGC240 cycle with 10,000 open requests
// (2,500 samples of four tests) and 2,000 results waiting in the MGC240's database.
//   steady  the orders are on the analyzer already; 500 finished samples' results are taken
//   first   the whole work list is written anew: 10,000 items and 2,500 orders, one transaction each sample
// Both databases are SQLite files in a fresh temporary folder, built once per run.

#include "comm/PeriodicTasks.h"
#include "core/SchemaInit.h"
#include "drivers/dbexchange/MgcExchange.h"
#include "support/DriverRig.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <memory>

using namespace Quorlix;

namespace {

constexpr int Samples = 2500;
constexpr int TestsPerSample = 4;
constexpr int FinishedSamples = 500;
constexpr int HistoryRows = 20000; // finished items of earlier days still in the analyzer's database

QString SampleId(int i)
{
    return QStringLiteral("26%1").arg(i, 6, 10, QLatin1Char('0'));
}

void Run(Database& db, const QString& sql, const QVariantList& values = {})
{
    if (SqlResult r = db.run(sql, values); !r.ok())
        qFatal("%s: %s", qPrintable(sql), qPrintable(r.error()));
}

struct Host
{
    Test::DriverRig rig{QStringLiteral("sqlite")};
    QTemporaryDir dir;
    Database mgc{QStringLiteral("bench-mgc")};
    std::unique_ptr<MgcExchange> exchange;

    Host()
    {
        const QString file = dir.filePath(QStringLiteral("mgc240.db"));
        DatabaseTarget t;
        t.qtDriver = QStringLiteral("QSQLITE");
        t.databaseName = file;
        t.dialect = SqlDialect(SqlDialect::SQLite);
        if (const QString error = mgc.open(t); !error.isEmpty())
            qFatal("%s", qPrintable(error));
        Run(mgc, QStringLiteral("PRAGMA journal_mode=WAL"));
        if (const QString error = mgc.runScript(SchemaScript(mgc, true)); !error.isEmpty())
            qFatal("%s", qPrintable(error));
        Settings& s = rig.settings;
        s.AnalyzerId = QStringLiteral("MGC1");
        s.AnalyzerType = QStringLiteral("MGC");
        s.MgcDriver = QStringLiteral("sqlite");
        s.AccessPath = file;

        Database& lab = rig.tdb.db();
        lab.transaction();
        for (int p = 1; p <= 12; ++p)
            Run(lab,
                QStringLiteral(
                    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (?, ?, ?)"),
                {p, s.AnalyzerId, p});
        for (int c = 1; c <= 3; ++c)
            for (int p = 1; p <= 2; ++p)
                Run(lab,
                    QStringLiteral(
                        "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES (?, ?, ?)"),
                    {QStringLiteral("QC%1").arg(c), p, s.AnalyzerId});
        for (int i = 0; i < Samples; ++i)
            for (int k = 0; k < TestsPerSample; ++k)
                Run(lab, QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES (?, ?)"),
                    {SampleId(i), (i + k * 3) % 12 + 1});
        lab.commit();
        lab.run(QStringLiteral("ANALYZE"));

        mgc.transaction();
        for (int item = 1; item <= 12; ++item)
            Run(mgc, QStringLiteral("INSERT INTO itempara (item_no, item_name) VALUES (?, ?)"),
                {item, QStringLiteral("T%1").arg(item)});
        for (int h = 0; h < HistoryRows; ++h)
            Run(mgc,
                QStringLiteral("INSERT INTO samp_dat (samp_id, fdate, item_no, data_state, conc_data) "
                               "VALUES (?, '2026-12-06 00:00:00', ?, 3, 1.5)"),
                {QStringLiteral("OLD%1").arg(h / 4), h % 12 + 1});
        mgc.commit();
        exchange = std::make_unique<MgcExchange>(rig.services());
    }

    // The work list as the analyzer has it after the first tick: every sample ordered, the first
    // FinishedSamples measured.
    void analyzerMeasures()
    {
        Run(mgc,
            QStringLiteral(
                "UPDATE samp_dat SET data_state = 3, conc_data = 42.5, rst_Date = '2026-12-07 10:00:00' "
                "WHERE samp_id LIKE '26%' AND samp_id < ?"),
            {SampleId(FinishedSamples)});
        Run(mgc,
            QStringLiteral("UPDATE samp_odr SET samp_state = 3 WHERE samp_id LIKE '26%' AND samp_id < ?"),
            {SampleId(FinishedSamples)});
    }
    // The laboratory's orders open again (what the tick filled).
    void reopen()
    {
        Run(rig.tdb.db(),
            QStringLiteral("UPDATE request SET result = NULL, analyzer_id = NULL, time_stamp = NULL "
                           "WHERE analyzer_id IS NOT NULL"));
    }
    int filled()
    {
        SqlResult r =
            rig.tdb.db().run(QStringLiteral("SELECT COUNT(*) FROM request WHERE result IS NOT NULL"));
        return r.next() ? r.value(0).toInt() : -1;
    }
};

Host& TheHost()
{
    static Host host;
    return host;
}

void BM_MgcCycleSteady(benchmark::State& state)
{
    Host& host = TheHost();
    host.exchange->tick(); // the orders go onto the analyzer
    host.analyzerMeasures();
    for (auto _ : state) {
        state.PauseTiming();
        host.reopen();
        state.ResumeTiming();
        host.exchange->tick();
    }
    if (host.filled() != FinishedSamples * TestsPerSample)
        state.SkipWithError("the tick did not take the 2,000 results");
    state.counters["results"] = host.filled();
}

void BM_MgcCycleFirstOrders(benchmark::State& state)
{
    Host& host = TheHost();
    for (auto _ : state) {
        state.PauseTiming();
        host.reopen();
        Run(host.mgc, QStringLiteral("DELETE FROM samp_dat WHERE samp_id LIKE '26%'"));
        Run(host.mgc, QStringLiteral("DELETE FROM samp_odr WHERE samp_id LIKE '26%'"));
        state.ResumeTiming();
        host.exchange->tick();
    }
    SqlResult items = host.mgc.run(QStringLiteral("SELECT COUNT(*) FROM samp_dat WHERE samp_id LIKE '26%'"));
    state.counters["items"] = items.next() ? items.value(0).toInt() : -1;
}

} // namespace

BENCHMARK(BM_MgcCycleSteady)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_MgcCycleFirstOrders)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);
