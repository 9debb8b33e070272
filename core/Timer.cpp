#include "Timer.h"

#include <QTimer>

#ifdef Q_OS_LINUX
#include "TimerFdTimer.h"
#endif

namespace Quorlix {

namespace {

class EventLoopTimer final : public Timer
{
public:
    EventLoopTimer(bool singleShot, std::function<void()> onTimeout)
    {
        m_timer.setSingleShot(singleShot);
        // A coarse timer may fire 5 % early: a pause the protocol prescribes would be cut short.
        m_timer.setTimerType(Qt::PreciseTimer);
        // The timer may be deleted by its own callback (a driver resetting itself): QTimer allows it.
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(onTimeout));
    }
    void start(int intervalMs) override { m_timer.start(intervalMs); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }
    int interval() const override { return m_timer.interval(); }

private:
    QTimer m_timer;
};

} // namespace

std::unique_ptr<Timer> EventLoopTimers::create(bool singleShot, std::function<void()> onTimeout)
{
#ifdef Q_OS_LINUX
    // Pauses and time-outs: to the millisecond.
    if (singleShot)
        if (std::unique_ptr<Timer> timer = TimerFdTimer::create(onTimeout))
            return timer;
#endif
    return std::make_unique<EventLoopTimer>(singleShot, std::move(onTimeout));
}

} // namespace Quorlix
