#include "app/Drivers.h"
#include "app/Engine.h"
#include "support/ManualTime.h"
#include "support/TestDatabase.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

namespace {

struct Rig
{
    Rig() : engine(time, time) { engine.settings().ComLogPath = dir.path() + '/'; }

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
    void buildsOnlyWhatTheConfigurationSelects();
    void periodicWorkRunsByItsInterval_data();
    void periodicWorkRunsByItsInterval();
    void timer1SupervisesTheLinks();
    void stopSequence();
};

void TestEngine::buildsOnlyWhatTheConfigurationSelects()
{
    Rig rig;
    Settings& s = rig.engine.settings();
    s.AnalyzerType = "H902";
    s.OutType = "invH912";
    s.OutComPort = 2;
    QStringList built;
    LineHandler* analyzerSeenByLims = nullptr;
    struct Nothing final : LineHandler
    {
        void receive(const QString&) override {}
    };
    DriverRegistry registry;
    for (const QString entry : {"Hit911Receive", "Hit902Receive", "Hit902ReceiveWithLims"})
        registry.addHandler({entry}, [&built, entry](const DriverServices&) {
            built << entry;
            return std::make_unique<Nothing>();
        });
    registry.addHandler({"InvH912Receive"}, [&](const DriverServices& services) {
        built << "InvH912Receive";
        analyzerSeenByLims = services.analyzerHandler;
        return std::make_unique<Nothing>();
    });
    rig.engine.start(registry);
    QCOMPARE(built, (QStringList{"Hit902ReceiveWithLims", "InvH912Receive"}));
    QVERIFY(analyzerSeenByLims);
    QCOMPARE(analyzerSeenByLims, rig.engine.analyzerHandler());
}

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
    Rig rig;
    rig.engine.settings().AnalyzerType = type;
    int ticks = 0;
    DriverRegistry registry;
    registry.addWork(
        "mgc", [](const Settings& s) { return s.AnalyzerType == "MGC"; },
        [&ticks](const DriverServices& services) {
            return std::make_unique<Counting>(services, TimerInterval::Timer2, ticks);
        });
    rig.engine.start(registry);
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
    rig.engine.start(AllDrivers());
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
    rig.engine.start(AllDrivers());
    int stopped = 0;
    connect(&rig.engine, &Engine::stopped, this, [&] { ++stopped; });
    rig.engine.stop();
    rig.engine.stop();
    QCOMPARE(stopped, 1);
    QVERIFY(!rig.engine.tasks().isRunning());
    QCOMPARE(rig.time.activeTimers(), 0);
    QVERIFY(!rig.engine.log().isOpen());
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
