#include "comm/Engine.h"
#include "support/TestDatabase.h"

#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

class TestTimers : public QObject
{
    Q_OBJECT

private slots:
    void intervalsAndEnabling_data();
    void intervalsAndEnabling();
    void timer3ForwardsOneFinishedSamplePerTick_data() { Test::AddBackendRows(); }
    void timer3ForwardsOneFinishedSamplePerTick();
    void stopSequence();
};

void TestTimers::intervalsAndEnabling_data()
{
    QTest::addColumn<bool>("timer2");
    QTest::addColumn<bool>("timer4");
    QTest::newRow("design-time states") << true << false;
    QTest::newRow("a type other than MGC") << false << true;
}

void TestTimers::intervalsAndEnabling()
{
    QFETCH(bool, timer2);
    QFETCH(bool, timer4);
    ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    Engine engine(clock);
    engine.context().settings.Timer2Enabled = timer2;
    engine.context().settings.Timer4Enabled = timer4;
    engine.start();
    QCOMPARE(engine.timer(1).interval(), 3000);
    QCOMPARE(engine.timer(2).interval(), 5000);
    QCOMPARE(engine.timer(3).interval(), 5000);
    QCOMPARE(engine.timer(4).interval(), 2000);
    QVERIFY(engine.timer(1).isActive());
    QCOMPARE(engine.timer(2).isActive(), timer2);
    QVERIFY(engine.timer(3).isActive());
    QCOMPARE(engine.timer(4).isActive(), timer4);
}

void TestTimers::timer3ForwardsOneFinishedSamplePerTick()
{
    QFETCH(QString, backend);
    TestDatabase db(backend);
    QVERIFY2(db.ok(), qPrintable(db.error()));
    ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    Engine engine(clock);
    QCOMPARE(engine.database().open(db.target()), QString());
    Settings& s = engine.context().settings;
    s.OutType = "invH912";
    s.OutComPort = 2;
    QStringList forwarded;
    engine.sendPendingToLims = [&](const QString& id) {
        forwarded << id;
        db.exec("DELETE FROM req2send WHERE sample_id = ?", {id});
    };
    // S1, S2, S3 finished (their orders are gone from request, results exist); S4 still ordered;
    // S5 has neither results nor orders and is cleared away.
    for (const char* id : {"S1", "S2", "S3", "S4"}) {
        db.exec("INSERT INTO req2send (sample_id, parameter_id) VALUES (?, 1)", {id});
        db.exec("INSERT INTO results (sample_id, parameter_id, result) VALUES (?, 1, 5)", {id});
    }
    db.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S4', 1)");
    db.exec("INSERT INTO req2send (sample_id, parameter_id) VALUES ('S5', 1)");
    // "S1" + "12" must not be mistaken for "S11" + "2".
    db.exec("INSERT INTO req2send (sample_id, parameter_id) VALUES ('S11', 2)");
    db.exec("INSERT INTO results (sample_id, parameter_id, result) VALUES ('S11', 2, 5)");
    db.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 12)");

    for (int tick = 0; tick < 5; ++tick)
        engine.timer3Tick();
    QCOMPARE(forwarded, (QStringList{"S1", "S11", "S2", "S3"}));
    QCOMPARE(db.count("req2send", "sample_id = 'S5'"), 0);
    QCOMPARE(db.count("req2send", "sample_id = 'S4'"), 1);

    s.OutType = "invOAU400"; // other out-types forward nothing
    db.exec("INSERT INTO req2send (sample_id, parameter_id) VALUES ('S1', 1)");
    engine.timer3Tick();
    QCOMPARE(forwarded.size(), 4);
}

void TestTimers::stopSequence()
{
    ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    Engine engine(clock);
    engine.start();
    int stopped = 0;
    connect(&engine, &Engine::stopped, this, [&] { ++stopped; });
    engine.stop();
    engine.stop();
    QCOMPARE(stopped, 1);
    QVERIFY(!engine.timer(1).isActive());
    QVERIFY(!engine.log().isOpen());
}

QTEST_GUILESS_MAIN(TestTimers)
#include "tst_timers.moc"
