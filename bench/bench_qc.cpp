// Benchmark of the quality control: one control result judged (targets from its first 20 results,
// its previous 9, the other level of its run; the rule events and a hold written) with 10,000
// control results of that control and parameter stored, 100,000 in all (two levels, five
// parameters, one result every ten minutes). Each judgement runs in a transaction that is rolled
// back. SQLite file database; PostgreSQL too when QUORLIX_TEST_PG names a server.

#include "BenchHost.h"
#include "core/Stamps.h"
#include "store/Transaction.h"
#include "store/qc/QcEvaluation.h"
#include "support/DriverRig.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>

#include <map>
#include <memory>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int ResultsPerSeries = 10000;
constexpr int Parameters = 5;
const QDateTime FirstResult(QDate(2026, 10, 1), QTime(0, 0));

void Run(Database& db, const QString& sql, const QVariantList& values = {})
{
    if (SqlResult r = db.run(sql, values); !r.ok())
        qFatal("%s: %s", qPrintable(sql), qPrintable(r.error()));
}

struct Host
{
    explicit Host(const QString& backend) : rig(backend)
    {
        if (!rig.tdb.ok())
            qFatal("%s", qPrintable(rig.tdb.error()));
        Database& db = rig.tdb.db();
        db.transaction();
        for (int i = 0; i < ResultsPerSeries; ++i) {
            const QVariant stamp = db.stamp(SqlStamp(FirstResult.addSecs(600LL * i)));
            for (int p = 1; p <= Parameters; ++p)
                for (const auto& [control, mean] : {std::pair("QC1", 100.0), std::pair("QC2", 250.0)})
                    Run(db,
                        QStringLiteral("INSERT INTO control_results (control_id, parameter_id, time_stamp, "
                                       "result, analyzer_id) VALUES (?, ?, ?, ?, 'H911')"),
                        {QString::fromLatin1(control), p, stamp, mean + ((i * 7 + p) % 9 - 4) * 0.5});
        }
        db.commit();
        Run(db, rig.tdb.backend() == QLatin1String("sqlite") ? QStringLiteral("ANALYZE")
                                                             : QStringLiteral("ANALYZE control_results"));
    }

    Test::DriverRig rig;
};

Host& TheHost(const QString& backend)
{
    static std::map<QString, std::unique_ptr<Host>> hosts;
    std::unique_ptr<Host>& host = hosts[backend];
    if (!host)
        host = std::make_unique<Host>(backend);
    return *host;
}

void BM_QcJudgeOneControl(benchmark::State& state, const QString& backend)
{
    Host& host = TheHost(backend);
    Database& db = host.rig.tdb.db();
    // The next QC1 result of parameter 3, 1-3s off its mean.
    const StoredControl control{QStringLiteral("QC1"), 3, QStringLiteral("H911"),
                                FirstResult.addSecs(600LL * ResultsPerSeries), 104.5};
    QStringList notes;
    std::vector<double> micros;
    for (auto _ : state) {
        notes.clear();
        Transaction transaction(db);
        QElapsedTimer timer;
        timer.start();
        if (!transaction.begin().ok() ||
            !JudgeControlResult(transaction, control, {true, true}, notes).ok()) {
            state.SkipWithError("the control was not judged");
            break;
        }
        micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
        state.PauseTiming();
        transaction.rollback();
        state.ResumeTiming();
    }
    if (notes.filter(QStringLiteral("rejection")).isEmpty())
        state.SkipWithError("no rejection was found");
    state.counters["notes"] = static_cast<double>(notes.size());
    Bench::ReportLatencies(state, micros);
}

} // namespace

[[maybe_unused]] static const bool Registered =
    Bench::RegisterOnEachDatabase("BM_QcJudgeOneControl", BM_QcJudgeOneControl, 2000, 500);
