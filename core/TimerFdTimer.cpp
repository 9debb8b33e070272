#include "TimerFdTimer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>

namespace Quorlix {

std::unique_ptr<Timer> TimerFdTimer::create(std::function<void()> onTimeout)
{
    const int fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    return std::unique_ptr<Timer>(new TimerFdTimer(fd, std::move(onTimeout)));
}

TimerFdTimer::TimerFdTimer(int fd, std::function<void()> onTimeout)
    : m_fd(fd), m_notifier(fd, QSocketNotifier::Read), m_onTimeout(std::move(onTimeout))
{
    QObject::connect(&m_notifier, &QSocketNotifier::activated, &m_notifier, [this] { expired(); });
}

TimerFdTimer::~TimerFdTimer()
{
    m_notifier.setEnabled(false);
    ::close(m_fd);
}

void TimerFdTimer::arm(int intervalMs)
{
    itimerspec when{};
    // An all-zero time disarms a timerfd: a time-out of 0 ms expires after one nanosecond.
    const std::int64_t ns = intervalMs > 0 ? std::int64_t(intervalMs) * 1000000 : 1;
    when.it_value.tv_sec = time_t(ns / 1000000000);
    when.it_value.tv_nsec = long(ns % 1000000000);
    ::timerfd_settime(m_fd, 0, &when, nullptr);
}

void TimerFdTimer::start(int intervalMs)
{
    m_intervalMs = qMax(0, intervalMs);
    m_active = true;
    arm(m_intervalMs);
}

void TimerFdTimer::stop()
{
    m_active = false;
    const itimerspec never{};
    ::timerfd_settime(m_fd, 0, &never, nullptr);
}

void TimerFdTimer::expired()
{
    std::uint64_t expirations = 0;
    // Re-arming or stopping clears a pending expiry, so a stale wake-up reads nothing.
    if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations || !m_active)
        return;
    m_active = false;
    // The callback may delete this timer, and its function with it: call a copy.
    const std::function<void()> onTimeout = m_onTimeout;
    onTimeout();
}

} // namespace Quorlix
