#include "ManualTime.h"

#include <algorithm>

namespace Quorlix::Test {

class ManualTime::ManualTimer final : public Timer
{
public:
    ManualTimer(ManualTime& time, bool singleShot, std::function<void()> onTimeout)
        : m_time(time), m_singleShot(singleShot), m_onTimeout(std::move(onTimeout))
    {
        m_time.m_timers.push_back(this);
    }
    ~ManualTimer() override { std::erase(m_time.m_timers, this); }

    void start(int intervalMs) override
    {
        m_interval = std::max(0, intervalMs);
        m_dueAt = m_time.m_elapsedMs + m_interval;
        m_order = ++m_time.m_sequence;
        m_active = true;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }
    int interval() const override { return m_interval; }

    void fire()
    {
        if (m_singleShot) {
            m_active = false;
        } else {
            m_dueAt += std::max(1, m_interval);
            m_order = ++m_time.m_sequence;
        }
        // The callback may delete this timer: call a copy.
        const std::function<void()> callback = m_onTimeout;
        callback();
    }

    ManualTime& m_time;
    bool m_singleShot;
    std::function<void()> m_onTimeout;
    int m_interval = 0;
    qint64 m_dueAt = 0;
    quint64 m_order = 0;
    bool m_active = false;
};

ManualTime::ManualTime(QDateTime start) : m_start(std::move(start)) {}

ManualTime::~ManualTime()
{
    // Timers still owned by others outlive the clock only in a broken test; make them harmless.
    for (ManualTimer* timer : m_timers)
        timer->m_active = false;
}

std::unique_ptr<Timer> ManualTime::create(bool singleShot, std::function<void()> onTimeout)
{
    return std::make_unique<ManualTimer>(*this, singleShot, std::move(onTimeout));
}

void ManualTime::advance(qint64 milliseconds)
{
    const qint64 target = m_elapsedMs + std::max<qint64>(0, milliseconds);
    for (;;) {
        ManualTimer* next = nullptr;
        for (ManualTimer* timer : m_timers) {
            if (!timer->m_active || timer->m_dueAt > target)
                continue;
            if (!next || timer->m_dueAt < next->m_dueAt ||
                (timer->m_dueAt == next->m_dueAt && timer->m_order < next->m_order))
                next = timer;
        }
        if (!next)
            break;
        m_elapsedMs = std::max(m_elapsedMs, next->m_dueAt);
        next->fire();
        if (afterTimeout)
            afterTimeout();
    }
    m_elapsedMs = target;
}

void ManualTime::set(const QDateTime& now)
{
    m_start = now.addMSecs(-m_elapsedMs);
}

int ManualTime::activeTimers() const
{
    return static_cast<int>(
        std::count_if(m_timers.begin(), m_timers.end(), [](const ManualTimer* t) { return t->m_active; }));
}

} // namespace Quorlix::Test
