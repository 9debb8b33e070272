#pragma once

#include "Drivers.h"
#include "comm/Dispatch.h"
#include "comm/LinePort.h"
#include "comm/LinkState.h"
#include "comm/LinkSupervisor.h"
#include "comm/PeriodicTasks.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/DayShift.h"
#include "core/InstanceStats.h"
#include "core/Settings.h"
#include "drivers/DriverRegistry.h"
#include "store/Store.h"
#include "store/status/StatusRow.h"

#include <QLocale>
#include <QObject>

#include <memory>
#include <vector>

namespace Quorlix {

// The running interface of one analyzer: settings, database, log, the two lines, the store, the
// dispatch of received text to the configured drivers, and the periodic work. Windows observe it;
// it never knows about them.
class MetricsServer;

class Engine : public QObject
{
    Q_OBJECT

public:
    // The drivers: every family this program ships, unless a test brings its own.
    Engine(const Clock& clock, Timers& timers, const DriverRegistry& drivers = AllDrivers(),
           QObject* parent = nullptr);
    ~Engine() override;

    Settings& settings() { return m_settings; }
    const QLocale& locale() const { return m_locale; }
    void setLocale(const QLocale& locale) { m_locale = locale; }
    const Clock& clock() const { return m_clock; }
    Timers& timers() { return m_timers; }
    Database& database() { return m_database; }
    CommLog& log() { return m_log; }
    LinePort& analyzerPort() { return m_analyzerPort; }
    LinePort& limsPort() { return m_limsPort; }
    LinkState& link() { return m_link; }
    Dispatcher& dispatcher() { return m_dispatcher; }
    Store& store() { return m_store; }
    DayShift& dayShift() { return m_dayShift; }
    PeriodicTasks& tasks() { return m_tasks; }
    InstanceStats& stats() { return m_stats; }
    StatusRow& statusRow() { return m_statusRow; }

    const DriverRegistry& drivers() const { return m_drivers; }
    // Builds the handlers and the work the configuration selects from the registry, replays the
    // spool and starts the periodic work. An entry that no registered driver serves gets one
    // Monitor line; its input is read and dropped.
    void start();
    // The stop sequence: periodic work stopped, ports closed, the status row marked stopped, log
    // closed; then stopped() is emitted.
    void stop();

    LineHandler* analyzerHandler() const { return m_analyzerHandler.get(); }
    LineHandler* limsHandler() const { return m_limsHandler.get(); }
    // The analyzer type and the LIMS side the settings select (null: none), known once started.
    const AnalyzerType* analyzerType() const { return m_analyzerType; }
    QString analyzerEntry() const;
    QString limsEntry() const;

    // The metrics text of this instance, as /metrics serves it.
    QString metricsText() const;
    // The server of /metrics, while it serves (the `metrics` setting).
    MetricsServer* metricsServer() const { return m_metrics.get(); }

    // Day and shift bookkeeping (start-up and every housekeeping tick).
    void checkDayShift();
    // One housekeeping tick (every 3 s), ending with the status row's heartbeat.
    void housekeepingTick();

signals:
    void linkStatusChanged();
    // The handlers are built and the periodic work runs.
    void started();
    void stopped();

private:
    DriverServices services();
    StatusIdentity statusIdentity() const;
    // Serves /metrics when the settings ask for it; a failure is one Monitor line and no metrics.
    void serveMetrics();

    const Clock& m_clock;
    Timers& m_timers;
    InstanceStats m_stats; // before the log, which counts into it
    const DriverRegistry& m_drivers;
    Settings m_settings;
    QLocale m_locale;
    Database m_database;
    CommLog m_log;
    LinePort m_analyzerPort;
    LinePort m_limsPort;
    LinkState m_link;
    Dispatcher m_dispatcher;
    Store m_store;
    DayShift m_dayShift;
    LinkSupervisor m_supervisor;
    PeriodicTasks m_tasks;
    StatusRow m_statusRow;
    std::unique_ptr<LineHandler> m_analyzerHandler;
    std::unique_ptr<LineHandler> m_limsHandler;
    std::vector<std::unique_ptr<BackgroundWork>> m_work;
    std::unique_ptr<MetricsServer> m_metrics;
    const AnalyzerType* m_analyzerType = nullptr;
    const LimsSideType* m_limsSide = nullptr;
    bool m_started = false;
    bool m_stopped = false;
};

} // namespace Quorlix
