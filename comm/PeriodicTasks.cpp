#include "PeriodicTasks.h"

namespace Quorlix {

void PeriodicTasks::add(const QString& name, int intervalMs, std::function<void()> work)
{
    m_tasks.push_back({name, intervalMs, std::move(work)});
    if (m_running && !m_tickers.contains(intervalMs)) {
        auto ticker = m_timers.create(false, [this, intervalMs] { runTick(intervalMs); });
        ticker->start(intervalMs);
        m_tickers.emplace(intervalMs, std::move(ticker));
    }
}

void PeriodicTasks::start()
{
    m_running = true;
    for (const Task& task : m_tasks) {
        const int interval = task.intervalMs;
        auto found = m_tickers.find(interval);
        if (found == m_tickers.end())
            found =
                m_tickers.emplace(interval, m_timers.create(false, [this, interval] { runTick(interval); }))
                    .first;
        if (!found->second->isActive())
            found->second->start(interval);
    }
}

void PeriodicTasks::stop()
{
    // The timers are stopped, not deleted: stop() may be called from within a tick.
    m_running = false;
    for (auto& [interval, ticker] : m_tickers)
        ticker->stop();
}

void PeriodicTasks::runTick(int intervalMs)
{
    // A task may add tasks: walk by index, over the tasks there were when the tick began.
    const size_t count = m_tasks.size();
    for (size_t i = 0; i < count; ++i) {
        if (m_tasks[i].intervalMs == intervalMs) {
            const std::function<void()> work = m_tasks[i].work;
            work();
        }
    }
}

bool PeriodicTasks::run(const QString& name)
{
    for (const Task& task : m_tasks) {
        if (task.name == name) {
            const std::function<void()> work = task.work;
            work();
            return true;
        }
    }
    return false;
}

QStringList PeriodicTasks::names() const
{
    QStringList names;
    for (const Task& task : m_tasks)
        names << task.name;
    return names;
}

int PeriodicTasks::intervalOf(const QString& name) const
{
    for (const Task& task : m_tasks) {
        if (task.name == name)
            return task.intervalMs;
    }
    return 0;
}

} // namespace Quorlix
