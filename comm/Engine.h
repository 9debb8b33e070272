#pragma once

#include "Dispatch.h"
#include "LinePort.h"
#include "../core/CommLog.h"
#include "../core/Context.h"
#include "../core/Database.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace Quorlix {

class Spool;

// The running interface of one analyzer: the shared context with its database, log and two ports,
// the dispatch of received text to the drivers, and the four timers. Windows observe it; it never
// knows about them.
class Engine : public QObject
{
    Q_OBJECT

public:
    explicit Engine(const Clock& clock, QObject* parent = nullptr);
    ~Engine() override;

    Context& context() { return m_context; }
    Database& database() { return m_database; }
    CommLog& log() { return m_log; }
    LinePort& analyzerPort() { return m_analyzerPort; }
    LinePort& limsPort() { return m_limsPort; }
    Dispatcher& dispatcher() { return m_dispatcher; }

    // Wires the drivers of the configured type into the dispatch and starts the timers.
    void start();
    // The stop sequence: timers stopped, ports closed, log closed; then stopped() is emitted.
    void stop();

    // The timer ticks, callable directly by tests.
    void timer1Tick();
    void timer2Tick();
    void timer3Tick();
    void timer4Tick();

    QTimer& timer(int n);
    // Day and shift bookkeeping (start-up and every Timer1 tick).
    void checkDayShift();

    // Operations of later subsystems, plugged in where they exist.
    std::function<void(const QString& sampleId)> sendPendingToLims;
    std::function<void()> mgcCycle;       // Timer2, type "MGC"
    std::function<void()> mgcOnlineCycle; // Timer4, type "MGC_ONLINE"

signals:
    void linkStatusChanged();
    void stopped();

private:
    void registerDrivers();

    Context m_context;
    Database m_database;
    CommLog m_log;
    LinePort m_analyzerPort;
    LinePort m_limsPort;
    Dispatcher m_dispatcher;
    std::unique_ptr<Spool> m_spool;
    QTimer m_timers[4];
    bool m_stopped = false;
};

} // namespace Quorlix
