#pragma once

#include "core/Timer.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace Quorlix {

// The intervals of the periodic work, by the timer that has always done it.
namespace TimerInterval {
constexpr int Housekeeping = 3000;   // link supervision, spool, day and shift, log file (Timer1)
constexpr int MgcCycle = 5000;       // MGC240 database exchange (Timer2)
constexpr int LimsForwarding = 5000; // finished samples to the LIMS (Timer3)
constexpr int MgcOnlineCycle = 2000; // MGC online tables (Timer4)
} // namespace TimerInterval

// The periodic work of the program (the ticks once called Timer1 to Timer4): link supervision, day and shift
// bookkeeping, spool replay, and whatever the configured drivers register — each with its
// interval. Tasks of the same interval share one timer and run in the order they were added, so
// that a tick does its steps in a fixed order.
class PeriodicTasks
{
public:
    explicit PeriodicTasks(Timers& timers) : m_timers(timers) {}

    void add(const QString& name, int intervalMs, std::function<void()> work);
    // Starts a timer per interval; stop() stops them all.
    void start();
    void stop();
    bool isRunning() const { return m_running; }

    // Runs one tick of every task of an interval now (tests, and the start-up's first checks).
    void runTick(int intervalMs);
    // Runs the named task now.
    bool run(const QString& name);
    QStringList names() const;
    // The interval of a task, 0 when there is none of that name.
    int intervalOf(const QString& name) const;

private:
    struct Task
    {
        QString name;
        int intervalMs = 0;
        std::function<void()> work;
    };

    Timers& m_timers;
    std::vector<Task> m_tasks;
    std::map<int, std::unique_ptr<Timer>> m_tickers;
    bool m_running = false;
};

} // namespace Quorlix
