#pragma once

#include <functional>
#include <memory>

namespace Quorlix {

// One timer of the program: the pauses a protocol prescribes, its time-outs and the periodic work.
// Its callback runs on the event loop, like every other event.
class Timer
{
public:
    virtual ~Timer() = default;
    // (Re)starts the timer; it fires after intervalMs, once or every intervalMs.
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual int interval() const = 0;
};

// Where timers come from: the event loop's in the program, a manual clock's in tests, so that a
// test moves time on instead of sleeping.
class Timers
{
public:
    virtual ~Timers() = default;
    virtual std::unique_ptr<Timer> create(bool singleShot, std::function<void()> onTimeout) = 0;
};

// Timers of the Qt event loop.
class EventLoopTimers final : public Timers
{
public:
    std::unique_ptr<Timer> create(bool singleShot, std::function<void()> onTimeout) override;
};

} // namespace Quorlix
