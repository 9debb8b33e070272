#include "StoreFixture.h"
#include "drivers/au/AuReceivedJob.h"
#include "store/CalibrationDialogs.h"
#include "store/CalibrationStore.h"
#include "store/LimsReports.h"
#include "store/Store.h"

#include <QTest>

using namespace Quorlix;

namespace {

class RecordingDialogs final : public CalibrationDialogs
{
public:
    void showMismatch(const CalibrationRecord& copy) override { shown.append(copy); }
    QList<CalibrationRecord> shown;
};

// Calibrations of parameter 7 (GLU) from a Hitachi 911 named A1. The tests that set an AU type
// get the AU family's rules, as its driver registers them.
struct Fixture : Test::StoreFixture
{
    explicit Fixture(const QString& backend) : StoreFixture(backend)
    {
        SetAuStoreRules(store.kinds());
        setup.AnalyzerId = QStringLiteral("A1");
        tdb.exec(QStringLiteral("INSERT INTO test_def (parameter_id, short) VALUES (7, 'GLU')"));
    }

    // A calibration of parameter 7 with count standards; standard j reads j/10 + 0.0234 and so on.
    void calibration(int count)
    {
        CalibrationRecord& c = calibrationRecord;
        c = CalibrationRecord();
        c.CalChannel = 5;
        c.CalParameterId = 7;
        c.CalStdCount = static_cast<qint16>(count);
        c.CalAlarm = QStringLiteral("A");
        c.CalSdValue = QStringLiteral("0.5");
        for (int j = 0; j < MaxStandards; ++j) {
            CalStandard& s = c.CalStandards[static_cast<size_t>(j)];
            s.StdNo = QString::number(j + 1);
            s.Readings = {QStringLiteral("0.1234"), QStringLiteral("0.0100"), QStringLiteral("0.1236"),
                          QStringLiteral("0.0101")};
            s.Concentration = QStringLiteral("9");
            s.DataAlarm = QStringLiteral("H");
            s.ProzoneValue = QStringLiteral("12");
        }
    }
    void settings(int stdcount)
    {
        tdb.exec(
            QStringLiteral("INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, c5, c6) "
                           "VALUES ('A1', 7, ?, 1.5, 2, 3, 4, 5, NULL)"),
            {stdcount});
    }
    QString column(const QString& name)
    {
        return text(QStringLiteral("SELECT %1 FROM calibrations").arg(name));
    }

    RecordingDialogs dialogs;
};

} // namespace

class TestCalibrationStore : public QObject
{
    Q_OBJECT

private slots:
    void columnMapping_data();
    void columnMapping();
    void mismatch_data();
    void mismatch();
    void repair_data();
    void repair();
    void frameFromStoredCalibration_data() { Test::AddBackendRows(); }
    void frameFromStoredCalibration();
};

void TestCalibrationStore::columnMapping_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("firstStandard"); // s11ini, s12ini, s11abs, s12abs
    for (const QString& backend : Test::Backends()) {
        QTest::newRow(qPrintable(backend + QStringLiteral("/Hitachi unscaled")))
            << backend << "H911"
            << QStringList{QStringLiteral("0.01"), QStringLiteral("0.0101"), QStringLiteral("0.1234"),
                           QStringLiteral("0.1236")};
        QTest::newRow(qPrintable(backend + QStringLiteral("/AU400 times 10000")))
            << backend << "OAU400"
            << QStringList{QStringLiteral("100"), QStringLiteral("101"), QStringLiteral("1234"),
                           QStringLiteral("1236")};
        QTest::newRow(qPrintable(backend + QStringLiteral("/AU680 times 10000")))
            << backend << "OAU680"
            << QStringList{QStringLiteral("100"), QStringLiteral("101"), QStringLiteral("1234"),
                           QStringLiteral("1236")};
    }
}

void TestCalibrationStore::columnMapping()
{
    QFETCH(QString, backend);
    QFETCH(QString, type);
    QFETCH(QStringList, firstStandard);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.setup.AnalyzerType = type;
    f.settings(2);
    f.calibration(2);
    f.calibrationRecord.CalStandards[1].Readings = {QString(), QStringLiteral(" "), QString(), QString()};
    f.calibrationRecord.CalStandards[1].ProzoneValue = QStringLiteral("O'P");
    f.storeCalibration();

    QCOMPARE(f.tdb.count(QStringLiteral("calibrations")), 1);
    QCOMPARE(f.column(QStringLiteral("analyzer_id")), QStringLiteral("A1"));
    QCOMPARE(f.column(f.stampOf(QStringLiteral("calib_dat"))), QStringLiteral("2026-12-07 10:39:40"));
    QCOMPARE(f.column(QStringLiteral("parameter_id")), QStringLiteral("7"));
    QCOMPARE(f.column(QStringLiteral("std_count")), QStringLiteral("2"));
    QCOMPARE(f.column(QStringLiteral("calibalarm")), QStringLiteral("A"));
    QCOMPARE(f.column(QStringLiteral("sd_val")), QStringLiteral("0.5"));
    QCOMPARE(QStringList({f.column(QStringLiteral("s11ini")), f.column(QStringLiteral("s12ini")),
                          f.column(QStringLiteral("s11abs")), f.column(QStringLiteral("s12abs"))}),
             firstStandard);
    QCOMPARE(f.column(QStringLiteral("s1dataalarm")), QStringLiteral("H"));
    QCOMPARE(f.column(QStringLiteral("s1conz")),
             QStringLiteral("1.5")); // expected concentration from calib_base
    QCOMPARE(f.column(QStringLiteral("s1prozone_val")), QStringLiteral("12"));
    // Empty readings are stored as 0.
    QCOMPARE(
        QStringList({f.column(QStringLiteral("s21ini")), f.column(QStringLiteral("s22ini")),
                     f.column(QStringLiteral("s21abs")), f.column(QStringLiteral("s22abs"))}),
        QStringList({QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")}));
    QCOMPARE(f.column(QStringLiteral("s2conz")), QStringLiteral("2"));
    QCOMPARE(f.column(QStringLiteral("s2prozone_val")), QStringLiteral("O'P"));
    // Standards beyond the count are not written.
    QCOMPARE(f.tdb.count(QStringLiteral("calibrations"),
                         QStringLiteral("s31abs IS NULL AND s3conz IS NULL AND s3dataalarm IS NULL")),
             1);
}

void TestCalibrationStore::mismatch_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("stdcount"); // 0: no calib_base row
    QTest::addColumn<int>("reported");
    QTest::addColumn<QString>("chart");
    QTest::addColumn<bool>("headless");
    QTest::addColumn<bool>("window");
    QTest::addColumn<QStringList>("concentrations"); // of the stored row or the window's copy
    const QStringList fromSettings{QStringLiteral("1.5"), QStringLiteral("2"), QStringLiteral("3"),
                                   QStringLiteral("4"),   QStringLiteral("5"), QStringLiteral("9")};
    const QStringList fromRecord{QStringLiteral("9"), QStringLiteral("9"), QStringLiteral("9"),
                                 QStringLiteral("9"), QStringLiteral("9"), QStringLiteral("9")};
    for (const QString& backend : Test::Backends()) {
        auto row = [&](const char* name) -> QTestData& {
            return QTest::newRow(qPrintable(backend + QLatin1Char('/') + QLatin1String(name)));
        };
        row("5 expected, 6 sent, chart on: window")
            << backend << 5 << 6 << "1" << false << true << fromSettings;
        row("5 expected, 6 sent, chart off: stored")
            << backend << 5 << 6 << "0" << false << false << fromSettings;
        row("5 expected, 6 sent, headless: stored")
            << backend << 5 << 6 << "1" << true << false << fromSettings;
        row("no settings, chart on: window") << backend << 0 << 6 << "1" << false << true << fromRecord;
        row("no settings, chart off: stored as sent")
            << backend << 0 << 6 << "0" << false << false << fromRecord;
        row("counts agree: stored") << backend << 6 << 6 << "1" << false << false
                                    << QStringList{QStringLiteral("1.5"), QStringLiteral("2"),
                                                   QStringLiteral("3"),   QStringLiteral("4"),
                                                   QStringLiteral("5"),   QString()};
    }
}

void TestCalibrationStore::mismatch()
{
    QFETCH(QString, backend);
    QFETCH(int, stdcount);
    QFETCH(int, reported);
    QFETCH(QString, chart);
    QFETCH(bool, headless);
    QFETCH(bool, window);
    QFETCH(QStringList, concentrations);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    if (stdcount > 0)
        f.settings(stdcount);
    f.setup.ShowCalibChart = chart;
    f.store.setCalibrationDialogs(headless ? nullptr : &f.dialogs);
    f.calibration(reported);
    f.storeCalibration();

    QCOMPARE(f.dialogs.shown.size(), window ? 1 : 0);
    QCOMPARE(f.tdb.count(QStringLiteral("calibrations")), window ? 0 : 1);
    QStringList actual;
    for (int j = 1; j <= 6; ++j) {
        actual << (window ? f.dialogs.shown.first().CalStandards[static_cast<size_t>(j - 1)].Concentration
                          : f.column(QStringLiteral("s%1conz").arg(j)));
    }
    QCOMPARE(actual, concentrations);
    QCOMPARE(f.monitor().filter(QStringLiteral("no window")).size(), headless ? 1 : 0);
}

void TestCalibrationStore::repair_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("future");
    for (const QString& backend : Test::Backends()) {
        QTest::newRow(qPrintable(backend + QStringLiteral("/this calibration"))) << backend << false;
        QTest::newRow(qPrintable(backend + QStringLiteral("/future calibrations"))) << backend << true;
    }
}

void TestCalibrationStore::repair()
{
    QFETCH(QString, backend);
    QFETCH(bool, future);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.setup.AnalyzerType = QStringLiteral("OAU600");
    f.settings(5);
    f.calibration(6);
    CalibrationRecord copy = f.calibrationRecord;
    const QStringList typed{QStringLiteral("1"), QStringLiteral("2"),   QString(),
                            QStringLiteral("4"), QStringLiteral("5,5"), QStringLiteral("6")};
    for (int j = 0; j < 6; ++j)
        copy.CalStandards[static_cast<size_t>(j)].Concentration = typed.at(j);
    f.calibration(1); // a later calibration overwrites the shared record: the copy is what counts
    f.store.StoreRepairedCalibration(copy, future);

    QCOMPARE(f.tdb.count(QStringLiteral("calibrations")), 1);
    QCOMPARE(f.column(QStringLiteral("std_count")), QStringLiteral("6"));
    QCOMPARE(f.column(QStringLiteral("s3conz")), QString());
    QCOMPARE(f.column(QStringLiteral("s5conz")), QStringLiteral("5.5"));
    QCOMPARE(f.column(QStringLiteral("s61abs")),
             QStringLiteral("1234")); // stored as StoreCalibration stores it
    QCOMPARE(f.column(f.stampOf(QStringLiteral("calib_dat"))), QStringLiteral("2026-12-07 10:39:40"));
    QCOMPARE(f.tdb.count(QStringLiteral("calib_base")), 1);
    if (future) {
        QCOMPARE(
            f.tdb.count(
                QStringLiteral("calib_base"),
                QStringLiteral("stdcount = 6 AND c1 = 1 AND c2 = 2 AND c3 IS NULL AND c5 = 5.5 AND c6 = 6")),
            1);
    } else {
        QCOMPARE(f.tdb.count(QStringLiteral("calib_base"),
                             QStringLiteral("stdcount = 5 AND c1 = 1.5 AND c6 IS NULL")),
                 1);
    }
}

void TestCalibrationStore::frameFromStoredCalibration()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.setup.OutType = QStringLiteral("invH912");
    f.setup.OutComPort = 2;
    f.setup.AnalyzerType = QStringLiteral("OAU400");
    f.tdb.exec(QStringLiteral(
        "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (7, 'A1', 5)"));
    f.settings(3);
    f.calibration(3);
    CalibrationRecord& c = f.calibrationRecord;
    c.CalAlarm.clear();
    c.CalSdValue = QStringLiteral("12.5");
    c.CalStandards[0].Readings = {QStringLiteral("0.1234"), QStringLiteral("0.0050"),
                                  QStringLiteral("0.1236"), QStringLiteral("0.0051")};
    c.CalStandards[0].DataAlarm.clear();
    c.CalStandards[0].ProzoneValue.clear();
    c.CalStandards[1].Readings = {QStringLiteral("0.2234"), QStringLiteral("0.0060"),
                                  QStringLiteral("0.2236"), QStringLiteral("0.0061")};
    c.CalStandards[1].ProzoneValue = QStringLiteral("7");
    c.CalStandards[2].Readings = {QString(), QString(), QString(), QString()};
    c.CalStandards[2].DataAlarm.clear();
    c.CalStandards[2].ProzoneValue.clear();
    f.storeCalibration();
    QString frame;
    QVERIFY(CalibrationFrameFromDb(f.tdb.db(), QStringLiteral("20261207 10:39:40"), 7, &frame).ok());

    // ":G", seven blanks, channel (2), standard count, alarm; per standard: digit, 1abs, 1ini,
    // 2abs, 2ini (6 each), data alarm (1), prozone (6); the blank standards 4..6 are left out.
    const QString expected =
        Test::Stx + QStringLiteral(":G       ") + QStringLiteral(" 5") + QStringLiteral("3") +
        QStringLiteral(" ") + QStringLiteral("1  1234    50  1236    51       ") +
        QStringLiteral("2  2234    60  2236    61H     7") +
        QStringLiteral("3     0     0     0     0       ") + QStringLiteral("    12.5") + Test::Etx;
    QCOMPARE(frame, expected);
    QCOMPARE(f.limsLine.takeSent(), expected);
}

QTEST_GUILESS_MAIN(TestCalibrationStore)
#include "tst_calibrationstore.moc"
