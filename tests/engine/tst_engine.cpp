#include "engine/Drivers.h"
#include "engine/Engine.h"
#include "support/ManualTime.h"
#include "support/TestDatabase.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

namespace {

struct Rig
{
    explicit Rig(const DriverRegistry& drivers = AllDrivers()) : engine(time, time, drivers)
    {
        engine.settings().ComLogPath = dir.path() + '/';
    }

    QTemporaryDir dir;
    Test::ManualTime time{QDateTime(QDate(2026, 12, 7), QTime(10, 0))};
    Engine engine;
};

// Work that counts its ticks, wanted only for one analyzer type.
class Counting final : public BackgroundWork
{
public:
    Counting(const DriverServices& services, int intervalMs, int& ticks)
    {
        services.tasks.add("count", intervalMs, [&ticks] { ++ticks; });
    }
};

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private slots:
    void periodicWorkRunsByItsInterval_data();
    void periodicWorkRunsByItsInterval();
    void timer1SupervisesTheLinks();
    void stopSequence();
    void statusRowFollowsTheInstance_data();
    void statusRowFollowsTheInstance();
};

void TestEngine::periodicWorkRunsByItsInterval_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("ticks");
    QTest::newRow("wanted: every 5 s") << "MGC" << 4;
    QTest::newRow("not wanted: not built") << "H911" << 0;
}

void TestEngine::periodicWorkRunsByItsInterval()
{
    QFETCH(QString, type);
    int ticks = 0;
    DriverRegistry registry;
    registry.addWork(
        "mgc", [](const Settings& s) { return s.AnalyzerType == "MGC"; },
        [&ticks](const DriverServices& services) {
            return std::make_unique<Counting>(services, TimerInterval::MgcCycle, ticks);
        });
    Rig rig(registry);
    rig.engine.settings().AnalyzerType = type;
    rig.engine.start();
    rig.time.advanceSeconds(21);
    QTEST(ticks, "ticks");
    rig.engine.stop();
    rig.time.advanceSeconds(21);
    QTEST(ticks, "ticks");
}

void TestEngine::timer1SupervisesTheLinks()
{
    // Every 3 s: the analyzer that never spoke is reported offline once.
    Rig rig;
    rig.engine.settings().AnalyzerType = "H911";
    int changes = 0;
    connect(&rig.engine, &Engine::linkStatusChanged, this, [&] { ++changes; });
    rig.engine.start();
    rig.time.advanceSeconds(2);
    QCOMPARE(changes, 0);
    rig.time.advanceSeconds(10);
    QCOMPARE(changes, 1);
    QCOMPARE(rig.engine.log().recentLines().filter("ANALYZER OFFLINE!").size(), 1);
    rig.engine.dispatcher().analyzerReceived("x");
    rig.time.advanceSeconds(3);
    QCOMPARE(changes, 2);
    QVERIFY(rig.engine.link().analyzerOnline);
}

void TestEngine::stopSequence()
{
    Rig rig;
    rig.engine.start();
    int stopped = 0;
    connect(&rig.engine, &Engine::stopped, this, [&] { ++stopped; });
    rig.engine.stop();
    rig.engine.stop();
    QCOMPARE(stopped, 1);
    QVERIFY(!rig.engine.tasks().isRunning());
    QCOMPARE(rig.time.activeTimers(), 0);
    QVERIFY(!rig.engine.log().isOpen());
}

void TestEngine::statusRowFollowsTheInstance_data()
{
    QTest::addColumn<bool>("heartbeat");
    QTest::newRow("heartbeat") << true;
    QTest::newRow("heartbeat=0: no row") << false;
}

void TestEngine::statusRowFollowsTheInstance()
{
    QFETCH(bool, heartbeat);
    TestDatabase tdb("sqlite");
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    Rig rig;
    Settings& s = rig.engine.settings();
    s.AnalyzerId = "H911-1";
    s.AnalyzerType = "H911";
    s.AnalyzerComPort = 1;
    s.Heartbeat = heartbeat;
    QCOMPARE(rig.engine.database().open(tdb.target()), QString());
    const auto row = [&] {
        return tdb.rows("SELECT analyzer_link, last_heartbeat, stopped_at FROM analyzer_status");
    };
    const auto expect = [heartbeat](const char* text) { return heartbeat ? QString(text) : QString(); };

    rig.engine.start();
    QCOMPARE(row(), expect("online|2026-12-07 10:00:00|NULL"));
    // The analyzer that never spoke is offline from the first tick: that tick's row says so.
    rig.time.advanceSeconds(3);
    QCOMPARE(row(), expect("offline|2026-12-07 10:00:03|NULL"));
    rig.engine.dispatcher().analyzerReceived("x");
    rig.time.advanceSeconds(3);
    QCOMPARE(row(), expect("online|2026-12-07 10:00:06|NULL"));
    rig.time.advanceSeconds(1);
    rig.engine.stop();
    QCOMPARE(row(), expect("online|2026-12-07 10:00:07|2026-12-07 10:00:07"));
    QCOMPARE(rig.engine.stats().lastHeartbeat.isValid(), heartbeat);
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
