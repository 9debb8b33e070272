#pragma once

#include "Timer.h"

#include <QSocketNotifier>

namespace Quorlix {

// A single-shot timer on a Linux timerfd, watched by the event loop. The kernel gives poll() a
// slack of 0.1 % of its time-out, so a QTimer of 750 ms fires about 0.75 ms late; a timerfd
// expires at its time. Protocol pauses come before every answer, some several times per answer.
class TimerFdTimer final : public Timer
{
public:
    // Null when the kernel refuses a timerfd: the caller takes a QTimer instead.
    static std::unique_ptr<Timer> create(std::function<void()> onTimeout);
    ~TimerFdTimer() override;

    void start(int intervalMs) override;
    void stop() override;
    bool isActive() const override { return m_active; }
    int interval() const override { return m_intervalMs; }

private:
    TimerFdTimer(int fd, std::function<void()> onTimeout);
    void arm(int intervalMs);
    void expired();

    const int m_fd;
    QSocketNotifier m_notifier;
    std::function<void()> m_onTimeout;
    int m_intervalMs = 0;
    bool m_active = false;
};

} // namespace Quorlix
