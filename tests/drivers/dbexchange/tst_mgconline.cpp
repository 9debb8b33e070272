// The MGC online exchange (type "MGC_ONLINE") against a laboratory database of each backend, one
// Timer4 tick at a time on a manual clock, with a fake LIMS line and the day's log file.
#include "MgcFixture.h"
#include "core/FrameText.h"
#include "core/Stamps.h"
#include "drivers/dbexchange/MgcOnline.h"
#include "support/DriverRig.h"

#include <QFile>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::DriverRig;
using Quorlix::Test::MgcFixture::CaseRows;
using Quorlix::Test::MgcFixture::Rows;

namespace {

const QDateTime Start(QDate(2026, 12, 7), QTime(10, 39, 40));
const QString Time = "1207261039";

// Parameters 1, 2, 3 go to the LIMS on channels 11, 12, 13; validation set 1 accepts 0..500 (and
// set 2 nothing), the measuring range of each is 1..300.
class OnlineRig
{
public:
    explicit OnlineRig(const QString& backend, const QString& autoVal = "1") : rig(backend, Start)
    {
        Settings& s = rig.settings;
        s.AnalyzerId = "MGCON";
        s.AnalyzerType = "MGC_ONLINE";
        s.AutoVal = autoVal;
        rig.log.open(dir.filePath("log.txt"));
        rig.exec({"INSERT INTO interpretation (id, value, value_arab) VALUES (1, 'normal', 'n')"});
        for (int p = 1; p <= 3; ++p) {
            rig.tdb.exec("INSERT INTO app_protocols_testmap (Analyzer_id, AssignedChannel, TestDef_Id) "
                         "VALUES ('MGC240', ?, ?)",
                         {10 + p, p});
            rig.tdb.exec(
                "INSERT INTO test_def (parameter_id, short, range_low, range_high) VALUES (?, ?, 1, 300)",
                {p, QString("P%1").arg(p)});
            rig.tdb.exec(
                "INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
                "VALUES (?, 0, 10000, 1, 0, 1)",
                {p});
        }
        exchange = std::make_unique<MgcOnlineExchange>(rig.services());
    }

    void tick()
    {
        rig.time.advance(2000);
        exchange->tick();
    }
    QStringList frames() { return rig.limsLine.takeFrames(); }
    QStringList rows(const QString& sql) { return Rows(rig.tdb.db(), sql); }
    QStringList logFile()
    {
        QFile f(dir.filePath("log.txt"));
        f.open(QIODevice::ReadOnly);
        return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }

    DriverRig rig;
    QTemporaryDir dir;
    std::unique_ptr<MgcOnlineExchange> exchange;
};

QString Framed(const QString& text)
{
    return QString(Stx) + text + QString(Etx);
}

// The synthesized header up to the time: fields 1 to 7 around the right-aligned sample id.
QString Head(const QString& paddedId)
{
    return ":A1   11 1 " + paddedId + "02531";
}

} // namespace

class TestMgcOnline : public QObject
{
    Q_OBJECT

private slots:
    void results_data();
    void results();
    void finishedOrders_data();
    void finishedOrders();
    void unsendableNamedOnce_data() { Test::AddBackendRows(); }
    void unsendableNamedOnce();
    void limsClosed_data() { Test::AddBackendRows(); }
    void limsClosed();
    void sampleIds_data();
    void sampleIds();
    void logLinesPerTick_data() { Test::AddBackendRows(); }
    void logLinesPerTick();
};

void TestMgcOnline::results_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("lab");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QStringList>("left");
    struct Case
    {
        QString name;
        QStringList lab;
        QStringList frames;
        QStringList left; // MGC_Result rows after the tick
    };
    const QString result = "INSERT INTO results (sample_id, parameter_id, result) VALUES ('%1', %2, %3)";
    const QString listed = "INSERT INTO MGC_Result (sample_id, parameter_id) VALUES ('%1', %2)";
    const QList<Case> cases{
        {"three results, one frame",
         {result.arg("S1").arg(1).arg(5.5), result.arg("S1").arg(2).arg(12.5),
          result.arg("S1").arg(3).arg(140), listed.arg("S1").arg(1), listed.arg("S1").arg(2),
          listed.arg("S1").arg(3)},
         {Framed(Head("           S1") + Time + "       3" + "11   5.5 " + "12  12.5 " + "13   140 " +
                 "000000")},
         {}},
        {"sample information as header",
         {result.arg("S2").arg(2).arg(12.5), listed.arg("S2").arg(2),
          "INSERT INTO MGC_SampleID (sample_id, sample_info, send) VALUES ('S2', '1 0007 3', 0)"},
         {Framed(":A11 0007 3" + QString("      ") + " 1" + "12  12.5 " + "000000")},
         {}},
        {"not validated yet: nothing sent, the row waits", {listed.arg("S3").arg(1)}, {}, {"S3|1"}},
        {"a value of 7 characters rounded to its 6",
         {result.arg("S5").arg(1).arg(1234.56), listed.arg("S5").arg(1)},
         {Framed(Head("           S5") + Time + "       1" + "111234.6 " + "000000")},
         {}},
        {"a REAL column's 12.3 read back",
         {result.arg("S6").arg(1).arg("12.300000190734863"), listed.arg("S6").arg(1)},
         {Framed(Head("           S6") + Time + "       1" + "11  12.3 " + "000000")},
         {}},
        {"a value that cannot fit is held, the others go",
         {result.arg("S7").arg(1).arg(1234567), result.arg("S7").arg(2).arg(5), listed.arg("S7").arg(1),
          listed.arg("S7").arg(2)},
         {Framed(Head("           S7") + Time + "       2" + "12     5 " + "000000")},
         {"S7|1"}},
        {"only what was sent leaves MGC_Result",
         {result.arg("S4").arg(1).arg(8), listed.arg("S4").arg(1), listed.arg("S4").arg(2)},
         {Framed(Head("           S4") + Time + "       2" + "11     8 " + "000000")},
         {"S4|2"}},
    };
    CaseRows(cases, [](QTestData& row, const Case& c) { row << c.lab << c.frames << c.left; });
}

void TestMgcOnline::results()
{
    QFETCH(QString, backend);
    QFETCH(QStringList, lab);
    OnlineRig o(backend);
    o.rig.exec(lab);
    o.tick();
    QTEST(o.frames(), "frames");
    QTEST(o.rows("SELECT sample_id, parameter_id FROM MGC_Result"), "left");
}

// With AutoVal "1" the finished orders are validated (set 1), listed in MGC_Result and reported in
// the same tick; with any other AutoVal nothing moves.
void TestMgcOnline::finishedOrders_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("autoVal");
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QStringList>("request");
    QTest::addColumn<int>("frames");
    struct Case
    {
        QString name;
        QString autoVal;
        QStringList results;
        QStringList request;
        int frames;
    };
    const QList<Case> cases{
        {"AutoVal 1",
         "1",
         {"F1|1|42|normal|0|HIT1|2026-12-07 10:39:42|2026-12-07 10:30:00",
          "F1|2|300|normal|0|HIT1|2026-12-07 10:39:42|2026-12-07 10:30:00"},
         {"F1|3|NULL"},
         1},
        {"AutoVal 2", "2", {}, {"F1|1|42", "F1|2|400", "F1|3|NULL"}, 0},
        {"AutoVal empty", "", {}, {"F1|1|42", "F1|2|400", "F1|3|NULL"}, 0},
    };
    CaseRows(cases,
             [](QTestData& row, const Case& c) { row << c.autoVal << c.results << c.request << c.frames; });
}

void TestMgcOnline::finishedOrders()
{
    QFETCH(QString, backend);
    QFETCH(QString, autoVal);
    OnlineRig o(backend, autoVal);
    // Parameter 2 arrived above the measuring range: 9999, clipped to range_high.
    o.rig.exec({"INSERT INTO request (sample_id, parameter_id, result, analyzer_id, time_stamp) "
                "VALUES ('F1', 1, 42, 'HIT1', '2026-12-07 10:30:00')",
                "INSERT INTO request (sample_id, parameter_id, result, analyzer_id, time_stamp, data_alarm) "
                "VALUES ('F1', 2, 400, 'HIT1', '2026-12-07 10:30:00', '>')",
                "INSERT INTO request (sample_id, parameter_id) VALUES ('F1', 3)"});
    o.tick();
    QTEST(o.rows("SELECT sample_id, parameter_id, result, interpretation, suspicious, analyzer_id, "
                 "val_time_stamp, "
                 "meas_time_stamp FROM results ORDER BY parameter_id"),
          "results");
    QTEST(o.rows("SELECT sample_id, parameter_id, result FROM request ORDER BY parameter_id"), "request");
    QTEST(int(o.frames().size()), "frames");
    QCOMPARE(o.rows("SELECT COUNT(*) FROM MGC_Result"), QStringList({"0"}));
}

// What can never go to the LIMS is named in one Monitor line each, however many ticks pass: an
// order no validation interval covers (with its value, which is nowhere else now), a listed result
// without a validated result, one without a channel, and a value too wide for its field.
void TestMgcOnline::unsendableNamedOnce()
{
    QFETCH(QString, backend);
    OnlineRig o(backend);
    o.rig.exec({"INSERT INTO request (sample_id, parameter_id, result, analyzer_id, time_stamp) "
                "VALUES ('F9', 1, 20000, 'HIT1', '2026-12-07 10:30:00')",
                "INSERT INTO MGC_Result (sample_id, parameter_id) VALUES ('S3', 1)",
                "INSERT INTO results (sample_id, parameter_id, result) VALUES ('S5', 9, 7)",
                "INSERT INTO MGC_Result (sample_id, parameter_id) VALUES ('S5', 9)",
                "INSERT INTO results (sample_id, parameter_id, result) VALUES ('S8', 1, 1234567)",
                "INSERT INTO MGC_Result (sample_id, parameter_id) VALUES ('S8', 1)"});
    for (int i = 0; i < 3; ++i)
        o.tick();
    QCOMPARE(o.frames(), QStringList());
    QCOMPARE(o.rig.monitor(),
             QStringList({"sample F9 parameter 1: result 20000 is in no interval of validation set 1: not "
                          "validated, not sent to the LIMS",
                          "sample S3 parameter 1: no validated result; not sent to the LIMS (its MGC_Result "
                          "row stays)",
                          "sample S5 parameter 9: no channel in app_protocols_testmap; not sent to the LIMS "
                          "(its MGC_Result row stays)",
                          "sample S8 parameter 1: value \"1234567\" does not fit the 6 characters of the "
                          "result frame: held"}));
    QCOMPARE(o.rows("SELECT sample_id, parameter_id FROM MGC_Result ORDER BY sample_id"),
             QStringList({"F9|1", "S3|1", "S5|9", "S8|1"}));
}

// A closed LIMS line keeps the results listed; they go once it is open.
void TestMgcOnline::limsClosed()
{
    QFETCH(QString, backend);
    OnlineRig o(backend);
    o.rig.exec({"INSERT INTO results (sample_id, parameter_id, result) VALUES ('S1', 1, 5)",
                "INSERT INTO MGC_Result (sample_id, parameter_id) VALUES ('S1', 1)",
                "INSERT INTO MGC_SampleID (sample_id, send) VALUES ('N1', 0)"});
    o.rig.limsLine.setOpen(false);
    o.tick();
    o.tick();
    QCOMPARE(o.frames(), QStringList());
    QCOMPARE(o.rows("SELECT sample_id FROM MGC_Result"), QStringList({"S1"}));
    QCOMPARE(o.rows("SELECT send FROM MGC_SampleID"), QStringList({"0"}));
    QCOMPARE(o.logFile().filter(" error sending result: S1").size(), 2);
    QCOMPARE(o.rig.monitor().filter("LIMS port is not open").size(), 1);

    o.rig.limsLine.setOpen(true);
    o.tick();
    QCOMPARE(o.frames().size(), 2);
    QCOMPARE(o.rows("SELECT sample_id FROM MGC_Result"), QStringList());
    QCOMPARE(o.rows("SELECT send FROM MGC_SampleID"), QStringList({"1"}));
    QCOMPARE(o.logFile().filter(" send result: S1 / 1").size(), 1);
}

void TestMgcOnline::sampleIds_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("sampleId");
    QTest::addColumn<QString>("sampleInfo");
    QTest::addColumn<int>("send");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("sendAfter");
    struct Case
    {
        QString name;
        QString sampleId;
        QString sampleInfo;
        int send;
        QStringList frames;
        QString sendAfter;
    };
    const QString head = ";A2    11 15";
    const QList<Case> cases{
        {"new id announced", "4711", "", 0, {Framed(head + "         4711" + "02530" + Time)}, "1"},
        {"id with sample information not announced", "4712", "1 0007 3", 0, {}, "0"},
        {"id announced before", "4713", "", 1, {}, "1"},
    };
    CaseRows(cases, [](QTestData& row, const Case& c) {
        row << c.sampleId << c.sampleInfo << c.send << c.frames << c.sendAfter;
    });
}

void TestMgcOnline::sampleIds()
{
    QFETCH(QString, backend);
    QFETCH(QString, sampleId);
    QFETCH(QString, sampleInfo);
    QFETCH(int, send);
    OnlineRig o(backend);
    o.rig.tdb.exec("INSERT INTO MGC_SampleID (sample_id, sample_info, send) VALUES (?, ?, ?)",
                   {sampleId, sampleInfo.isEmpty() ? Database::null() : QVariant(sampleInfo), send});
    o.tick();
    QTEST(o.frames(), "frames");
    QTEST(o.rows("SELECT send FROM MGC_SampleID").value(0), "sendAfter");
    o.tick();
    QCOMPARE(o.frames(), QStringList()); // announced once
}

// The log is the site's record of the cycle: two lines every tick, with or without work.
void TestMgcOnline::logLinesPerTick()
{
    QFETCH(QString, backend);
    OnlineRig o(backend);
    o.tick();
    o.tick();
    const QString first = "MGC ONLINE Module " + NowStamp(Start.addSecs(2), QLocale());
    const QString second = "MGC ONLINE Module " + NowStamp(Start.addSecs(4), QLocale());
    QCOMPARE(o.logFile(), QStringList({first + " check Results", first + " check SampleID's",
                                       second + " check Results", second + " check SampleID's"}));
}

QTEST_GUILESS_MAIN(TestMgcOnline)
#include "tst_mgconline.moc"
