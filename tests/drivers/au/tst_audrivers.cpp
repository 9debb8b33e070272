// The AU receive handlers against a real database and the real store, on fake analyzer and LIMS
// lines. Frames are written from the layout: STX, code, rack 4, cup 2, field 1, field 2 (4), id 20,
// five unread, blocks of channel 2, value 6, flags 2 (calibration: channel 2, standard 1, four
// readings of 6, flags 2), ETX.
#include "comm/Dispatch.h"
#include "drivers/DriverRegistry.h"
#include "drivers/au/AuDriver.h"
#include "drivers/au/AuDrivers.h"
#include "store/CalibrationDialogs.h"
#include "store/Spool.h"
#include "support/DriverRig.h"

#include <QSqlRecord>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::DriverRig;

namespace {

const QString STX(QChar(0x02)), ETX(QChar(0x03)), ACK(QChar(0x06));
const QString Fields = "0101" + QString("03") + "N" + "0042";

QString Id20(const QString& id)
{
    return (id + QString(20, ' ')).left(20);
}

QString Frame(const QString& code, const QString& id, const QString& blocks = {})
{
    return STX + code + Fields + Id20(id) + QString(5, ' ') + blocks + ETX;
}

QString Order(const QString& code, const QString& id, const QString& channels)
{
    return STX + "S" + code.at(1) + Fields + Id20(id) + "    E" + channels + ETX;
}

// Parameters 1 to 4 on channels 3, 12, 5 and 7 of AU1; parameter 9 on channel 20 of another
// analyzer only. Sample 4711 has orders for parameters 1 and 2. Parameter 1 ("END") was calibrated
// twice, the latest with absorbances 100 to 2000; parameter 2 ("QMS") from 3000 down to 400; both
// are set up for two standards. Parameter 3 was calibrated with a highest standard of 0; parameter 4
// has neither test_def row nor calibration.
// Controls QC0001 (armed for parameters 1 and 3) and QC0002 (armed for 1 and 2, an open row for 2).
const QStringList Setup{
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, 'AU1', 3)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (2, 'AU1', 12)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (3, 'AU1', 5)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (4, 'AU1', 7)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (9, 'AU2', 20)",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('4711', 1)",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('4711', 2)",
    "INSERT INTO test_def (parameter_id, short, method, range_low, range_high) VALUES (1, 'GLU', 'END', 0, "
    "500)",
    "INSERT INTO test_def (parameter_id, short, method, range_low, range_high) VALUES (2, 'CRP', 'qms', 0, "
    "300)",
    "INSERT INTO test_def (parameter_id, short, method, range_low, range_high) VALUES (3, 'UREA', 'RATE', 0, "
    "300)",
    "INSERT INTO calibrations (analyzer_id, calib_dat, parameter_id, std_count, s11abs, s21abs) "
    "VALUES ('AU1', '2026-11-01 08:00:00', 1, 2, 5000, 9000)",
    "INSERT INTO calibrations (analyzer_id, calib_dat, parameter_id, std_count, s11abs, s21abs, s31abs) "
    "VALUES ('AU1', '2026-12-01 08:00:00', 1, 3, 100, 500, 2000)",
    "INSERT INTO calibrations (analyzer_id, calib_dat, parameter_id, std_count, s11abs, s21abs) "
    "VALUES ('AU2', '2026-12-02 08:00:00', 1, 2, 9000, 9500)",
    "INSERT INTO calibrations (analyzer_id, calib_dat, parameter_id, std_count, s11abs, s21abs) "
    "VALUES ('AU1', '2026-12-01 08:00:00', 2, 2, 3000, 400)",
    "INSERT INTO calibrations (analyzer_id, calib_dat, parameter_id, std_count, s11abs, s21abs) "
    "VALUES ('AU1', '2026-12-01 08:00:00', 3, 2, 0, 0)",
    "INSERT INTO control_base (control_id, name) VALUES ('QC0001', 'CONTROL LOW LEVEL')",
    "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0001', 1, 80, 100)",
    "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0001', 3, 0, 100)",
    "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0002', 1, 0, 100)",
    "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0002', 2, 0, 100)",
    "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC0001', 1, 'AU1')",
    "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC0001', 3, 'AU1')",
    "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC0002', 1, 'AU1')",
    "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC0002', 2, 'AU1')",
    "INSERT INTO control_results (control_id, parameter_id, analyzer_id) VALUES ('QC0002', 2, 'AU1')",
    // Parameter 12 of QC0001 is not armed, though "QC0001" and "12" joined read like control
    // "QC00011" with its armed parameter 2.
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (12, 'AU1', 9)",
    "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0001', 12, 0, 100)",
    "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC00011', 2, 'AU1')",
    "INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
    "VALUES (1, 0, 99999, 1, 0, 1)",
    "INSERT INTO interpretation (id, value, value_arab) VALUES (1, 'normal', 'normal')",
    "INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2) VALUES ('AU1', 1, 2, 0, 300)",
    "INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2) VALUES ('AU1', 2, 2, 0, 50)",
};

const QString RawRows =
    "SELECT sample_id, parameter_id, result, data_alarm FROM Raw_Results ORDER BY parameter_id";
const QString ControlRows =
    "SELECT control_id, parameter_id, result FROM control_results WHERE result IS NOT NULL "
    "ORDER BY parameter_id";

AuModel ModelOf(const QString& name)
{
    return name == "AU600" ? AuModel::Au600 : name == "AU680" ? AuModel::Au680 : AuModel::Au400;
}

// Standards of channel 3 (parameter 1, set up for two), channel 5 (parameter 3, no calib_base row)
// and channel 12 (parameter 2, two).
const QString Std31 = "0310.01230.01200.01250.0118  ", Std32 = "0320.25000.24900.25100.2480  ";
const QString Std51 = "0510.01230.01200.01250.0118  ", Std52 = "0520.25000.24900.25100.2480  ";
const QString Std121 = "1210.30000.29900.30100.2980  ";
const QString CalibrationRows = "SELECT parameter_id, std_count, s11abs, s21abs FROM calibrations ORDER BY "
                                "parameter_id";

// The mismatch window of the desktop: records what it is shown.
struct Windows final : CalibrationDialogs
{
    void showMismatch(const CalibrationRecord& copy) override { shown << copy; }
    QList<CalibrationRecord> shown;
};

// A driver of one model on fake lines and a fresh database holding Setup.
struct Rig
{
    Rig(const QString& backend, const QString& model, bool withLims = false,
        const QString& outType = QStringLiteral("invOAU400"))
        : base(backend)
    {
        Settings& s = base.settings;
        s.AnalyzerId = "AU1";
        s.AnalyzerType = "O" + model;
        s.ControlMask = "QC????";
        if (withLims) {
            s.OutType = outType;
            s.OutComPort = 2;
            s.OutId = "LIMS";
        }
        if (base.tdb.ok())
            base.exec(Setup);
        driver = std::make_unique<AuDriver>(base.services(), ModelOf(model), withLims);
    }

    QString rows(const QString& sql) { return base.tdb.rows(sql); }
    // Sends and pauses toward the analyzer, and frames toward the LIMS, since the last call.
    QStringList toAnalyzer() { return base.analyzerLine.takeOperations(); }
    QStringList toLims() { return base.limsLine.takeFrames(); }

    DriverRig base;
    std::unique_ptr<AuDriver> driver;
};

QStringList Acked(int pause = 750)
{
    return {QString("pause %1").arg(pause), ACK};
}

// The ACK and then the order frame, each after its pause.
QStringList AckedThen(const QString& order)
{
    return Acked() + QStringList{"pause 750", order};
}

} // namespace

class TestAuDrivers : public QObject
{
    Q_OBJECT

private slots:
    void orderReplies_data();
    void orderReplies();
    void ordersFiledBetweenTwoRequests_data();
    void ordersFiledBetweenTwoRequests();
    void results_data();
    void results();
    void valuesThatAreNoNumbersLeaveOrdersOpen_data() { Test::AddBackendRows(); }
    void valuesThatAreNoNumbersLeaveOrdersOpen();
    void autovalidated_data();
    void autovalidated();
    void calibrations_data();
    void calibrations();
    void calibrationOverWithoutItsCount_data();
    void calibrationOverWithoutItsCount();
    void standardsOutliveARestart_data();
    void standardsOutliveARestart();
    void standardsWhileTheDatabaseIsDown_data();
    void standardsWhileTheDatabaseIsDown();
    void withLims_data();
    void withLims();
    void reportsOnlyForLimsThatReadThem_data();
    void reportsOnlyForLimsThatReadThem();
    void sameControlFrameRelayedOnce_data();
    void sameControlFrameRelayedOnce();
    void splitAtEveryPosition();
    void lineTrouble();
    void sameFrameAgainIsStoredOnce();
    void whileTheDatabaseIsDown_data();
    void whileTheDatabaseIsDown();
    void au600Pause_data();
    void au600Pause();
    void registeredEntries();
};

void TestAuDrivers::orderReplies_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("reply");
    for (const QString& b : Test::Backends()) {
        const QByteArray n = b.toLatin1();
        QTest::addRow("%s RH, orders on channels 3 and 12", n.data())
            << b << "AU400" << Frame("RH", "4711") << Order("RH", "4711", "0312");
        QTest::addRow("%s R  without orders", n.data())
            << b << "AU400" << Frame("R ", "4712") << Order("R ", "4712", "");
        QTest::addRow("%s control by the mask of its trimmed id: its armed definitions only", n.data())
            << b << "AU400" << Frame("R ", "QC0001") << Order("R ", "QC0001", "0305");
        QTest::addRow("%s control with open rows: their armed channels", n.data())
            << b << "AU680" << Frame("RH", "QC0002") << Order("RH", "QC0002", "12");
        QTest::addRow("%s AU600 same order", n.data())
            << b << "AU600" << Frame("RH", "4711") << Order("RH", "4711", "0312");
    }
}

void TestAuDrivers::orderReplies()
{
    QFETCH(QString, backend);
    QFETCH(QString, model);
    QFETCH(QString, request);
    QFETCH(QString, reply);
    Rig rig(backend, model);
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.deliver(*rig.driver, request);
    // Each of the two sends waits its pause: the ACK, then the order frame.
    QCOMPARE(rig.toAnalyzer(), AckedThen(reply));
    QCOMPARE(rig.base.monitor(), QStringList{});
    // The AU order leaves open control rows in place.
    QCOMPARE(rig.base.tdb.count("control_results"), 1);
    QCOMPARE(rig.base.stats.orderReplies.count, 1u);
}

void TestAuDrivers::ordersFiledBetweenTwoRequests_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("filed");  // filed between the two requests
    QTest::addColumn<QString>("before"); // channels of the first answer
    QTest::addColumn<QString>("after");  // and of the second
    for (const QString& b : Test::Backends()) {
        QTest::addRow("%s patient order", qPrintable(b))
            << b << "4712"
            << "INSERT INTO request (sample_id, parameter_id) VALUES ('4712', 2)"
            << ""
            << "12";
        QTest::addRow("%s open control row", qPrintable(b))
            << b << "QC0001"
            << "INSERT INTO control_results (control_id, parameter_id, analyzer_id) VALUES ('QC0001', 3, "
               "'AU1')"
            << "0305"
            << "05";
    }
}

// Every request sees the database as it is now, not as it was at an earlier request.
void TestAuDrivers::ordersFiledBetweenTwoRequests()
{
    QFETCH(QString, backend);
    QFETCH(QString, id);
    QFETCH(QString, filed);
    QFETCH(QString, before);
    QFETCH(QString, after);
    Rig rig(backend, "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.deliver(*rig.driver, Frame("R ", id));
    QCOMPARE(rig.toAnalyzer(), AckedThen(Order("R ", id, before)));
    rig.base.tdb.execElsewhere(filed);
    rig.base.deliver(*rig.driver, Frame("R ", id));
    QCOMPARE(rig.toAnalyzer(), AckedThen(Order("R ", id, after)));
}

void TestAuDrivers::results_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("raw");      // Raw_Results: sample|parameter|result|alarm
    QTest::addColumn<QString>("controls"); // control_results: control|parameter|result
    QTest::addColumn<int>("notes");        // Monitor lines

    const auto row = [](const QString& b, const char* name, const char* model, const QString& frame,
                        const QString& raw, const QString& controls = {}, int notes = 0) {
        QTest::addRow("%s %s", qPrintable(b), name)
            << b << QString(model) << frame << raw << controls << notes;
    };
    for (const QString& b : Test::Backends()) {
        row(b, "D  results, flags without blanks", "AU400", Frame("D ", "4711", "03  95.2  12  1.50H "),
            "4711|1|95.2|;4711|2|1.5|H");
        row(b, "dH channel of another analyzer skipped, next block read", "AU400",
            Frame("dH", "4711", "20  3.00  05  4.00 L"), "4711|3|4|L", {}, 1);
        row(b, "! above the highest standard of the latest calibration", "AU400",
            Frame("D ", "4711", "030.2500! "), "4711|1|99999|!");
        row(b, "! below the lowest standard", "AU400", Frame("D ", "4711", "030.0050 !"), "4711|1|0|!");
        row(b, "! inside the range: value kept", "AU400", Frame("D ", "4711", "030.1000H!"), "4711|1|0.1|!");
        row(b, "! QMS: low absorbance is above the range", "AU400", Frame("D ", "4711", "120.0300! "),
            "4711|2|99999|!");
        row(b, "! QMS: high absorbance is below the range", "AU400", Frame("D ", "4711", "120.5000! "),
            "4711|2|0|!");
        row(b, "! highest standard 0: no upper limit", "AU400", Frame("D ", "4711", "050.9000! "),
            "4711|3|0.9|!");
        row(b, "! never calibrated: value kept", "AU400", Frame("D ", "4711", "070.9000! "), "4711|4|0.9|!");
        row(b, "AU600 ! above the highest standard: six nines", "AU600", Frame("D ", "4711", "030.2500! "),
            "4711|1|999999|!");
        row(b, "AU600 ! highest standard 0 still limits", "AU600", Frame("D ", "4711", "050.9000! "),
            "4711|3|999999|!");
        row(b, "AU600 ! QMS read like any test", "AU600", Frame("D ", "4711", "120.0300! "), "4711|2|0|!");
        row(b, "F with a test_def row", "AU680", Frame("D ", "4711", "03  12.0F "), "4711|1|99999|F");
        row(b, "F without a test_def row", "AU400", Frame("D ", "4711", "07  12.0 F"), "4711|4|12|F");
        row(b, "G", "AU400", Frame("D ", "4711", "03  12.0HG"), "4711|1|0|G");
        row(b, "AU600 leaves F and G", "AU600", Frame("D ", "4711", "03  12.0F 12  12.0G "),
            "4711|1|12|F;4711|2|12|G");
        row(b, "AU680 decimal comma", "AU680", Frame("D ", "4711", "03 95,25  "), "4711|1|95.25|");
        row(b, "value not a number: NULL with a note", "AU400", Frame("D ", "4711", "03  ****  "),
            "4711|1|NULL|", {}, 1);
        row(b, "block cut short: the complete ones stored", "AU400", Frame("D ", "4711", "03  95.2  12  1."),
            "4711|1|95.2|", {}, 1);
        row(b, "control into control_results", "AU400", Frame("D ", "QC0001", "03  90.0  05  10.0  "), {},
            "QC0001|1|90;QC0001|3|10");
        row(b, "AU400 DQ stored", "AU400", Frame("DQ", "4711", "03  95.2  "), "4711|1|95.2|");
        row(b, "AU600 DQ acknowledged only", "AU600", Frame("DQ", "4711", "03  95.2  "), {});
        row(b, "DB acknowledged only", "AU400", STX + "DB" + ETX, {});
        row(b, "lower-case r  is no request", "AU400", Frame("r ", "4711"), {});
    }
}

void TestAuDrivers::results()
{
    QFETCH(QString, backend);
    QFETCH(QString, model);
    QFETCH(QString, frame);
    Rig rig(backend, model);
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.deliver(*rig.driver, frame);
    QCOMPARE(rig.toAnalyzer(), Acked());
    QTEST(rig.rows(RawRows), "raw");
    QTEST(rig.rows(ControlRows), "controls");
    const QStringList monitor = rig.base.monitor();
    QFETCH(int, notes);
    QVERIFY2(monitor.size() == notes, qPrintable(monitor.join('\n')));
}

void TestAuDrivers::valuesThatAreNoNumbersLeaveOrdersOpen()
{
    QFETCH(QString, backend);
    Rig rig(backend, "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    const QString orders = "SELECT parameter_id, result, analyzer_id FROM request ORDER BY parameter_id";
    rig.base.deliver(*rig.driver, Frame("D ", "4711", "03  ****  12  <0.1  "));
    QCOMPARE(rig.rows(orders), "1|NULL|NULL;2|NULL|NULL");
    // The rerun fills the orders; the raw copies keep all four values.
    rig.base.deliver(*rig.driver, Frame("D ", "4711", "03  95.2  12  0.08  "));
    QCOMPARE(rig.rows(orders), "1|95.2|AU1;2|0.08|AU1");
    QCOMPARE(rig.base.tdb.count("Raw_Results"), 4);
}

void TestAuDrivers::autovalidated_data()
{
    QTest::addColumn<QString>("autoval");
    QTest::addColumn<QString>("results"); // sample|parameter|result
    QTest::addColumn<int>("open");        // request rows left
    // Glucose above its measuring range is clipped to 500; CRP has no validation range.
    QTest::newRow("1") << "1"
                       << "4711|1|500" << 0;
    QTest::newRow("2") << "2"
                       << "4711|1|500" << 0;
    QTest::newRow("none") << ""
                          << "" << 2;
}

void TestAuDrivers::autovalidated()
{
    QFETCH(QString, autoval);
    Rig rig("sqlite", "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.settings.AutoVal = autoval;
    rig.base.deliver(*rig.driver, Frame("D ", "4711", "03   600  12   1.5  "));
    QCOMPARE(rig.toAnalyzer(), Acked());
    QTEST(rig.rows("SELECT sample_id, parameter_id, result FROM results"), "results");
    QTEST(rig.base.tdb.count("request"), "open");
}

void TestAuDrivers::calibrations_data()
{
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("stored"); // parameter|std_count|s11abs|s11ini|s12abs|s12ini|s1conz|s21abs
    QTest::addColumn<int>("notes");
    const QString std31 = "0310.01230.01200.01250.0118  ", std32 = "0320.25000.24900.25100.2480  ";
    const QString std121 = "1210.30000.29900.30100.2980  ", std122 = "1220.04000.03900.04100.0380  ";
    QTest::newRow("standards over two frames, two tests complete in one")
        << QStringList{Frame("DA", "CAL", std31 + std121), Frame("DA", "CAL", std32 + std122)}
        << "1|2|123|120|125|118|0|2500;2|2|3000|2990|3010|2980|0|400" << 0;
    QTest::newRow("waiting for the second standard") << QStringList{Frame("DA", "CAL", std31)} << "" << 0;
    QTest::newRow("channel without a test: dropped with a note")
        << QStringList{Frame("DA", "CAL", "2010.01230.01200.01250.0118  ")} << "" << 1;
    // Without a standard count nothing says when its calibration is complete.
    QTest::newRow("test without settings: its standards wait")
        << QStringList{Frame("DA", "CAL", Std51), Frame("DA", "CAL", Std52)} << "" << 2;
}

void TestAuDrivers::calibrations()
{
    QFETCH(QStringList, frames);
    Rig rig("sqlite", "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.exec({"DELETE FROM calibrations"});
    for (const QString& frame : frames) {
        rig.base.deliver(*rig.driver, frame);
        QCOMPARE(rig.toAnalyzer(), Acked());
    }
    QTEST(rig.rows("SELECT parameter_id, std_count, s11abs, s11ini, s12abs, s12ini, s1conz, s21abs FROM "
                   "calibrations ORDER BY parameter_id"),
          "stored");
    const QStringList monitor = rig.base.monitor();
    QFETCH(int, notes);
    QVERIFY2(monitor.size() == notes, qPrintable(monitor.join('\n')));
}

void TestAuDrivers::calibrationOverWithoutItsCount_data()
{
    QTest::addColumn<QString>("chart"); // ShowCalibChart
    QTest::addColumn<bool>("window");   // the desktop's mismatch window (none under --headless)
    QTest::addColumn<QString>("standards");
    QTest::addColumn<QString>("shown"); // parameter|count|first reading of each standard
    QTest::addColumn<int>("dropped");   // Monitor lines naming a dropped standard
    QTest::newRow("no calib_base row, ShowCalibChart 1: the operator decides")
        << "1" << true << Std51 + Std52 << "3|2|0.0123 0.2500" << 0;
    QTest::newRow("no calib_base row, ShowCalibChart 0: dropped") << "0" << true << Std51 + Std52 << "" << 2;
    QTest::newRow("no calib_base row, no window: dropped") << "1" << false << Std51 + Std52 << "" << 2;
    QTest::newRow("one standard of two, ShowCalibChart 1: the operator decides")
        << "1" << true << Std31 << "1|1|0.0123" << 0;
    QTest::newRow("one standard of two, ShowCalibChart 0: dropped") << "0" << true << Std31 << "" << 1;
}

// A calibration whose count is unknown, or which stopped short of it, is never stored as it came:
// with its last standard an hour old it goes to the operator, or is dropped.
void TestAuDrivers::calibrationOverWithoutItsCount()
{
    QFETCH(QString, chart);
    QFETCH(bool, window);
    QFETCH(QString, standards);
    QFETCH(int, dropped);
    Rig rig("sqlite", "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.exec({"DELETE FROM calibrations"});
    rig.base.settings.ShowCalibChart = chart;
    Windows windows;
    if (window)
        rig.base.store.setCalibrationDialogs(&windows);
    // One standard per frame, a minute apart.
    for (qsizetype at = 0; at < standards.size(); at += Std31.size()) {
        rig.base.deliver(*rig.driver, Frame("DA", "CAL", standards.mid(at, Std31.size())));
        QCOMPARE(rig.toAnalyzer(), Acked());
        rig.base.time.advanceSeconds(60);
    }
    rig.base.time.advanceSeconds(59 * 60);
    QCOMPARE(rig.base.tdb.count("quorlix_log", "log_key = 'au_standard'"), int(standards.size() / 29));
    QCOMPARE(windows.shown.size(), 0);
    rig.base.time.advanceSeconds(3 * 60);

    QCOMPARE(rig.rows(CalibrationRows), "");
    QCOMPARE(rig.base.tdb.count("quorlix_log", "log_key = 'au_standard'"), 0);
    QStringList shown;
    for (const CalibrationRecord& cal : std::as_const(windows.shown)) {
        QStringList readings;
        for (int s = 0; s < cal.CalStdCount; ++s)
            readings << cal.CalStandards[size_t(s)].Readings[0];
        shown << QString("%1|%2|%3").arg(cal.CalParameterId).arg(cal.CalStdCount).arg(readings.join(' '));
    }
    QTEST(shown.join(';'), "shown");
    QCOMPARE(int(rig.base.monitor().filter("no standard followed").size()), dropped);
}

void TestAuDrivers::standardsOutliveARestart_data()
{
    Test::AddBackendRows();
}

// The first standard was acknowledged before the program stopped; the second completes the
// calibration after its restart.
void TestAuDrivers::standardsOutliveARestart()
{
    QFETCH(QString, backend);
    Rig rig(backend, "AU680");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.exec({"DELETE FROM calibrations"});
    rig.base.deliver(*rig.driver, Frame("DA", "CAL", Std31 + Std121));
    QCOMPARE(rig.toAnalyzer(), Acked());
    rig.driver.reset();
    rig.base.time.advanceSeconds(120);
    rig.driver = std::make_unique<AuDriver>(rig.base.services(), AuModel::Au680, false);
    rig.base.deliver(*rig.driver, Frame("DA", "CAL", Std32));
    QCOMPARE(rig.toAnalyzer(), Acked());
    QCOMPARE(rig.rows(CalibrationRows), "1|2|123|2500");
    QCOMPARE(rig.base.tdb.count("quorlix_log", "log_key = 'au_standard'"), 1); // channel 12 waits
}

void TestAuDrivers::standardsWhileTheDatabaseIsDown_data()
{
    Test::AddBackendRows();
}

// The frames are acknowledged and wait in the spool as they came; the count of the calibration is
// read once the database answers, and no part of it is stored as a whole.
void TestAuDrivers::standardsWhileTheDatabaseIsDown()
{
    QFETCH(QString, backend);
    Rig rig(backend, "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.exec({"DELETE FROM calibrations"});
    QTemporaryDir spool;
    Store& store = rig.base.store;
    store.openSpool(spool.path());
    rig.base.tdb.db().close();
    rig.base.deliver(*rig.driver, Frame("DA", "CAL", Std31));
    QCOMPARE(rig.toAnalyzer(), Acked());
    store.replaySpool(); // the connection is opened again
    QCOMPARE(store.spool()->pendingCount(), 0);
    QCOMPARE(rig.rows(CalibrationRows), "");
    rig.base.tdb.db().close();
    rig.base.deliver(*rig.driver, Frame("DA", "CAL", Std32));
    store.replaySpool();
    QCOMPARE(rig.rows(CalibrationRows), "1|2|123|2500");
}

void TestAuDrivers::withLims_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("toAnalyzer");
    QTest::addColumn<QStringList>("toLims");
    QTest::addColumn<QString>("stored"); // the table that gained rows
    QTest::addColumn<int>("answered");   // order requests answered here

    const QString patientRequest = Frame("R ", "4711");
    const QString patientResults = Frame("D ", "4711", "03  95.2  ");
    const QString controlResults = Frame("dH", "QC0001", "03  90.0  ");
    QTest::newRow("patient request: to the LIMS, which answers")
        << "AU400" << patientRequest << QStringList{} << QStringList{patientRequest} << "" << 0;
    QTest::newRow("control request: answered here")
        << "AU680" << Frame("RH", "QC0001") << AckedThen(Order("RH", "QC0001", "0305")) << QStringList{} << ""
        << 1;
    QTest::newRow("patient results: stored, not relayed")
        << "AU400" << patientResults << Acked() << QStringList{} << "Raw_Results" << 0;
    QTest::newRow("control results: relayed as DQ with its name, stored")
        << "AU400" << controlResults << Acked()
        << QStringList{STX + "DQ" + Fields + Id20("QC0001") + QString(5, ' ') + "03  90.0  " + "CONTROL " +
                       ETX}
        << "control_results" << 0;
    QTest::newRow("calibration: acknowledged, not relayed")
        << "AU400" << Frame("DA", "CAL", "0310.01230.01200.01250.0118  ") << Acked() << QStringList{} << ""
        << 0;
    QTest::newRow("DQ relayed unchanged") << "AU400" << Frame("DQ", "4711", "03  95.2  ") << QStringList{}
                                          << QStringList{Frame("DQ", "4711", "03  95.2  ")} << "" << 0;
    QTest::newRow("DB relayed unchanged")
        << "AU400" << STX + "DB" + ETX << QStringList{} << QStringList{STX + "DB" + ETX} << "" << 0;
    QTest::newRow("AU600 control results, its own pause")
        << "AU600" << controlResults << Acked(200)
        << QStringList{STX + "DQ" + controlResults.mid(3).chopped(1) + "CONTROL " + ETX} << "control_results"
        << 0;
}

void TestAuDrivers::withLims()
{
    QFETCH(QString, model);
    QFETCH(QString, frame);
    QFETCH(QString, stored);
    Rig rig("sqlite", model, true);
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.settings.Au600Pause = "200";
    rig.driver = std::make_unique<AuDriver>(rig.base.services(), ModelOf(model), true);
    rig.base.deliver(*rig.driver, frame);
    QTEST(rig.toAnalyzer(), "toAnalyzer");
    QTEST(rig.toLims(), "toLims");
    for (const QString table : {"Raw_Results", "control_results"})
        QCOMPARE(rig.base.tdb.count(table, "result IS NOT NULL") > 0, table == stored);
    QCOMPARE(rig.base.monitor(), QStringList{});
    QTEST(int(rig.base.stats.orderReplies.count), "answered");
}

void TestAuDrivers::reportsOnlyForLimsThatReadThem_data()
{
    QTest::addColumn<QString>("outType");
    QTest::addColumn<int>("req2send");
    QTest::addColumn<int>("limsFrames"); // after a control result
    // An AU LIMS gets the relayed "DQ" frame only; a Hitachi LIMS reads req2send and gets the
    // store's control frame besides.
    QTest::newRow("invOAU400") << "invOAU400" << 0 << 1;
    QTest::newRow("invOAU600") << "invOAU600" << 0 << 1;
    QTest::newRow("invH912") << "invH912" << 2 << 2;
}

void TestAuDrivers::reportsOnlyForLimsThatReadThem()
{
    QFETCH(QString, outType);
    Rig rig("sqlite", "AU400", true, outType);
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.deliver(*rig.driver, Frame("D ", "4711", "03  95.2  12   1.5  "));
    QTEST(rig.base.tdb.count("req2send"), "req2send");
    rig.base.deliver(*rig.driver, Frame("D ", "QC0001", "03  90.0  "));
    QTEST(int(rig.toLims().size()), "limsFrames");
}

void TestAuDrivers::sameControlFrameRelayedOnce_data()
{
    QTest::addColumn<QString>("outType");
    QTest::addColumn<int>("limsFrames");
    QTest::newRow("AU LIMS: the DQ frame") << "invOAU400" << 1;
    QTest::newRow("Hitachi LIMS: the DQ frame and the control frame") << "invH912" << 2;
}

// The analyzer got no ACK and sends the control again: stored once, and relayed once.
void TestAuDrivers::sameControlFrameRelayedOnce()
{
    QFETCH(QString, outType);
    Rig rig("sqlite", "AU400", true, outType);
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    const QString control = Frame("D ", "QC0001", "03  90.0  ");
    rig.base.deliver(*rig.driver, control);
    rig.base.deliver(*rig.driver, control);
    QCOMPARE(rig.toAnalyzer(), Acked() + Acked());
    const QStringList toLims = rig.toLims();
    QTEST(int(toLims.size()), "limsFrames");
    QVERIFY(toLims.value(0).startsWith(STX + "DQ"));
    QCOMPARE(rig.rows(ControlRows), "QC0001|1|90");
}

void TestAuDrivers::splitAtEveryPosition()
{
    Rig rig("sqlite", "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    const QString request = Frame("RH", "4711");
    const QString results = Frame("D ", "4712", "03  95.2  12  1.50H ");
    for (int cut = 1; cut < results.size(); ++cut) {
        rig.base.deliver(*rig.driver, request.left(cut));
        rig.base.deliver(*rig.driver, request.mid(cut) + results.left(cut));
        QCOMPARE(rig.toAnalyzer(), AckedThen(Order("RH", "4711", "0312")));
        rig.base.deliver(*rig.driver, results.mid(cut));
        QCOMPARE(rig.toAnalyzer(), Acked());
        QCOMPARE(rig.rows("SELECT COUNT(*), MIN(result), MAX(result) FROM Raw_Results"), "2|1.5|95.2");
        rig.base.exec({"DELETE FROM Raw_Results", "DELETE FROM quorlix_log"});
    }
    QCOMPARE(rig.base.monitor(), QStringList{});
}

void TestAuDrivers::lineTrouble()
{
    Rig rig("sqlite", "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    // Noise before the STX, and a frame that never ends: both dropped with a note each, bounded.
    rig.base.deliver(*rig.driver, "x\x7fnoise" + Frame("D ", "4711", "03  95.2  "));
    QCOMPARE(rig.toAnalyzer(), Acked());
    rig.base.deliver(*rig.driver, STX + "D ");
    for (int i = 0; i < 10; ++i)
        rig.base.deliver(*rig.driver, QString(1000, 'x'));
    QCOMPARE(rig.toAnalyzer(), QStringList{});
    const QStringList monitor = rig.base.monitor();
    QCOMPARE(monitor.filter("without its end").size(), 1);
    // The noise and what followed the dropped frame, one line per piece that held any.
    QCOMPARE(monitor.filter("outside a frame dropped").size(), 1 + 6);
    // The next frame is served as usual.
    rig.base.deliver(*rig.driver, Frame("D ", "4711", "12   1.5  "));
    QCOMPARE(rig.toAnalyzer(), Acked());
    QCOMPARE(rig.rows(RawRows), "4711|1|95.2|;4711|2|1.5|");
}

void TestAuDrivers::sameFrameAgainIsStoredOnce()
{
    Rig rig("sqlite", "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    const QString frame = Frame("D ", "4711", "03  95.2  ");
    // The analyzer got no ACK and sends the frame again: acknowledged both times, stored once.
    rig.base.deliver(*rig.driver, frame);
    rig.base.deliver(*rig.driver, frame);
    QCOMPARE(rig.toAnalyzer(), Acked() + Acked());
    QCOMPARE(rig.rows(RawRows), "4711|1|95.2|");
}

void TestAuDrivers::whileTheDatabaseIsDown_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("stored");
    for (const QString& b : Test::Backends()) {
        QTest::addRow("%s results, the absorbance read once the database is back", qPrintable(b))
            << b << Frame("D ", "4711", "030.2500! 12  1.50  ") << RawRows << "4711|1|99999|!;4711|2|1.5|";
        QTest::addRow("%s control", qPrintable(b))
            << b << Frame("D ", "QC0001", "05  10.0  ") << ControlRows << "QC0001|3|10";
        QTest::addRow("%s calibration: its standards complete", qPrintable(b))
            << b << Frame("DA", "CAL", Std31 + Std32)
            << "SELECT parameter_id, std_count, s11abs FROM calibrations WHERE calib_dat > '2026-12-05'"
            << "1|2|123";
    }
}

void TestAuDrivers::whileTheDatabaseIsDown()
{
    // The analyzer is acknowledged; the frame waits in the spool as it came, and its channels and
    // flags are read when the database is back.
    QFETCH(QString, backend);
    QFETCH(QString, frame);
    QFETCH(QString, query);
    Rig rig(backend, "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    QTemporaryDir spool;
    Store& store = rig.base.store;
    store.openSpool(spool.path());
    rig.base.tdb.db().close();
    rig.base.deliver(*rig.driver, frame);
    QCOMPARE(rig.toAnalyzer(), Acked());
    QCOMPARE(store.spool()->pendingCount(), 1);
    store.replaySpool(); // the connection is opened again
    QCOMPARE(store.spool()->pendingCount(), 0);
    QTEST(rig.rows(query), "stored");
}

void TestAuDrivers::au600Pause_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<int>("pause");
    QTest::addColumn<int>("notes");
    QTest::newRow("default") << "" << 750 << 0;
    QTest::newRow("au600pause=300") << "300" << 300 << 0;
    QTest::newRow("not a number: default with a note") << "fast" << 750 << 1;
    QTest::newRow("too long: default with a note") << "600000" << 750 << 1;
}

void TestAuDrivers::au600Pause()
{
    QFETCH(QString, setting);
    QFETCH(int, pause);
    Rig rig("sqlite", "AU400");
    QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
    rig.base.settings.Au600Pause = setting;
    AuDriver au600(rig.base.services(), AuModel::Au600, false);
    rig.base.deliver(au600, STX + "DE" + ETX);
    QCOMPARE(rig.toAnalyzer(), Acked(pause));
    QTEST(int(rig.base.monitor().size()), "notes");
}

void TestAuDrivers::registeredEntries()
{
    DriverRegistry registry;
    RegisterAuDrivers(registry);
    for (const QString type : {"OAU400", "OAU600", "OAU680"}) {
        for (const bool lims : {false, true}) {
            Rig rig("sqlite", type.mid(1), lims);
            QVERIFY2(rig.base.tdb.ok(), qPrintable(rig.base.tdb.error()));
            const DriverRegistry::HandlerFactory* factory =
                registry.handler(registry.analyzerEntry(type, lims));
            QVERIFY(factory);
            const std::unique_ptr<LineHandler> handler = (*factory)(rig.base.services());
            // A patient's request is answered here, or goes to the LIMS.
            rig.base.deliver(*handler, Frame("R ", "4711"));
            QCOMPARE(rig.toLims().size(), lims ? 1 : 0);
            QCOMPARE(rig.toAnalyzer().size(), lims ? 0 : 4);
        }
    }
}

QTEST_GUILESS_MAIN(TestAuDrivers)
#include "tst_audrivers.moc"
