#include "store/StoreFixture.h"
#include "ui/frmKalibError.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace Quorlix;

namespace {

struct Fixture : Test::StoreFixture
{
    explicit Fixture(const QString& backend) : StoreFixture(backend)
    {
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
        setup.AnalyzerId = QStringLiteral("A1");
        setup.ShowCalibChart = QStringLiteral("1");
        tdb.exec(QStringLiteral("INSERT INTO test_def (parameter_id, short) VALUES (7, 'GLU'), (8, 'CHOL')"));
    }
};

CalibrationRecord Calibration(qint16 parameter, int count)
{
    CalibrationRecord c;
    c.CalParameterId = parameter;
    c.CalStdCount = static_cast<qint16>(count);
    c.CalAlarm = QStringLiteral("A");
    for (int j = 0; j < MaxStandards; ++j) {
        CalStandard& s = c.CalStandards[static_cast<size_t>(j)];
        s.Readings = {QString::number(100 * (j + 1)), QStringLiteral("1"),
                      QString::number(100 * (j + 1) + 21), QStringLiteral("2")};
        s.Concentration = QString::number(j + 1);
    }
    return c;
}

// Deletes the windows that closed.
void ProcessDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TestFrmKalibError : public QObject
{
    Q_OBJECT

private slots:
    void updateFillsTheWindow_data() { Test::AddBackendRows(); }
    void updateFillsTheWindow();
    void nonNumericConcentrationIsCleared_data() { Test::AddBackendRows(); }
    void nonNumericConcentrationIsCleared();
    void repair_data();
    void repair();
    void ignoreStoresNothing_data() { Test::AddBackendRows(); }
    void ignoreStoresNothing();
    void severalWindowsAtOnce_data() { Test::AddBackendRows(); }
    void severalWindowsAtOnce();
};

void TestFrmKalibError::updateFillsTheWindow()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    frmKalibError window(f.store);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    CalibrationRecord c = Calibration(7, 3);
    c.CalStandards[1].Readings = {QStringLiteral("0.4"), QString(), QStringLiteral("0.6"), QString()};
    c.CalStandards[2].Concentration.clear();
    window.update(c);

    QCOMPARE(window.windowTitle(), QStringLiteral("Parameter: GLU"));
    QCOMPARE(window.messageLabel()->text(),
             QStringLiteral("The analyzer has sent calibration data not fitting your settings !"));
    QCOMPARE(window.concentrationHeader()->text(), QStringLiteral("Concentration"));
    QCOMPARE(window.absorbanceHeader()->text(), QStringLiteral("average Absorbance"));
    QCOMPARE(window.effectBox()->title(), QStringLiteral("effect on ..."));
    QCOMPARE(window.thisCalibrationOption()->text(), QStringLiteral("... this calibration"));
    QCOMPARE(window.futureCalibrationsOption()->text(), QStringLiteral("... future calibrations"));
    QCOMPARE(window.cmdRepair()->text(), QStringLiteral("Repair"));
    QCOMPARE(window.cmdIgnore()->text(), QStringLiteral("Ignore"));
    QVERIFY(window.thisCalibrationOption()->isChecked());
    QVERIFY(!window.isModal());
    QVERIFY(window.findChild<QLineEdit*>(QStringLiteral("txtcon(1)")));

    // Average of the first and third reading, rounded.
    QCOMPARE(window.lblAbs(1)->text(), QStringLiteral("111"));
    QCOMPARE(window.lblAbs(2)->text(), QStringLiteral("1"));
    QCOMPARE(window.lblAbs(3)->text(), QStringLiteral("311"));
    QCOMPARE(window.txtcon(1)->text(), QStringLiteral("1"));
    QCOMPARE(window.txtcon(3)->text(), QString());
    for (int i = 1; i <= 6; ++i) {
        QCOMPARE(!window.txtcon(i)->isHidden(), i <= 3);
        QCOMPARE(!window.lblAbs(i)->isHidden(), i <= 3);
    }
}

void TestFrmKalibError::nonNumericConcentrationIsCleared()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    frmKalibError window(f.store);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.update(Calibration(7, 2));
    window.txtcon(1)->setText(QStringLiteral("2,5"));
    QCOMPARE(window.record().CalStandards[0].Concentration, QStringLiteral("2,5"));
    QTest::keyClicks(window.txtcon(2), QStringLiteral("x"));
    QCOMPARE(window.txtcon(2)->text(), QString());
    QCOMPARE(window.record().CalStandards[1].Concentration, QString());
}

void TestFrmKalibError::repair_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("future");
    for (const QString& backend : Test::Backends()) {
        QTest::newRow(qPrintable(backend + QStringLiteral("/this calibration"))) << backend << false;
        QTest::newRow(qPrintable(backend + QStringLiteral("/future calibrations"))) << backend << true;
    }
}

void TestFrmKalibError::repair()
{
    QFETCH(QString, backend);
    QFETCH(bool, future);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.tdb.exec(QStringLiteral(
        "INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2) VALUES ('A1', 7, 2, 1, 2)"));
    QPointer<frmKalibError> window = new frmKalibError(f.store);
    window->update(Calibration(7, 3));
    window->show();
    window->txtcon(2)->clear();
    window->txtcon(3)->setText(QStringLiteral("7.5"));
    (future ? window->futureCalibrationsOption() : window->thisCalibrationOption())->click();
    window->cmdRepair()->click();
    ProcessDeletes();
    QVERIFY(window.isNull());

    QCOMPARE(f.tdb.count(QStringLiteral("calibrations"),
                         QStringLiteral("parameter_id = 7 AND std_count = 3 AND s1conz = 1 "
                                        "AND s2conz IS NULL AND s3conz = 7.5 AND s31abs = 300")),
             1);
    QCOMPARE(f.tdb.count(QStringLiteral("calib_base")), 1);
    QCOMPARE(f.tdb.count(QStringLiteral("calib_base"),
                         QStringLiteral("stdcount = 3 AND c1 = 1 AND c2 IS NULL AND c3 = 7.5")),
             future ? 1 : 0);
}

void TestFrmKalibError::ignoreStoresNothing()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    QPointer<frmKalibError> window = new frmKalibError(f.store);
    window->update(Calibration(7, 3));
    window->show();
    window->futureCalibrationsOption()->click();
    window->cmdIgnore()->click();
    ProcessDeletes();
    QVERIFY(window.isNull());
    QCOMPARE(f.tdb.count(QStringLiteral("calibrations")), 0);
    QCOMPARE(f.tdb.count(QStringLiteral("calib_base")), 0);
}

void TestFrmKalibError::severalWindowsAtOnce()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    KalibErrorDialogs dialogs(f.store);
    f.store.setCalibrationDialogs(&dialogs);
    // No settings for either parameter: each calibration opens its own window.
    f.calibrationRecord = Calibration(7, 2);
    f.storeCalibration();
    f.calibrationRecord = Calibration(8, 4);
    f.storeCalibration();
    QCOMPARE(f.tdb.count(QStringLiteral("calibrations")), 0);
    const QList<frmKalibError*> windows = dialogs.openWindows();
    QCOMPARE(windows.size(), 2);
    QCOMPARE(windows.at(0)->windowTitle(), QStringLiteral("Parameter: GLU"));
    QCOMPARE(windows.at(1)->windowTitle(), QStringLiteral("Parameter: CHOL"));
    QVERIFY(windows.at(0)->isVisible() && windows.at(1)->isVisible());

    windows.at(1)->cmdIgnore()->click();
    windows.at(0)->cmdRepair()->click();
    ProcessDeletes();
    QCOMPARE(dialogs.openWindows().size(), 0);
    QCOMPARE(f.tdb.count(QStringLiteral("calibrations")), 1);
    QCOMPARE(
        f.tdb.count(QStringLiteral("calibrations"), QStringLiteral("parameter_id = 7 AND std_count = 2")), 1);
}

QTEST_MAIN(TestFrmKalibError)
#include "tst_frmkaliberror.moc"
