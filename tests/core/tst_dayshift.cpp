#include "core/DayShift.h"
#include "core/Stamps.h"
#include "engine/Engine.h"
#include "support/ManualTime.h"
#include "support/TestDatabase.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

namespace {

// One analyzer process: an engine of its own on the test database, on the test's clock.
struct Process
{
    Process(TestDatabase& db, Test::ManualTime& clock, const QString& analyzerId) : engine(clock, clock)
    {
        engine.setLocale(QLocale(QLocale::German, QLocale::Germany));
        Settings& s = engine.settings();
        s.AnalyzerId = analyzerId;
        s.AnalyzerType = "H911";
        s.ComLogPath = logs.path() + '/';
        s.ShiftLength = 8;
        s.FirstShift = "06:00";
        if (db.ok())
            error = engine.database().open(db.target());
    }
    QTemporaryDir logs;
    Engine engine;
    QString error;
};

// An analyzer process HIT1 on a test database with a clock that only moves when told to.
struct Rig
{
    explicit Rig(const QString& backend, const QDateTime& start)
        : db(backend), clock(start), hit(db, clock, "HIT1"), engine(hit.engine), error(hit.error)
    {
    }
    // The rows all processes share.
    QStringList keys()
    {
        QStringList out;
        SqlResult r = db.db().run("SELECT log_key FROM quorlix_log WHERE log_key IN ('d_change', 's_change') "
                                  "ORDER BY time_stamp, log_key");
        while (r.next())
            out << r.value(0).toString();
        return out;
    }
    void check(Engine& process)
    {
        process.checkDayShift();
        // The day and shift checks run every 3 s: a query they left unfinished would hold a stale
        // snapshot of the database for every read in between.
        QCOMPARE(db.walCheckpointBlocked(), QString());
    }
    void check() { check(engine); }
    // Control QC1 with parameters 1 and 2, which HIT1, HIT911 and AU1 measure.
    void controls()
    {
        db.exec("INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES "
                "('QC1', 1, 1, 2), ('QC1', 2, 1, 2), ('QC2', 3, 1, 2)");
        db.exec("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, 'HIT1', 1), "
                "(2, 'HIT1', 2), (1, 'HIT911', 1), (2, 'HIT911', 2), (1, 'AU1', 1), (2, 'AU1', 2)");
    }
    int armed(const QString& analyzer)
    {
        return db.count("control_block", "analyzer_id = ? AND control_id = 'QC1'", {analyzer});
    }

    TestDatabase db;
    Test::ManualTime clock;
    Process hit;
    Engine& engine;
    QString& error;
};

QDateTime At(int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute));
}

} // namespace

class TestDayShift : public QObject
{
    Q_OBJECT

private slots:
    void shiftNumbers_data();
    void shiftNumbers();
    void firstStartThenShift_data() { Test::AddBackendRows(); }
    void firstStartThenShift();
    void crossingBoundaries_data() { Test::AddBackendRows(); }
    void crossingBoundaries();
    void noShiftLengthSkipsShifts();
    void everyProcessArmsItsOwn_data() { Test::AddBackendRows(); }
    void everyProcessArmsItsOwn();
    void restartWithinTheShift_data() { Test::AddBackendRows(); }
    void restartWithinTheShift();
    void failedRearmingIsRetried();
    void logRollsOverByFileDate();
    void everyLocaleStampsTheClockTime();
};

void TestDayShift::shiftNumbers_data()
{
    QTest::addColumn<QDateTime>("a");
    QTest::addColumn<QDateTime>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("07:00 and 13:59") << At(7, 7) << At(7, 13, 59) << true;
    QTest::newRow("07:00 and 14:00") << At(7, 7) << At(7, 14) << false;
    QTest::newRow("14:00 and 21:59") << At(7, 14) << At(7, 21, 59) << true;
    QTest::newRow("21:59 and 22:00") << At(7, 21, 59) << At(7, 22) << false;
    QTest::newRow("22:00 and 05:59 next day") << At(7, 22) << At(8, 5, 59) << true;
    QTest::newRow("05:59 and 06:00") << At(8, 5, 59) << At(8, 6) << false;
}

void TestDayShift::shiftNumbers()
{
    QFETCH(QDateTime, a);
    QFETCH(QDateTime, b);
    const QDateTime first(QDate(1899, 12, 30), QTime(6, 0));
    QTEST(ShiftNumber(first, a, 8) == ShiftNumber(first, b, 8), "same");
}

void TestDayShift::firstStartThenShift()
{
    QFETCH(QString, backend);
    Rig rig(backend, At(7, 10));
    QVERIFY2(rig.db.ok() && rig.error.isEmpty(), qPrintable(rig.db.error() + rig.error));
    rig.check();
    QCOMPARE(rig.keys(), QStringList{"d_change"});
    rig.check(); // same day, no shift row yet
    QCOMPARE(rig.keys(), (QStringList{"d_change", "s_change"}));
    rig.check();
    QCOMPARE(rig.keys().size(), 2);
}

void TestDayShift::crossingBoundaries()
{
    QFETCH(QString, backend);
    Rig rig(backend, At(7, 7));
    QVERIFY2(rig.db.ok() && rig.error.isEmpty(), qPrintable(rig.db.error() + rig.error));
    rig.check();
    rig.check();
    rig.clock.set(At(7, 13, 59));
    rig.check();
    QCOMPARE(rig.keys().count("s_change"), 1);
    rig.clock.set(At(7, 14));
    rig.check();
    QCOMPARE(rig.keys().count("s_change"), 2);
    rig.clock.set(At(8, 0)); // midnight
    rig.check();
    QCOMPARE(rig.keys().count("d_change"), 2);
    QCOMPARE(rig.keys().count("s_change"), 2);
}

void TestDayShift::noShiftLengthSkipsShifts()
{
    Rig rig("sqlite", At(7, 10));
    QVERIFY(rig.error.isEmpty());
    rig.engine.settings().ShiftLength = 0;
    rig.check();
    rig.check();
    rig.clock.set(At(7, 23));
    rig.check();
    QCOMPARE(rig.keys(), QStringList{"d_change"});
}

// One process ran on the database and wrote the day's and the shift's rows; a second one started
// later still arms its own analyzer's controls, and at the next shift change every process re-arms
// its own, whichever wrote the row.
void TestDayShift::everyProcessArmsItsOwn()
{
    QFETCH(QString, backend);
    Rig rig(backend, At(7, 10));
    QVERIFY2(rig.db.ok() && rig.error.isEmpty(), qPrintable(rig.db.error() + rig.error));
    rig.controls();
    Process au(rig.db, rig.clock, "AU1");
    QVERIFY(au.error.isEmpty());
    rig.check(au.engine);
    rig.clock.advanceSeconds(3);
    rig.check(au.engine);
    QCOMPARE(rig.keys(), (QStringList{"d_change", "s_change"}));
    QCOMPARE(rig.armed("AU1"), 2);
    QCOMPARE(rig.armed("HIT911"), 0);

    rig.clock.set(At(7, 11));
    Process hit911(rig.db, rig.clock, "HIT911");
    QVERIFY(hit911.error.isEmpty());
    rig.check(hit911.engine);
    QCOMPARE(rig.armed("HIT911"), 2);
    QCOMPARE(rig.keys(), (QStringList{"d_change", "s_change"}));

    rig.db.exec("DELETE FROM control_block"); // every parameter passed
    rig.clock.set(At(7, 14));
    rig.check(hit911.engine); // writes the shift's row
    rig.check(au.engine);
    QCOMPARE(rig.keys(), (QStringList{"d_change", "s_change", "s_change"}));
    QCOMPARE(rig.armed("HIT911"), 2);
    QCOMPARE(rig.armed("AU1"), 2);
    QCOMPARE(rig.armed("HIT1"), 0); // not running
    QCOMPARE(rig.db.count("control_block", "control_id = 'QC2'"), 0);
}

// A restart within the shift keeps what passed; the first start of a day arms again.
void TestDayShift::restartWithinTheShift()
{
    QFETCH(QString, backend);
    Rig rig(backend, At(7, 10));
    QVERIFY2(rig.db.ok() && rig.error.isEmpty(), qPrintable(rig.db.error() + rig.error));
    rig.controls();
    rig.check();
    rig.check();
    QCOMPARE(rig.armed("HIT1"), 2);
    rig.db.exec("DELETE FROM control_block WHERE parameter_id = 2"); // passed
    rig.clock.set(At(7, 13, 59));
    {
        Process restarted(rig.db, rig.clock, "HIT1");
        QVERIFY(restarted.error.isEmpty());
        rig.check(restarted.engine);
        rig.check(restarted.engine);
    }
    QCOMPARE(rig.armed("HIT1"), 1);
    rig.clock.set(At(8, 7));
    Process nextDay(rig.db, rig.clock, "HIT1");
    QVERIFY(nextDay.error.isEmpty());
    rig.check(nextDay.engine);
    QCOMPARE(rig.armed("HIT1"), 2);
    QCOMPARE(rig.db.count("quorlix_log", "log_key = 'blocks_armed'"), 1);
}

// A re-arming the database refuses is reported once and tried again until it succeeds; the
// shared rows are written meanwhile.
void TestDayShift::failedRearmingIsRetried()
{
    Rig rig("sqlite", At(7, 10));
    QVERIFY(rig.error.isEmpty());
    rig.controls();
    rig.db.exec("ALTER TABLE control_block RENAME TO control_block_away");
    for (int tick = 0; tick < 3; ++tick) {
        rig.check();
        rig.clock.advanceSeconds(3);
    }
    QCOMPARE(rig.keys(), (QStringList{"d_change", "s_change"}));
    rig.db.exec("ALTER TABLE control_block_away RENAME TO control_block");
    rig.check();
    QCOMPARE(rig.armed("HIT1"), 2);
    const QString lines = rig.engine.log().recentLines().join('\n');
    QCOMPARE(lines.count("Monitor: the control blocks of HIT1 could not be re-armed"), 1);
    QCOMPARE(lines.count("Monitor: the control blocks of HIT1 are armed again"), 1);
}

void TestDayShift::logRollsOverByFileDate()
{
    Rig rig("sqlite", At(7, 23, 59));
    QVERIFY(rig.error.isEmpty());
    DayShift& c = rig.engine.dayShift();
    CommLog& log = rig.engine.log();
    QCOMPARE(c.OpenDailyLog(), QString());
    // Another process already wrote today's "log_change": the file still rolls over.
    rig.db.exec("INSERT INTO quorlix_log (time_stamp, log_key) VALUES (?, 'log_change')",
                {rig.db.db().stamp("20261208 00:00:01")});
    c.CheckLogRollover();
    QVERIFY(log.filePath().endsWith("HIT1_20261207_log.txt"));
    rig.clock.set(At(8, 0, 0));
    c.CheckLogRollover();
    QVERIFY(log.filePath().endsWith("HIT1_20261208_log.txt"));
    QCOMPARE(rig.db.count("quorlix_log", "log_key = 'log_change'"), 2);
    log.close();
    QFile file(log.filePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    QVERIFY(text.startsWith(
        "Vandrel Communication Module Started : 08.12.2026 00:00:00\nConfig:\nAnalyser: HIT1 Type: H911"));
}

void TestDayShift::everyLocaleStampsTheClockTime()
{
    // Whatever the system's locale (time separators ".", "p. m.", 12-hour clocks, other digits), the
    // rows get the clock's own time, and a day writes one "d_change" however often it is checked.
    TestDatabase db("sqlite");
    QVERIFY2(db.ok(), qPrintable(db.error()));
    db.exec("PRAGMA synchronous=OFF");
    Settings settings;
    settings.AnalyzerId = "HIT1";
    ManualClock clock(At(1, 0));
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    QVERIFY(locales.size() > 300);
    const QDate first(2020, 1, 1);
    int day = 0;
    QStringList wrong;
    for (const QLocale& locale : locales) {
        CommLog log(clock, locale);
        DayShift dayShift(settings, db.db(), log, clock, locale);
        const QDateTime afternoon(first.addDays(day++), QTime(15, 47, 11));
        clock.set(afternoon);
        for (int tick = 0; tick < 3; ++tick) {
            dayShift.CheckDayShiftChange([](const QString&) { return QString(); });
            clock.advanceSeconds(3);
        }
        const QString rows =
            db.scalar("SELECT COUNT(*) FROM quorlix_log WHERE log_key = 'd_change' AND time_stamp = ?",
                      {db.db().stamp(SqlStamp(afternoon))});
        if (rows != "1")
            wrong << locale.name();
    }
    QCOMPARE(wrong, QStringList{});
    QCOMPARE(db.count("quorlix_log", "log_key = 'd_change'"), int(locales.size()));
}

QTEST_GUILESS_MAIN(TestDayShift)
#include "tst_dayshift.moc"
