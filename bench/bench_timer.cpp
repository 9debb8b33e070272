// How late a protocol pause ends: the program's single-shot timer against a plain precise QTimer,
// for the pauses the drivers wait before writing (100 ms Hitachi, 500 ms Indiko, 750 ms AU).
#include "BenchHost.h"

#include "core/Timer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

using namespace Quorlix;
using Quorlix::Bench::ReportLatencies;

namespace {

// Waits out one pause of the given timer's kind; returns how late it fired, in microseconds.
template <typename StartPause> double Lateness(int pauseMs, StartPause startPause)
{
    QEventLoop loop;
    QElapsedTimer clock;
    qint64 firedNs = 0;
    auto fired = [&] {
        firedNs = clock.nsecsElapsed();
        loop.quit();
    };
    clock.start();
    auto keep = startPause(pauseMs, fired);
    loop.exec();
    return double(firedNs - qint64(pauseMs) * 1000000) / 1000.0;
}

void BM_PauseLateness(benchmark::State& state)
{
    const int pauseMs = int(state.range(0));
    const bool plainQTimer = state.range(1) == 1;
    EventLoopTimers timers;
    std::vector<double> late;
    for (auto _ : state) {
        const double micros = Lateness(pauseMs, [&](int ms, auto fired) -> std::shared_ptr<void> {
            if (plainQTimer) {
                auto timer = std::make_shared<QTimer>();
                timer->setSingleShot(true);
                timer->setTimerType(Qt::PreciseTimer);
                QObject::connect(timer.get(), &QTimer::timeout, fired);
                timer->start(ms);
                return timer;
            }
            std::shared_ptr<Timer> timer = timers.create(true, fired);
            timer->start(ms);
            return timer;
        });
        state.SetIterationTime(micros / 1e6);
        late.push_back(micros);
    }
    ReportLatencies(state, late);
}

} // namespace

// Arguments: the pause in ms, and 0 for the program's timer, 1 for a plain QTimer.
BENCHMARK(BM_PauseLateness)
    ->ArgsProduct({{100, 500, 750}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(10);
