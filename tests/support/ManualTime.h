#pragma once

#include "core/Clock.h"
#include "core/Timer.h"

#include <QDateTime>

#include <functional>
#include <vector>

namespace Quorlix::Test {

// A clock that stands still and the timers that go with it: advance() moves time on and fires, in
// time order, every timer that falls due on the way. Drivers, pauses and time-outs run without
// sleeping.
class ManualTime final : public Clock, public Timers
{
public:
    explicit ManualTime(QDateTime start);
    ~ManualTime() override;

    QDateTime now() const override { return m_start.addMSecs(m_elapsedMs); }
    std::unique_ptr<Timer> create(bool singleShot, std::function<void()> onTimeout) override;

    void advance(qint64 milliseconds);
    void advanceSeconds(qint64 seconds) { advance(seconds * 1000); }
    // Fires the timers that are due now (zero-length pauses).
    void settle() { advance(0); }
    void set(const QDateTime& now);
    // Timers running now.
    int activeTimers() const;

    // Runs after each timer's callback, as the event loop would regain control.
    std::function<void()> afterTimeout;

private:
    class ManualTimer;
    friend class ManualTimer;

    QDateTime m_start;
    qint64 m_elapsedMs = 0;
    quint64 m_sequence = 0;
    std::vector<ManualTimer*> m_timers;
};

} // namespace Quorlix::Test
