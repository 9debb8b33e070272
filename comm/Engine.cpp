#include "Engine.h"

#include "LinkSupervisor.h"
#include "../drivers/hitachi/HitachiDrivers.h"
#include "../core/DayShift.h"
#include "../store/ControlBlocks.h"
#include "../store/Spool.h"

namespace Quorlix {

Engine::Engine(const Clock& clock, QObject* parent)
    : QObject(parent),
      m_log(clock, m_context.locale),
      m_analyzerPort(QStringLiteral("analyzer port"), m_log),
      m_limsPort(QStringLiteral("LIMS port"), m_log),
      m_dispatcher(m_context)
{
    m_context.clock = &clock;
    m_context.db = &m_database;
    m_context.log = &m_log;
    m_context.analyzerPort = &m_analyzerPort;
    m_context.limsPort = &m_limsPort;

    connect(&m_analyzerPort, &LinePort::received, &m_dispatcher, &Dispatcher::analyzerReceived);
    connect(&m_limsPort, &LinePort::received, &m_dispatcher, &Dispatcher::limsReceived);

    const int intervals[4] = {3000, 5000, 5000, 2000};
    for (int i = 0; i < 4; ++i)
        m_timers[i].setInterval(intervals[i]);
    connect(&m_timers[0], &QTimer::timeout, this, &Engine::timer1Tick);
    connect(&m_timers[1], &QTimer::timeout, this, &Engine::timer2Tick);
    connect(&m_timers[2], &QTimer::timeout, this, &Engine::timer3Tick);
    connect(&m_timers[3], &QTimer::timeout, this, &Engine::timer4Tick);
}

Engine::~Engine()
{
    stop();
    m_context.spool = nullptr;
}

QTimer& Engine::timer(int n)
{
    return m_timers[n - 1];
}

void Engine::registerDrivers()
{
    RegisterHitachiDrivers(m_context, m_dispatcher, this);
}

void Engine::start()
{
    registerDrivers();
    // Records kept while the database failed, also from before a restart, are stored first.
    m_spool = std::make_unique<Spool>(m_context, m_context.settings.ComLogPath + QLatin1String("spool/"));
    m_context.spool = m_spool.get();
    m_spool->replay();
    const Settings& s = m_context.settings;
    m_timers[0].start();
    if (s.Timer2Enabled)
        m_timers[1].start();
    m_timers[2].start();
    if (s.Timer4Enabled)
        m_timers[3].start();
}

void Engine::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    for (QTimer& t : m_timers)
        t.stop();
    m_analyzerPort.close();
    m_limsPort.close();
    m_log.close();
    emit stopped();
}

void Engine::timer1Tick()
{
    if (SuperviseLinks(m_context))
        emit linkStatusChanged();
    if (m_spool)
        m_spool->replay();
    checkDayShift();
    CheckLogRollover(m_context);
}

void Engine::checkDayShift()
{
    CheckDayShiftChange(m_context, [this](const QString& analyzerId) {
        const DbOutcome outcome = RearmAllControlBlocks(m_database, analyzerId);
        if (!outcome.ok())
            m_log.monitor(QStringLiteral("the control blocks of %1 could not be re-armed: %2").arg(analyzerId, outcome.error));
        // Frames stored more than two days ago are no longer sent again by any analyzer.
        m_database.run(QStringLiteral("DELETE FROM quorlix_log WHERE log_key = 'frame_stored' AND time_stamp < ?"),
                       {m_database.stamp(ToSqlStamp(NowStamp(m_context.now().addDays(-2), m_context.locale), m_context.locale))});
    });
}

void Engine::timer2Tick()
{
    if (m_context.settings.AnalyzerType == QLatin1String("MGC") && mgcCycle)
        mgcCycle();
}

void Engine::timer3Tick()
{
    const Settings& s = m_context.settings;
    if (!s.hasLimsSide())
        return;
    m_database.run(QStringLiteral("DELETE FROM req2send WHERE sample_id NOT IN (SELECT sample_id FROM results) "
                                  "AND sample_id NOT IN (SELECT sample_id FROM request)"));
    // Samples whose requested parameters are all finished: none of their pairs is still ordered.
    SqlResult next = m_database.run(QStringLiteral(
        "SELECT DISTINCT sample_id FROM req2send rs WHERE NOT EXISTS (SELECT 1 FROM request r "
        "WHERE r.sample_id = rs.sample_id AND r.parameter_id = rs.parameter_id) "
        "AND rs.parameter_id IS NOT NULL AND sample_id <> '' AND sample_id IS NOT NULL ORDER BY sample_id"));
    if (!next.next())
        return;
    const QString sampleId = next.value(0).toString();
    if ((s.OutType == QLatin1String("invH902") || s.OutType == QLatin1String("invH912")
         || s.OutType == QLatin1String("invH911"))
        && sendPendingToLims)
        sendPendingToLims(sampleId);
}

void Engine::timer4Tick()
{
    if (m_context.settings.AnalyzerType == QLatin1String("MGC_ONLINE") && mgcOnlineCycle)
        mgcOnlineCycle();
}

} // namespace Quorlix
