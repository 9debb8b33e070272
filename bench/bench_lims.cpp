// Benchmark of the LIMS forwarding tick (a 902 behind a LIMS that plays the Hitachi host): one
// tick picks the first finished sample of a backlog and sends its results frame, as after hours
// without the LIMS. The backlog: 10,000 validated samples of four tests queued in req2send, with
// 40,000 results and 100,000 open requests of other samples. Each iteration's frame is answered,
// so the next tick takes the next sample. SQLite file database; PostgreSQL too when
// QUORLIX_TEST_PG names a server.

#include "BenchHost.h"
#include "comm/PeriodicTasks.h"
#include "drivers/DriverRegistry.h"
#include "lims/PendingToLims.h"
#include "support/DriverRig.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>

#include <map>
#include <memory>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int QueuedSamples = 10000;
constexpr int OpenSamples = 25000;
constexpr int TestsPerSample = 4;

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
        rig.settings.OutType = QStringLiteral("invH912");
        rig.settings.OutComPort = 2;
        rig.settings.OutId = QStringLiteral("LIMS1");
        rig.limsLine.setOpen(true);
        Database& db = rig.tdb.db();
        db.transaction();
        for (int p = 1; p <= TestsPerSample; ++p)
            Run(db,
                QStringLiteral("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) "
                               "VALUES (?, 'LIMS1', ?)"),
                {p, p});
        for (int i = 0; i < QueuedSamples; ++i) {
            const QString id = QStringLiteral("Q%1").arg(i, 6, 10, QLatin1Char('0'));
            for (int p = 1; p <= TestsPerSample; ++p) {
                Run(db, QStringLiteral("INSERT INTO req2send (sample_id, parameter_id) VALUES (?, ?)"),
                    {id, p});
                Run(db,
                    QStringLiteral("INSERT INTO results (sample_id, parameter_id, result, suspicious) "
                                   "VALUES (?, ?, 5.5, 0)"),
                    {id, p});
            }
        }
        for (int i = 0; i < OpenSamples; ++i)
            for (int p = 1; p <= TestsPerSample; ++p)
                Run(db, QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES (?, ?)"),
                    {QStringLiteral("O%1").arg(i, 6, 10, QLatin1Char('0')), p});
        db.commit();
        Run(db, QStringLiteral("ANALYZE"));
        RegisterLimsForwarding(registry);
        work = registry.buildWork(rig.services());
    }

    Test::DriverRig rig;
    DriverRegistry registry;
    std::vector<std::unique_ptr<BackgroundWork>> work;
};

Host& TheHost(const QString& backend)
{
    static std::map<QString, std::unique_ptr<Host>> hosts;
    std::unique_ptr<Host>& host = hosts[backend];
    if (!host)
        host = std::make_unique<Host>(backend);
    return *host;
}

void BM_LimsForwardingTick(benchmark::State& state, const QString& backend)
{
    Host& host = TheHost(backend);
    std::vector<double> micros;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        host.rig.tasks.runTick(TimerInterval::LimsForwarding);
        micros.push_back(static_cast<double>(timer.nsecsElapsed()) / 1000.0);
        state.PauseTiming();
        if (host.rig.limsLine.takeFrames().size() != 1) {
            state.SkipWithError("the tick sent no results frame");
            break;
        }
        host.rig.limsLine.feed(QStringLiteral("\x02>\x03")); // the LIMS takes it
        state.ResumeTiming();
    }
    Bench::ReportLatencies(state, micros);
}

} // namespace

[[maybe_unused]] static const bool Registered =
    Bench::RegisterOnEachDatabase("BM_LimsForwardingTick", BM_LimsForwardingTick, 200, 200);
