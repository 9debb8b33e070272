#include "core/Timer.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Quorlix;

// The event loop's timers: a protocol pause must never end early, and a driver may restart, stop
// or delete a timer from anywhere, its own callback included.
class TestTimer : public QObject
{
    Q_OBJECT

private slots:
    void singleShot_data();
    void singleShot();
    void deletedByItsOwnCallback();
    void repeating();

private:
    EventLoopTimers m_timers;
};

void TestTimer::singleShot_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("restartAfterMs"); // -1: not restarted
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<int>("firstFiringMs"); // -1: never fires
    QTest::newRow("fires once after its interval") << 40 << -1 << false << 40;
    QTest::newRow("zero fires on the next turn of the loop") << 0 << -1 << false << 0;
    QTest::newRow("a restart counts from the restart") << 40 << 20 << false << 60;
    QTest::newRow("stopped, it never fires") << 20 << -1 << true << -1;
}

void TestTimer::singleShot()
{
    QFETCH(int, intervalMs);
    QFETCH(int, restartAfterMs);
    QFETCH(bool, stopped);
    QFETCH(int, firstFiringMs);
    QList<qint64> firings;
    QElapsedTimer clock;
    auto timer = m_timers.create(true, [&] { firings << clock.elapsed(); });
    clock.start();
    timer->start(intervalMs);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), intervalMs);
    if (stopped)
        timer->stop();
    if (restartAfterMs >= 0) {
        QTest::qWait(restartAfterMs);
        QVERIFY(firings.isEmpty());
        timer->start(intervalMs);
    }
    QTest::qWait(firstFiringMs + 150);
    QCOMPARE(timer->isActive(), false);
    if (firstFiringMs < 0) {
        QVERIFY(firings.isEmpty());
        return;
    }
    QCOMPARE(firings.size(), 1);
    QVERIFY2(firings.first() >= firstFiringMs, qPrintable(QString::number(firings.first())));
}

void TestTimer::deletedByItsOwnCallback()
{
    int fired = 0;
    std::unique_ptr<Timer> timer;
    // The callback's captures must outlive the deletion it performs.
    timer = m_timers.create(true, [&fired, &timer, keep = QString("a capture")] {
        timer.reset();
        fired += keep.size() > 0 ? 1 : 0;
    });
    timer->start(5);
    QTRY_COMPARE(fired, 1);
    QVERIFY(!timer);
}

void TestTimer::repeating()
{
    int fired = 0;
    auto timer = m_timers.create(false, [&] { ++fired; });
    timer->start(10);
    QTRY_VERIFY(fired >= 3);
    QVERIFY(timer->isActive());
}

QTEST_GUILESS_MAIN(TestTimer)
#include "tst_timer.moc"
