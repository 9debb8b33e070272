// The MGC240 exchange (type "MGC") against a laboratory database of each backend and the MGC240's
// own database as a SQLite file, one Timer2 tick at a time on a manual clock. Expected rows come
// from the row templates and rules of the exchange, not from the code under test.
#include "MgcFixture.h"
#include "core/SchemaInit.h"
#include "drivers/dbexchange/MgcContext.h"
#include "drivers/dbexchange/MgcExchange.h"
#include "drivers/dbexchange/MgcJobs.h"
#include "store/Transaction.h"
#include "support/DriverRig.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::DriverRig;
using Quorlix::Test::MgcFixture::CaseRows;
using Quorlix::Test::MgcFixture::Rows;

namespace {

const QDateTime Start(QDate(2026, 12, 7), QTime(10, 39, 40));
int g_files = 0;

// MGC1 measures parameters 1, 2, 3 on the MGC240's items 1 (GLU), 2 (CREA), 3 (UREA).
class MgcRig
{
public:
    explicit MgcRig(const QString& backend)
        : rig(backend, Start), mgc("tst-mgc-" + QString::number(++g_files))
    {
        file = dir.filePath("mgc240.db");
        DatabaseTarget t;
        t.qtDriver = "QSQLITE";
        t.databaseName = file;
        t.dialect = SqlDialect(SqlDialect::SQLite);
        error = rig.tdb.error();
        if (error.isEmpty())
            error = mgc.open(t);
        if (error.isEmpty())
            error = mgc.runScript(SchemaScript(mgc, true));
        mgcExec({"INSERT INTO itempara (item_no, item_name) VALUES (1, 'GLU')",
                 "INSERT INTO itempara (item_no, item_name) VALUES (2, 'CREA')",
                 "INSERT INTO itempara (item_no, item_name) VALUES (3, 'UREA')"});
        Settings& s = rig.settings;
        s.AnalyzerId = "MGC1";
        s.AnalyzerType = "MGC";
        s.MgcDriver = "sqlite";
        s.AccessPath = file;
        for (int p = 1; p <= 3; ++p)
            rig.tdb.exec(
                "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (?, 'MGC1', ?)",
                {p, p});
    }

    void start() { exchange = std::make_unique<MgcExchange>(rig.services()); }
    void tick()
    {
        if (!exchange)
            start();
        rig.time.advance(5000);
        exchange->tick();
    }
    void lab(const QStringList& statements) { rig.exec(statements); }
    void mgcExec(const QStringList& statements)
    {
        for (const QString& sql : statements) {
            SqlResult r = mgc.run(sql);
            if (!r.ok())
                error += sql + ": " + r.error();
        }
    }
    QStringList mgcRows(const QString& sql) { return Rows(mgc, sql); }
    QStringList labRows(const QString& sql) { return Rows(rig.tdb.db(), sql); }
    QStringList monitorWith(const QString& word) { return rig.monitor().filter(word); }
    // The spool beside the log, as the program has it; the quarantine is its "bad" folder.
    void openSpool() { rig.store.openSpool(dir.filePath("spool/")); }
    int quarantined() const { return int(QDir(dir.filePath("spool/bad")).entryList(QDir::Files).size()); }
    int spooled() const { return int(QDir(dir.filePath("spool")).entryList(QDir::Files).size()); }

    DriverRig rig;
    QTemporaryDir dir;
    QString file;
    Database mgc;
    QString error;
    std::unique_ptr<MgcExchange> exchange;
};

const QString Today = "2026-12-07 00:00:00";

} // namespace

class TestMgcExchange : public QObject
{
    Q_OBJECT

private slots:
    void rowTemplates_data() { Test::AddBackendRows(); }
    void rowTemplates();
    void workList_data();
    void workList();
    void results_data();
    void results();
    void valuesThatAreNoNumbersLeaveOrdersOpen_data() { Test::AddBackendRows(); }
    void valuesThatAreNoNumbersLeaveOrdersOpen();
    void controls_data() { Test::AddBackendRows(); }
    void controls();
    void controlReordered_data() { Test::AddBackendRows(); }
    void controlReordered();
    void controlMeasuredWhileStopped_data() { Test::AddBackendRows(); }
    void controlMeasuredWhileStopped();
    void controlFailingAlone_data() { Test::AddBackendRows(); }
    void controlFailingAlone();
    void repeatedTestMeasuredAgain_data() { Test::AddBackendRows(); }
    void repeatedTestMeasuredAgain();
    void buttonPress_data() { Test::AddBackendRows(); }
    void buttonPress();
    void calibrations_data();
    void calibrations();
    void failedOrderLeavesNothing_data() { Test::AddBackendRows(); }
    void failedOrderLeavesNothing();
    void lossNotNamedAsSuch();
    void refusedResultsLeftOut_data() { Test::AddBackendRows(); }
    void refusedResultsLeftOut();
    void refusedRecordQuarantinedOnce_data();
    void refusedRecordQuarantinedOnce();
    void databaseAppearsLater_data() { Test::AddBackendRows(); }
    void databaseAppearsLater();
    void recordsStoredOnce_data() { Test::AddBackendRows(); }
    void recordsStoredOnce();
};

// A sample's orders as the MGC240's program itself writes them: every column of samp_dat and
// samp_odr.
void TestMgcExchange::rowTemplates()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.lab({"INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 1)",
           "INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 2)"});
    m.tick();
    QCOMPARE(
        m.mgcRows("SELECT samp_id, fdate, s_rnd_NO, ord_state, item_no, item_name, autorerun, dil_ord, "
                  "data_state, rst_Date, p_flag, s_flag, d_flag, od_data, conc_data, mon_link, conc_data_re, "
                  "p_flag_re FROM samp_dat ORDER BY item_no"),
        QStringList({"S1|" + Today + "|1|0|1|GLU|0|0|1|NULL|NULL|NULL|NULL|0|0|0|0|NULL",
                     "S1|" + Today + "|1|0|2|CREA|0|0|1|NULL|NULL|NULL|NULL|0|0|0|0|NULL"}));
    QCOMPARE(
        m.mgcRows("SELECT samp_id, fdate, s_rnd_no, samp_mode, samp_no, samp_kind, ord_state, autorerun, "
                  "samp_state, samp_type, ctrl_type, asp_no, asp_date, ord_total, reord_total, pati_id, "
                  "comment1, comment2, r_rnd_no, profile1, profile2, profile3, profile4, profile5, profile6, "
                  "profile7, profile8, profile9, profile10, barID FROM samp_odr"),
        QStringList(
            {"S1|" + Today + "|1|1|1|0|0|0|1|0|0|1|NULL|2|0|NULL|NULL|NULL|1|0|0|0|0|0|0|0|0|0|0|S1"}));
    QCOMPARE(m.monitorWith("MGC240:"), QStringList({"MGC240: order of 1 sample written"}));
}

namespace {

struct WorkListCase
{
    QString name;
    QStringList lab;
    QStringList mgc;
    QString query;
    QStringList expected;
};

const QString Measured =
    "INSERT INTO samp_dat (samp_id, fdate, item_no, data_state) VALUES ('%1', '%2', %3, %4)";
const QString Order =
    "INSERT INTO samp_odr (samp_id, fdate, samp_no, samp_state, ord_total) VALUES ('%1', '%2', %3, "
    "1, %4)";

} // namespace

void TestMgcExchange::workList_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("lab");
    QTest::addColumn<QStringList>("mgc");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("expected");
    const QString yesterday = "2026-12-06 00:00:00";
    const QList<WorkListCase> cases{
        {"parameter without channel: item 0, ni(0)",
         {"INSERT INTO request (sample_id, parameter_id) VALUES ('S2', 99)"},
         {},
         "SELECT samp_id, item_no, item_name FROM samp_dat",
         {"S2|0|ni(0)"}},
        {"sample number: today's highest plus 1",
         {"INSERT INTO request (sample_id, parameter_id) VALUES ('S3', 1)"},
         {Measured.arg("OLD", Today).arg(1).arg(3), Order.arg("OLD", Today).arg(7).arg(1),
          Measured.arg("YDAY", yesterday).arg(1).arg(3), Order.arg("YDAY", yesterday).arg(20).arg(1)},
         "SELECT samp_no FROM samp_odr WHERE samp_id = 'S3'",
         {"8"}},
        {"request gone: item and then its order withdrawn",
         {},
         {Measured.arg("W1", Today).arg(1).arg(1), Order.arg("W1", Today).arg(1).arg(1)},
         "SELECT samp_id FROM samp_dat UNION ALL SELECT samp_id FROM samp_odr",
         {}},
        {"only the withdrawn item goes",
         {"INSERT INTO request (sample_id, parameter_id) VALUES ('W2', 2)"},
         {Measured.arg("W2", Today).arg(1).arg(1), Measured.arg("W2", Today).arg(2).arg(1),
          Order.arg("W2", Today).arg(1).arg(1)},
         "SELECT samp_id, item_no FROM samp_dat UNION ALL SELECT samp_id, ord_total FROM samp_odr",
         {"W2|2", "W2|1"}},
        {"888 ids are never withdrawn",
         {},
         {Measured.arg("888123", Today).arg(1).arg(1), Order.arg("888123", Today).arg(1).arg(1)},
         "SELECT samp_id FROM samp_dat UNION ALL SELECT samp_id FROM samp_odr",
         {"888123", "888123"}},
        {"a measured item is not withdrawn",
         {},
         {Measured.arg("M1", Today).arg(1).arg(3), Order.arg("M1", Today).arg(1).arg(1)},
         "SELECT samp_id, data_state FROM samp_dat",
         {"M1|3"}},
        {"a filled request keeps its item ordered",
         {"INSERT INTO request (sample_id, parameter_id, result, analyzer_id, time_stamp) VALUES ('F1', 1, "
          "5, 'X', "
          "'2026-12-07 08:00:00')"},
         {Measured.arg("F1", Today).arg(1).arg(1), Order.arg("F1", Today).arg(1).arg(1)},
         "SELECT samp_id, item_no FROM samp_dat",
         {"F1|1"}},
        {"a new request of an ordered sample: item added, item count renewed",
         {"INSERT INTO request (sample_id, parameter_id) VALUES ('S4', 1)",
          "INSERT INTO request (sample_id, parameter_id) VALUES ('S4', 3)"},
         {Measured.arg("S4", Today).arg(1).arg(1), Order.arg("S4", Today).arg(1).arg(1)},
         "SELECT samp_id, item_no FROM samp_dat UNION ALL SELECT 'total', ord_total FROM samp_odr",
         {"S4|1", "S4|3", "total|2"}},
    };
    CaseRows(cases,
             [](QTestData& row, const WorkListCase& c) { row << c.lab << c.mgc << c.query << c.expected; });
}

void TestMgcExchange::workList()
{
    QFETCH(QString, backend);
    QFETCH(QStringList, lab);
    QFETCH(QStringList, mgc);
    QFETCH(QString, query);
    QFETCH(QStringList, expected);
    MgcRig m(backend);
    m.lab(lab);
    m.mgcExec(mgc);
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.tick();
    QCOMPARE(m.mgcRows(query), expected);
}

void TestMgcExchange::results_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("parameter");
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("sampState");
    QTest::addColumn<int>("dataState");
    QTest::addColumn<QStringList>("request");
    struct Case
    {
        QString name;
        int parameter;
        int item;
        int sampState;
        int dataState;
        QStringList request;
    };
    const QStringList taken{"12.5|MGC1|2026-12-07 10:39:45"};
    const QStringList open{"NULL|NULL|NULL"};
    const QList<Case> cases{{"sample finished (samp_state 3)", 1, 1, 3, 3, taken},
                            {"samp_state above 3", 1, 1, 4, 3, taken},
                            {"sample still measured (samp_state 2)", 1, 1, 2, 3, open},
                            {"item not measured (data_state 1)", 1, 1, 3, 1, open},
                            {"item 0 belongs to no parameter", 99, 0, 3, 3, open}};
    CaseRows(cases, [](QTestData& row, const Case& c) {
        row << c.parameter << c.item << c.sampState << c.dataState << c.request;
    });
}

void TestMgcExchange::results()
{
    QFETCH(QString, backend);
    QFETCH(int, parameter);
    QFETCH(int, item);
    QFETCH(int, sampState);
    QFETCH(int, dataState);
    QFETCH(QStringList, request);
    MgcRig m(backend);
    m.lab({QString("INSERT INTO request (sample_id, parameter_id) VALUES ('R1', %1)").arg(parameter)});
    m.mgcExec(
        {QString("INSERT INTO samp_dat (samp_id, fdate, item_no, data_state, conc_data) VALUES ('R1', '%1', "
                 "%2, %3, 12.5)")
             .arg(Today)
             .arg(item)
             .arg(dataState),
         QString("INSERT INTO samp_odr (samp_id, fdate, samp_no, samp_state, ord_total) VALUES ('R1', '%1', "
                 "1, %2, 1)")
             .arg(Today)
             .arg(sampState)});
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.tick();
    QCOMPARE(m.labRows("SELECT result, analyzer_id, time_stamp FROM request"), request);
}

// A result the MGC240 holds as text that is no number is not taken: the order stays open and
// takes the number once the analyzer has one.
void TestMgcExchange::valuesThatAreNoNumbersLeaveOrdersOpen()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    m.lab({"INSERT INTO request (sample_id, parameter_id) VALUES ('R1', 1)"});
    m.mgcExec(
        {QString("INSERT INTO samp_dat (samp_id, fdate, item_no, data_state, conc_data) VALUES ('R1', '%1', "
                 "1, 3, 'pos')")
             .arg(Today),
         QString("INSERT INTO samp_odr (samp_id, fdate, samp_no, samp_state, ord_total) VALUES ('R1', '%1', "
                 "1, 3, 1)")
             .arg(Today)});
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.tick();
    QCOMPARE(m.labRows("SELECT result, analyzer_id FROM request"), QStringList{"NULL|NULL"});
    m.mgcExec({"UPDATE samp_dat SET conc_data = 12.5 WHERE samp_id = 'R1'"});
    m.tick();
    QCOMPARE(m.labRows("SELECT result, analyzer_id FROM request"), QStringList{"12.5|MGC1"});
}

// A control result is stored once per measurement time and booked against control_block.
void TestMgcExchange::controls()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    m.lab({"INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'MGC1')",
           "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 2, 'MGC1')",
           "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC1', 1, 80, "
           "100)",
           "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC1', 2, 0.8, "
           "1.2)"});
    // The first tick orders the control.
    m.tick();
    QCOMPARE(m.mgcRows("SELECT samp_id, item_no, item_name, data_state FROM samp_dat ORDER BY item_no"),
             QStringList({"QC1|1|GLU|1", "QC1|2|CREA|1"}));
    QCOMPARE(m.mgcRows("SELECT samp_id, samp_no, ord_total FROM samp_odr"), QStringList({"QC1|1|2"}));

    const auto measure = [&](const QString& when, double value) {
        m.mgcExec(
            {QString(
                 "UPDATE samp_dat SET data_state = 3, conc_data = %1, rst_Date = '%2' WHERE samp_id = 'QC1' "
                 "AND item_no = 1")
                 .arg(value)
                 .arg(when)});
        m.tick();
    };
    const QString rows =
        "SELECT control_id, parameter_id, time_stamp, result, analyzer_id FROM control_results "
        "ORDER BY time_stamp";
    measure("2026-12-07 10:30:00", 120);
    QCOMPARE(m.labRows(rows), QStringList({"QC1|1|2026-12-07 10:30:00|120|MGC1"}));
    // Out of range: the parameter is still expected. The control stays ordered: no request orders it.
    QCOMPARE(m.labRows("SELECT parameter_id FROM control_block ORDER BY parameter_id"),
             QStringList({"1", "2"}));
    QCOMPARE(m.mgcRows("SELECT COUNT(*) FROM samp_dat WHERE samp_id = 'QC1'"), QStringList({"2"}));

    m.tick();
    QCOMPARE(m.labRows(rows).size(), 1); // the same rst_date: not stored twice
    measure("2026-12-07 10:20:00", 95);
    QCOMPARE(m.labRows(rows).size(), 1); // earlier than the stored one
    measure("2026-12-07 10:35:00", 90);
    QCOMPARE(m.labRows(rows),
             QStringList({"QC1|1|2026-12-07 10:30:00|120|MGC1", "QC1|1|2026-12-07 10:35:00|90|MGC1"}));
    QCOMPARE(m.labRows("SELECT parameter_id FROM control_block"), QStringList({"2"})); // in range: passed
}

// A control ordered with three items or more is ordered anew once the analyzer has finished it and
// its results are taken; not while it is measured, and not again on every tick.
void TestMgcExchange::controlReordered()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    for (int p = 1; p <= 3; ++p)
        m.lab({QString("INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC3', %1, "
                       "'MGC1')")
                   .arg(p)});
    m.tick();
    const QString items = "SELECT item_no, data_state FROM samp_dat ORDER BY item_no";
    const QString order = "SELECT samp_id, samp_no, samp_state, ord_total FROM samp_odr";
    QCOMPARE(m.mgcRows(order), QStringList({"QC3|1|1|3"}));
    const auto measure = [&](int item, const QString& when) {
        m.mgcExec({QString("UPDATE samp_dat SET data_state = 3, conc_data = 4.5, rst_Date = '%1' "
                           "WHERE samp_id = 'QC3' AND item_no = %2")
                       .arg(when)
                       .arg(item)});
    };
    measure(2, "2026-12-07 10:30:00");
    m.tick();
    QCOMPARE(m.labRows("SELECT control_id, parameter_id, result FROM control_results"),
             QStringList({"QC3|2|4.5"}));
    // Items 1 and 3 are still being measured: the order stays as the analyzer has it.
    QCOMPARE(m.mgcRows(items), QStringList({"1|1", "2|3", "3|1"}));
    QCOMPARE(m.mgcRows(order), QStringList({"QC3|1|1|3"}));

    // Every item measured: ordered anew, whether or not the analyzer marks the order finished.
    measure(1, "2026-12-07 10:31:00");
    measure(3, "2026-12-07 10:32:00");
    m.tick();
    QCOMPARE(m.labRows("SELECT COUNT(*) FROM control_results"), QStringList({"3"}));
    QCOMPARE(m.mgcRows(items), QStringList({"1|1", "2|1", "3|1"}));
    QCOMPARE(m.mgcRows(order), QStringList({"QC3|1|1|3"}));
    // Ordered once, not on every tick: the analyzer at work on it is left alone.
    m.mgcExec({"UPDATE samp_dat SET data_state = 2 WHERE samp_id = 'QC3' AND item_no = 1"});
    m.tick();
    m.tick();
    QCOMPARE(m.mgcRows(items), QStringList({"1|2", "2|1", "3|1"}));
}

// A control measured while the program was stopped is taken at the first tick, and only then
// ordered anew.
void TestMgcExchange::controlMeasuredWhileStopped()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    m.lab({"INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'MGC1')",
           "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 2, 'MGC1')"});
    m.mgcExec(
        {QString("INSERT INTO samp_dat (samp_id, fdate, item_no, data_state, conc_data, rst_Date) VALUES "
                 "('QC1', '%1', 1, 3, 91, '2026-12-07 09:00:00')")
             .arg(Today),
         QString("INSERT INTO samp_dat (samp_id, fdate, item_no, data_state, conc_data, rst_Date) VALUES "
                 "('QC1', '%1', 2, 3, 1.1, '2026-12-07 09:01:00')")
             .arg(Today),
         QString("INSERT INTO samp_odr (samp_id, fdate, samp_no, samp_state, ord_total) VALUES ('QC1', "
                 "'%1', 4, 3, 2)")
             .arg(Today)});
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.start();
    QCOMPARE(m.mgcRows("SELECT COUNT(*) FROM samp_dat WHERE data_state = 3"), QStringList({"2"}));
    m.tick();
    QCOMPARE(m.labRows("SELECT control_id, parameter_id, time_stamp, result FROM control_results ORDER BY "
                       "parameter_id"),
             QStringList({"QC1|1|2026-12-07 09:00:00|91", "QC1|2|2026-12-07 09:01:00|1.1"}));
    QCOMPARE(m.mgcRows("SELECT item_no, data_state FROM samp_dat ORDER BY item_no"),
             QStringList({"1|1", "2|1"}));
    QCOMPARE(m.mgcRows("SELECT samp_no, samp_state, ord_total FROM samp_odr"), QStringList({"1|1|2"}));
}

// A control that cannot be ordered is tried again alone: the others are ordered once and their
// results are taken meanwhile.
void TestMgcExchange::controlFailingAlone()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    m.lab({"INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'MGC1')",
           "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC2', 1, 'MGC1')"});
    m.mgcExec({"CREATE TRIGGER refuse BEFORE INSERT ON samp_odr WHEN NEW.samp_id = 'QC2' "
               "BEGIN SELECT RAISE(ABORT, 'refused'); END"});
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.tick();
    m.mgcExec({"UPDATE samp_dat SET data_state = 3, conc_data = 88, rst_Date = '2026-12-07 10:40:00' "
               "WHERE samp_id = 'QC1'"});
    m.tick();
    m.tick();
    QCOMPARE(m.labRows("SELECT control_id, result FROM control_results"), QStringList({"QC1|88"}));
    QCOMPARE(m.mgcRows("SELECT samp_id, samp_no FROM samp_odr"), QStringList({"QC1|1"}));
    QCOMPARE(m.monitorWith("QC2").size(), 1);
    m.mgcExec({"DROP TRIGGER refuse"});
    m.tick();
    QCOMPARE(m.mgcRows("SELECT samp_id, samp_no FROM samp_odr ORDER BY samp_id"),
             QStringList({"QC1|1", "QC2|2"}));
}

// A test ordered again for a sample whose result the analyzer holds already is measured anew: the
// old value does not fill the new order.
void TestMgcExchange::repeatedTestMeasuredAgain()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    const auto measure = [&](double value, const QString& when) {
        m.mgcExec(
            {QString("UPDATE samp_dat SET data_state = 3, conc_data = %1, rst_Date = '%2' WHERE samp_id = "
                     "'R1'")
                 .arg(value)
                 .arg(when),
             "UPDATE samp_odr SET samp_state = 3 WHERE samp_id = 'R1'"});
        m.tick();
    };
    m.lab({"INSERT INTO request (sample_id, parameter_id) VALUES ('R1', 1)"});
    m.tick();
    measure(12.5, "2026-12-07 10:40:00");
    const QString filled = "SELECT result FROM request WHERE result IS NOT NULL ORDER BY time_stamp";
    const QString open = "SELECT COUNT(*) FROM request WHERE result IS NULL";
    QCOMPARE(m.labRows(filled), QStringList({"12.5"}));

    m.lab({"INSERT INTO request (sample_id, parameter_id) VALUES ('R1', 1)"});
    m.tick();
    QCOMPARE(m.labRows(filled), QStringList({"12.5"}));
    QCOMPARE(m.labRows(open), QStringList({"1"}));
    QCOMPARE(m.mgcRows("SELECT item_no, data_state FROM samp_dat"), QStringList({"1|1"}));
    QCOMPARE(m.mgcRows("SELECT samp_state, ord_total FROM samp_odr"), QStringList({"1|1"}));
    QCOMPARE(m.monitorWith("tests of 1 sample ordered again").size(), 1);

    measure(13.25, "2026-12-07 10:50:00");
    QCOMPARE(m.labRows(filled), QStringList({"12.5", "13.25"}));
    m.tick();
    QCOMPARE(m.labRows(filled), QStringList({"12.5", "13.25"}));
    QCOMPARE(m.labRows(open), QStringList({"0"}));
}

void TestMgcExchange::buttonPress()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    m.lab({"INSERT INTO analyzers (analyzer_id, com_port) VALUES ('MGC1', 1)",
           "INSERT INTO analyzers (analyzer_id, com_port) VALUES ('OTHER', 1)"});
    m.tick();
    QCOMPARE(m.labRows("SELECT analyzer_id, com_port FROM analyzers ORDER BY analyzer_id"),
             QStringList({"MGC1|0", "OTHER|1"}));
    m.tick();
    QCOMPARE(m.monitorWith("PRESTIGE").size(), 1);
}

void TestMgcExchange::calibrations_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("blank");
    QTest::addColumn<QString>("c1");
    QTest::addColumn<QStringList>("standard1");
    struct Case
    {
        QString name;
        QString blank;
        QString c1;
        QStringList standard1; // s11abs, s12abs, s1conz
    };
    const QList<Case> cases{{"blank absorbance missing, concentration set: 0", "NULL", "0", {"0|0|0"}},
                            {"blank absorbance blank text, concentration set: 0", "' '", "5", {"0|0|5"}},
                            {"blank and concentration missing: NULL", "NULL", "NULL", {"NULL|NULL|NULL"}},
                            {"blank absorbance times 10000", "0.0012", "0", {"12|12|0"}},
                            {"absorbance without concentration", "0.0012", "NULL", {"12|12|NULL"}}};
    CaseRows(cases, [](QTestData& row, const Case& c) { row << c.blank << c.c1 << c.standard1; });
}

void TestMgcExchange::calibrations()
{
    QFETCH(QString, backend);
    QFETCH(QString, blank);
    QFETCH(QString, c1);
    QFETCH(QStringList, standard1);
    MgcRig m(backend);
    m.lab({QString("INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2) VALUES ('MGC1', 1, 2, "
                   "%1, 100)")
               .arg(c1),
           "INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2) VALUES ('OTHER', 1, 4, 7, 7)"});
    m.mgcExec(
        {QString(
             "INSERT INTO calib (rdate, item_no, BLK_OD, STD_1OD, STD_6OD) VALUES ('2026-12-07 09:00:00', "
             "1, %1, 0.1234, 0.9)")
             .arg(blank),
         "INSERT INTO calib (rdate, item_no, BLK_OD, STD_1OD) VALUES ('2026-12-06 09:00:00', 1, 0.5, 0.5)"});
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.tick();
    const QString row = "SELECT s11abs, s12abs, s1conz FROM calibrations";
    QCOMPARE(m.labRows(row), standard1);
    QCOMPARE(
        m.labRows("SELECT analyzer_id, parameter_id, calib_dat, std_count, s21abs, s22abs, s2conz, s31abs, "
                  "s3conz, s61abs FROM calibrations"),
        QStringList({"MGC1|1|2026-12-07 09:00:00|2|1234|1234|100|NULL|NULL|NULL"}));
    m.tick();
    QCOMPARE(m.labRows(row).size(), 1); // the same calibration is not taken again
    m.mgcExec({"INSERT INTO calib (rdate, item_no, BLK_OD) VALUES ('2026-12-07 10:00:00', 1, 0.0001)"});
    m.tick();
    QCOMPARE(m.labRows("SELECT calib_dat, s11abs FROM calibrations ORDER BY calib_dat"),
             QStringList(
                 {"2026-12-07 09:00:00|" + standard1.first().section('|', 0, 0), "2026-12-07 10:00:00|1"}));
}

// An order the MGC240's database refuses leaves no row of it behind, is reported once, and is
// written on a later tick; the other samples are not held up.
void TestMgcExchange::failedOrderLeavesNothing()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    m.lab({"INSERT INTO request (sample_id, parameter_id) VALUES ('BAD', 1)",
           "INSERT INTO request (sample_id, parameter_id) VALUES ('BAD', 2)",
           "INSERT INTO request (sample_id, parameter_id) VALUES ('GOOD', 1)"});
    m.mgcExec({"CREATE TRIGGER refuse BEFORE INSERT ON samp_odr WHEN NEW.samp_id = 'BAD' "
               "BEGIN SELECT RAISE(ABORT, 'refused'); END"});
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.tick();
    m.tick();
    QCOMPARE(m.mgcRows("SELECT DISTINCT samp_id FROM samp_dat"), QStringList({"GOOD"}));
    const QStringList reported = m.monitorWith("BAD");
    QCOMPARE(reported.size(), 1);
    QVERIFY2(reported.first().startsWith("sample BAD: order not written to the MGC240"),
             qPrintable(reported.first()));
    m.mgcExec({"DROP TRIGGER refuse"});
    m.tick();
    QCOMPARE(m.mgcRows("SELECT samp_id, ord_total FROM samp_odr ORDER BY samp_id"),
             QStringList({"BAD|2", "GOOD|1"}));
}

// Results the laboratory database refuses for one sample are quarantined once, with the sample's
// orders left open and nothing fetched again; the other samples of the tick are stored and counted.
void TestMgcExchange::refusedResultsLeftOut()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    m.openSpool();
    m.lab(
        {"INSERT INTO request (sample_id, parameter_id) VALUES ('BAD', 1)",
         "INSERT INTO request (sample_id, parameter_id) VALUES ('BAD', 2)",
         "INSERT INTO request (sample_id, parameter_id) VALUES ('GOOD', 1)",
         backend == "sqlite"
             ? "CREATE TRIGGER refuse BEFORE UPDATE OF result ON request "
               "WHEN NEW.sample_id = 'BAD' AND NEW.parameter_id = 2 BEGIN SELECT RAISE(ABORT, 'refused'); END"
             : "ALTER TABLE request ADD CONSTRAINT refuse CHECK (sample_id <> 'BAD' OR parameter_id <> 2 "
               "OR result IS NULL)"});
    for (const QString sample : {"BAD", "GOOD"}) {
        m.mgcExec(
            {QString(
                 "INSERT INTO samp_odr (samp_id, fdate, samp_no, samp_state, ord_total) VALUES ('%1', '%2', "
                 "1, 3, %3)")
                 .arg(sample, Today)
                 .arg(sample == QString("BAD") ? 2 : 1)});
        for (int item = 1; item <= (sample == QString("BAD") ? 2 : 1); ++item)
            m.mgcExec(
                {QString(
                     "INSERT INTO samp_dat (samp_id, fdate, item_no, data_state, conc_data) VALUES ('%1', "
                     "'%2', %3, 3, 7)")
                     .arg(sample, Today)
                     .arg(item)});
    }
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.tick();
    const int lines = m.rig.monitor().size();
    m.tick();
    m.tick();
    QCOMPARE(
        m.labRows("SELECT sample_id, parameter_id, result FROM request ORDER BY sample_id, parameter_id"),
        QStringList({"BAD|1|NULL", "BAD|2|NULL", "GOOD|1|7"}));
    QCOMPARE(m.quarantined(), 1);
    QCOMPARE(m.spooled(), 0);
    QCOMPARE(m.rig.monitor().size(), lines); // nothing again on later ticks
    QCOMPARE(m.monitorWith("MGC240: "), QStringList({"MGC240: results of 1 sample taken"}));
    QVERIFY(!m.monitorWith("MGC240 results of sample BAD").isEmpty());
}

// A record the laboratory database refuses is quarantined once and not taken again, also after a
// restart; the records of the next ticks are not held up.
void TestMgcExchange::refusedRecordQuarantinedOnce_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("refuse"); // SQLite, then the servers
    QTest::addColumn<QStringList>("mgc");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("next");   // what the MGC240 brings later
    QTest::addColumn<QString>("stored"); // a query counting what is stored of the kind
    struct Case
    {
        QString name;
        QStringList refuse;
        QStringList mgc;
        QString record;
        QString next;
        QString stored;
    };
    const QList<Case> cases{
        {"results of a sample",
         {"CREATE TRIGGER refuse BEFORE UPDATE OF result ON request WHEN NEW.sample_id = 'BAD' "
          "BEGIN SELECT RAISE(ABORT, 'refused'); END",
          "ALTER TABLE request ADD CONSTRAINT refuse CHECK (sample_id <> 'BAD' OR result IS NULL)"},
         {QString(
              "INSERT INTO samp_odr (samp_id, fdate, samp_no, samp_state, ord_total) VALUES ('BAD', '%1', "
              "1, 3, 1)")
              .arg(Today),
          QString(
              "INSERT INTO samp_dat (samp_id, fdate, item_no, data_state, conc_data) VALUES ('BAD', '%1', "
              "1, 3, 7)")
              .arg(Today)},
         "MGC240 results of sample BAD",
         "UPDATE samp_dat SET data_state = 3, conc_data = 8 WHERE samp_id = 'OK'; "
         "UPDATE samp_odr SET samp_state = 3 WHERE samp_id = 'OK'",
         "SELECT COUNT(*) FROM request WHERE result IS NOT NULL"},
        {"a control result",
         {"CREATE TRIGGER refuse BEFORE INSERT ON control_results WHEN NEW.time_stamp < '2026-12-07 "
          "10:00:00' "
          "BEGIN SELECT RAISE(ABORT, 'refused'); END",
          "ALTER TABLE control_results ADD CONSTRAINT refuse CHECK (time_stamp >= '2026-12-07 10:00:00')"},
         {QString("INSERT INTO samp_dat (samp_id, fdate, item_no, data_state, conc_data, rst_Date) VALUES "
                  "('QC1', "
                  "'%1', 1, 3, 91, '2026-12-07 09:00:00')")
              .arg(Today)},
         "MGC240 control QC1 parameter 1",
         "UPDATE samp_dat SET data_state = 3, conc_data = 92, rst_Date = '2026-12-07 10:30:00' WHERE samp_id "
         "= "
         "'QC1'",
         "SELECT COUNT(*) FROM control_results"},
        {"a calibration",
         {"CREATE TRIGGER refuse BEFORE INSERT ON calibrations WHEN NEW.calib_dat < '2026-12-07 10:00:00' "
          "BEGIN SELECT RAISE(ABORT, 'refused'); END",
          "ALTER TABLE calibrations ADD CONSTRAINT refuse CHECK (calib_dat >= '2026-12-07 10:00:00')"},
         {"INSERT INTO calib (rdate, item_no, BLK_OD) VALUES ('2026-12-07 09:00:00', 1, 0.001)"},
         "MGC240 calibration of parameter 1",
         "INSERT INTO calib (rdate, item_no, BLK_OD) VALUES ('2026-12-07 10:30:00', 1, 0.002)",
         "SELECT COUNT(*) FROM calibrations"},
    };
    CaseRows(cases, [](QTestData& row, const Case& c) {
        row << c.refuse << c.mgc << c.record << c.next << c.stored;
    });
}

void TestMgcExchange::refusedRecordQuarantinedOnce()
{
    QFETCH(QString, backend);
    QFETCH(QStringList, refuse);
    QFETCH(QStringList, mgc);
    QFETCH(QString, record);
    QFETCH(QString, next);
    QFETCH(QString, stored);
    MgcRig m(backend);
    m.openSpool();
    m.lab({"INSERT INTO request (sample_id, parameter_id) VALUES ('BAD', 1)",
           "INSERT INTO request (sample_id, parameter_id) VALUES ('OK', 1)",
           "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'MGC1')",
           backend == "sqlite" ? refuse.at(0) : refuse.at(1)});
    m.mgcExec(mgc);
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.tick();
    const int named = m.monitorWith(record).size();
    QVERIFY(named > 0);
    for (int i = 0; i < 3; ++i)
        m.tick();
    QCOMPARE(m.quarantined(), 1);
    QCOMPARE(m.monitorWith(record).size(), named);
    QCOMPARE(m.labRows(stored), QStringList({"0"}));
    QCOMPARE(m.monitorWith("taken"), QStringList());

    // Not taken again after a restart either; what comes next is stored.
    m.exchange.reset();
    m.tick();
    m.tick();
    QCOMPARE(m.quarantined(), 1);
    m.mgcExec(next.split("; "));
    QVERIFY2(m.error.isEmpty(), qPrintable(m.error));
    m.tick();
    QCOMPARE(m.quarantined(), 1);
    QCOMPARE(m.spooled(), 0);
    QCOMPARE(m.labRows(stored), QStringList({"1"}));
}

// A missing MGC240 database is reported once and tried again; the controls are ordered when it
// comes.
void TestMgcExchange::databaseAppearsLater()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    m.lab({"INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'MGC1')"});
    m.mgc.close(); // the last connection writes everything into the file
    const QString later = m.dir.filePath("later.db");
    m.rig.settings.AccessPath = later;
    m.start();
    m.tick();
    QCOMPARE(m.monitorWith("cannot be opened").size(), 1);
    QVERIFY(!m.exchange->isConnected());
    QVERIFY(QFile::rename(m.file, later));
    m.tick();
    QVERIFY(m.exchange->isConnected());
    QCOMPARE(m.monitorWith("later.db (SQLite) is open").size(), 1);
    DatabaseTarget t = m.mgc.target();
    t.databaseName = later;
    QCOMPARE(m.mgc.open(t), QString());
    QCOMPARE(m.mgcRows("SELECT samp_id, item_no FROM samp_dat"), QStringList({"QC1|1"}));
}

// Each record kind comes back from the spool file as it was written, and a record stored a second
// time changes nothing.
void TestMgcExchange::recordsStoredOnce()
{
    QFETCH(QString, backend);
    MgcRig m(backend);
    m.lab({"INSERT INTO request (sample_id, parameter_id) VALUES ('R1', 1)",
           "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'MGC1')"});
    Store& store = m.rig.store;
    MgcCalibration calibration{
        1, "20261207 09:00:00", {std::nullopt, 0.1234, std::nullopt, 0.5, std::nullopt, 1.0}};
    const QList<StoreJob> jobs{
        store.newJob(store.kinds().require<MgcResultsJobKind>(),
                     MgcResultBatch{{{"R1", {{1, 12.5, {}}}}, {"R2", {{2, 1.5, {}}}}}}),
        store.newJob(store.kinds().require<MgcControlJobKind>(),
                     MgcControlResult{"QC1", 1, "20261207 10:30:00", 90}),
        store.newJob(store.kinds().require<MgcCalibrationJobKind>(), calibration)};
    for (const StoreJob& job : jobs) {
        QString id;
        QString error;
        const std::optional<StoreJob> back = FromJson(ToJson(job, "spool-1"), store.kinds(), &id, &error);
        QVERIFY2(back, qPrintable(error));
        QCOMPARE(ToJson(*back, "spool-1"), ToJson(job, "spool-1"));
        QCOMPARE(store.run(*back).result, JobOutcome::Stored);
        QCOMPARE(store.run(*back).result, JobOutcome::NothingToStore);
    }
    QCOMPARE(m.labRows("SELECT result, analyzer_id FROM request"), QStringList({"12.5|MGC1"}));
    QCOMPARE(m.labRows("SELECT control_id, result FROM control_results"), QStringList({"QC1|90"}));
    QCOMPARE(m.labRows("SELECT s21abs, s31abs, s61abs, s62abs FROM calibrations"),
             QStringList({"1234|NULL|10000|10000"}));
    // Counted once each: R2 has no open order, and a second run stores nothing.
    const InstanceStats& stats = m.rig.stats;
    QCOMPARE(QList<quint64>({stats.resultsStored, stats.controlsStored, stats.calibrationsStored}),
             QList<quint64>({1, 1, 1}));
}

// Not every driver names a lost connection (the Access driver says "Disk or network error" when
// its file went away): a failed statement whose connection no longer answers marks it lost, so that
// the next tick opens it again; a statement that failed on its own does not.
void TestMgcExchange::lossNotNamedAsSuch()
{
    if (!Test::Backends().contains("postgresql"))
        QSKIP("needs a PostgreSQL server (QUORLIX_TEST_PG)");
    DriverRig rig("postgresql", Start);
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    Database mgc("tst-mgc-silent");
    QCOMPARE(mgc.open(rig.tdb.target()), QString());
    MgcContext ctx(rig.settings, rig.tdb.db(), mgc, rig.log, rig.time, rig.store);

    const QString broken = "SELECT item_no FROM quorlix_no_such_table";
    SqlResult own = mgc.run(broken);
    QVERIFY(!own.ok() && !own.connectionLost());
    ctx.noteFailure(mgc, own);
    QVERIFY(!ctx.mgcLost);

    SqlResult pid = mgc.run("SELECT pg_backend_pid()");
    QVERIFY(pid.next());
    const QVariant backend = pid.value(0);
    pid.finish();
    SqlResult failed = mgc.run(broken);
    QVERIFY(!failed.connectionLost());
    // The connection goes away behind the failed statement's back.
    rig.tdb.exec("SELECT pg_terminate_backend(CAST(? AS INTEGER), 5000)", {backend});
    ctx.noteFailure(mgc, failed);
    QVERIFY(ctx.mgcLost);
    QVERIFY(!ctx.labLost);
}

QTEST_GUILESS_MAIN(TestMgcExchange)
#include "tst_mgcexchange.moc"
