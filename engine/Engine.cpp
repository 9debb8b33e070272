#include "Engine.h"

#include "Metrics.h"
#include "comm/MetricsServer.h"
#include "core/Clock.h"
#include "core/Stamps.h"
#include "store/ControlBlocks.h"
#include "store/SpoolFiles.h"

#include <QCoreApplication>
#include <QHostInfo>

namespace Quorlix {

namespace {

// A connection of its own for every engine: tests run several in one process, as a site runs
// several processes on one database.
QString ConnectionName()
{
    static int engines = 0;
    return QStringLiteral("quorlix-%1").arg(++engines);
}

} // namespace

Engine::Engine(const Clock& clock, Timers& timers, const DriverRegistry& drivers, QObject* parent)
    : QObject(parent), m_clock(clock), m_timers(timers), m_drivers(drivers), m_database(ConnectionName()),
      m_log(clock, m_locale), m_analyzerPort(QStringLiteral("analyzer port"), m_log, timers),
      m_limsPort(QStringLiteral("LIMS port"), m_log, timers), m_dispatcher(m_link, clock, m_log),
      m_store(m_settings, m_database, m_log, clock, m_limsPort),
      m_dayShift(m_settings, m_database, m_log, clock, m_locale),
      m_supervisor(m_link, m_settings, clock, m_log, m_limsPort), m_tasks(timers),
      m_statusRow(m_database, m_log, clock, m_link, m_stats)
{
    m_log.countFramesIn(&m_stats);
    m_store.countInto(&m_stats);
    connect(&m_analyzerPort, &LinePort::received, &m_dispatcher, &Dispatcher::analyzerReceived);
    connect(&m_limsPort, &LinePort::received, &m_dispatcher, &Dispatcher::limsReceived);
    m_tasks.add(QStringLiteral("Housekeeping"), TimerInterval::Housekeeping, [this] { housekeepingTick(); });
}

Engine::~Engine()
{
    stop();
}

DriverServices Engine::services()
{
    return DriverServices{m_settings,     m_database, m_log,  m_clock, m_timers, m_store,
                          m_analyzerPort, m_limsPort, m_link, m_tasks, m_stats,  nullptr};
}

QString Engine::analyzerEntry() const
{
    return m_analyzerType ? (m_settings.hasLimsSide() ? m_analyzerType->entryWithLims : m_analyzerType->entry)
                          : QString();
}

QString Engine::limsEntry() const
{
    return m_limsSide ? m_limsSide->entry : QString();
}

void Engine::start()
{
    const DriverRegistry& drivers = m_drivers;
    if (m_started)
        return;
    m_started = true;
    m_stats.startedAt = m_clock.now();
    m_analyzerType = drivers.type(m_settings.AnalyzerType);
    m_limsSide = drivers.limsSide(m_settings.OutId, m_settings.OutType);
    m_supervisor.configure(!m_analyzerType || m_analyzerType->supervisedLink,
                           drivers.wakeUps(m_settings.OutId, m_settings.OutType));
    DriverServices built = services();
    const auto make = [&](const QString& entry, const QString& port) -> std::unique_ptr<LineHandler> {
        if (entry.isEmpty() || entry == SilentEntry || IsExternalEntry(entry))
            return nullptr;
        if (const DriverRegistry::HandlerFactory* factory = drivers.handler(entry))
            return (*factory)(built);
        m_log.monitor(QStringLiteral("%1 is not available in this version: input on the %2 is dropped")
                          .arg(entry, port));
        return nullptr;
    };
    // The analyzer side first: a LIMS-side handler may work with it.
    m_analyzerHandler = make(analyzerEntry(), QStringLiteral("analyzer port"));
    built.analyzerHandler = m_analyzerHandler.get();
    if (m_settings.hasLimsSide())
        m_limsHandler = make(limsEntry(), QStringLiteral("LIMS port"));
    m_dispatcher.route(analyzerEntry(), m_analyzerHandler.get(), limsEntry(), m_limsHandler.get());
    m_work = drivers.buildWork(built);

    // Records kept while the database failed, also from before a restart, are stored first (after
    // the drivers, which register the kinds of record they store).
    m_store.openSpool(SpoolFiles::folderBeside(m_settings.ComLogPath));
    m_store.replaySpool();
    // Without a database (tests of the engine alone) there is no row to keep.
    if (m_settings.Heartbeat && m_database.isOpen())
        m_statusRow.start(statusIdentity(), m_store.spool());
    m_tasks.start();
    serveMetrics();
    emit started();
}

void Engine::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_tasks.stop();
    m_metrics.reset();
    m_analyzerPort.close();
    m_limsPort.close();
    m_statusRow.stop();
    m_log.close();
    emit stopped();
}

void Engine::serveMetrics()
{
    if (m_settings.Metrics.isEmpty())
        return;
    QString error;
    const std::optional<MetricsAddress> address = ParseMetricsAddress(m_settings.Metrics, &error);
    if (address) {
        auto server = std::make_unique<MetricsServer>(m_timers, [this] { return metricsText(); });
        if (server->listen(*address, &error)) {
            m_metrics = std::move(server);
            return;
        }
        error = QStringLiteral("cannot listen on %1: %2").arg(m_settings.Metrics, error);
    }
    m_log.monitor(QStringLiteral("metrics not served: %1").arg(error));
}

QString Engine::metricsText() const
{
    const Spool* spool = m_store.spool();
    return MetricsText({m_stats, m_link, m_analyzerHandler != nullptr, m_limsHandler != nullptr,
                        spool ? spool->pendingCount() : 0, spool ? spool->quarantinedCount() : 0,
                        m_settings.AnalyzerId, m_settings.AnalyzerType, QStringLiteral(QUORLIX_VERSION)});
}

void Engine::housekeepingTick()
{
    if (m_supervisor.SuperviseLinks())
        emit linkStatusChanged();
    m_store.replaySpool();
    checkDayShift();
    m_dayShift.CheckLogRollover();
    // The heartbeat comes after the records, so that it never holds one up; a link change of this
    // tick is in it (the links change only here).
    m_statusRow.write();
}

StatusIdentity Engine::statusIdentity() const
{
    StatusIdentity identity;
    identity.analyzerId = m_settings.AnalyzerId;
    identity.analyzerType = m_settings.AnalyzerType;
    identity.hostName = QHostInfo::localHostName();
    identity.processId = QCoreApplication::applicationPid();
    identity.version = QStringLiteral(QUORLIX_VERSION);
    identity.hasAnalyzerLink =
        m_settings.AnalyzerComPort.has_value() && (!m_analyzerType || m_analyzerType->supervisedLink);
    identity.hasLimsLink = m_settings.hasLimsSide();
    return identity;
}

void Engine::checkDayShift()
{
    bool rearmed = false;
    m_dayShift.CheckDayShiftChange([this, &rearmed](const QString& analyzerId) {
        rearmed = true;
        const DbOutcome outcome = RearmAllControlBlocks(m_database, analyzerId);
        return outcome.ok() || !outcome.error.isEmpty() ? outcome.error : QStringLiteral("failed");
    });
    if (rearmed) {
        // Frames stored more than two days ago are no longer sent again by any analyzer.
        m_database.run(
            QStringLiteral("DELETE FROM quorlix_log WHERE log_key = 'frame_stored' AND time_stamp < ?"),
            {m_database.stamp(SqlStamp(m_clock.now().addDays(-2)))});
    }
}

} // namespace Quorlix
