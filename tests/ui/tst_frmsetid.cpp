// The ACT sample-ID window under the offscreen platform: the grid of open samples, the choice it
// hands to the ACT driver, and the driver's effects on the window.
#include "core/CommLog.h"
#include "core/Settings.h"
#include "drivers/SampleChoice.h"
#include "drivers/astm/ActDriver.h"
#include "engine/Drivers.h"
#include "engine/Engine.h"
#include "support/ManualTime.h"
#include "support/TestDatabase.h"
#include "ui/DesktopUi.h"
#include "ui/frmSetID.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

namespace {

const QColor Red(255, 0, 0);

// Samples of analyzer ACT1 (parameters 21 and 22 are mapped to it); S90 has an order for another
// analyzer's parameter only.
void AddSample(TestDatabase& db, const QString& id, int parameter, int patient)
{
    db.exec("INSERT INTO request (sample_id, parameter_id) VALUES (?, ?)", {id, parameter});
    db.exec("INSERT INTO sample_base (sample_id, p_id) VALUES (?, ?)", {id, patient});
}

void Setup(TestDatabase& db)
{
    for (const char* sql : {"INSERT INTO param2channel (parameter_id, analyzer_id) VALUES (21, 'ACT1')",
                            "INSERT INTO param2channel (parameter_id, analyzer_id) VALUES (22, 'ACT1')",
                            "INSERT INTO param2channel (parameter_id, analyzer_id) VALUES (30, 'H1')",
                            "INSERT INTO patients (p_id, surname, forename) VALUES (1, 'Doe', 'Jane')",
                            "INSERT INTO control_base (control_id, name) VALUES ('QC-L', 'ACT LOW')",
                            "INSERT INTO control_base (control_id, name) VALUES ('QC-M', 'ACT MED')",
                            "INSERT INTO control_base (control_id, name) VALUES ('QC-H', 'ACT HIGH')",
                            "INSERT INTO control_base (control_id, name) VALUES ('QC-H2', 'ACT HIGH 2')"})
        db.exec(sql);
    for (int n = 1; n <= 6; ++n)
        AddSample(db, QString("S0%1").arg(n), 21, 1);
    db.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S01', 22)"); // one label still
    AddSample(db, "S90", 30, 1);
}

// The grid's labels as "row,column:caption".
QStringList Labels(frmSetID& w)
{
    QStringList labels;
    const QStandardItemModel* model = w.cmdSample();
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int c = 0; c < model->columnCount(); ++c) {
            if (const QStandardItem* item = model->item(r, c))
                labels << QString("%1,%2:%3").arg(r).arg(c).arg(item->text());
        }
    }
    return labels;
}

QStringList RedLabels(frmSetID& w)
{
    QStringList red;
    const QStandardItemModel* model = w.cmdSample();
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int c = 0; c < model->columnCount(); ++c) {
            const QStandardItem* item = model->item(r, c);
            if (item && item->background().color() == Red)
                red << item->data(Qt::UserRole).toString();
        }
    }
    return red;
}

void ClickSample(frmSetID& w, int position)
{
    QTableView* grid = w.sampleGrid();
    const QRect cell = grid->visualRect(w.cmdSample()->index(position / 5, position % 5));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

void TypeNumber(frmSetID& w, const QString& number)
{
    QTest::keyClicks(w.zeingabe(), number);
    QTest::keyClick(w.zeingabe(), Qt::Key_Return);
}

bool ButtonIsRed(frmSetID& w, int n)
{
    return w.controlButton(n)->palette().color(QPalette::Button) == Red;
}

struct Window
{
    Window() : tdb("sqlite")
    {
        settings.AnalyzerId = "ACT1";
        Setup(tdb);
        window = std::make_unique<frmSetID>(tdb.db(), &log, settings);
        window->attach(choice);
        window->show();
    }
    TestDatabase tdb;
    ManualClock clock{QDateTime(QDate(2026, 12, 7), QTime(10, 39, 40))};
    QLocale locale{QLocale::German, QLocale::Germany};
    CommLog log{clock, locale};
    Settings settings;
    SampleChoice choice;
    std::unique_ptr<frmSetID> window;
};

} // namespace

class TestFrmSetID : public QObject
{
    Q_OBJECT

private slots:
    void controlsAndGrid();
    void gridOnlyGrowsUntilRebuilt();
    void choosing();
    void numberBox_data();
    void numberBox();
    void afterEachMessage();
    void desktopWiresTheDriver();
};

void TestFrmSetID::controlsAndGrid()
{
    Window t;
    QVERIFY(t.tdb.ok());
    frmSetID& w = *t.window;
    QCOMPARE(w.windowTitle(), QString("Coulter ACT 8 Kommunikation"));
    QCOMPARE(w.ignoreButton()->text(), QString("Nächste Messung ignorieren"));
    QCOMPARE(w.refreshButton()->text(), QString("Aktualisieren"));
    QCOMPARE(w.Timer1()->interval(), 1000);
    QVERIFY(w.Timer1()->isActive());
    QCOMPARE(w.controlCombo(1)->currentText(), QString("QC-L"));
    QCOMPARE(w.controlCombo(3)->count(), 2);
    // No label twice; the sixth sample starts the second row; another analyzer's sample is not there.
    QCOMPARE(Labels(w), QStringList({"0,0:S01 Doe Jane", "0,1:S02 Doe Jane", "0,2:S03 Doe Jane",
                                     "0,3:S04 Doe Jane", "0,4:S05 Doe Jane", "1,0:S06 Doe Jane"}));
    QCOMPARE(w.SetIdSampleIds().size(), 6);
}

void TestFrmSetID::gridOnlyGrowsUntilRebuilt()
{
    Window t;
    QVERIFY(t.tdb.ok());
    frmSetID& w = *t.window;
    w.refreshGrid();
    QCOMPARE(w.SetIdSampleIds().size(), 6); // the same samples add nothing
    t.tdb.exec("DELETE FROM request WHERE sample_id = 'S01'");
    AddSample(t.tdb, "S07", 22, 1);
    QTRY_COMPARE(w.SetIdSampleIds().size(), 7); // Timer1
    QCOMPARE(w.SetIdSampleIds().first(), QString("S01"));
    QCOMPARE(Labels(w).last(), QString("1,1:S07 Doe Jane"));
    w.refreshButton()->click();
    QCOMPARE(w.SetIdSampleIds(), QStringList({"S02", "S03", "S04", "S05", "S06", "S07"}));
}

void TestFrmSetID::choosing()
{
    Window t;
    QVERIFY(t.tdb.ok());
    frmSetID& w = *t.window;
    ClickSample(w, 5);
    QCOMPARE(t.choice.nextSampleId(), QString("S06"));
    QVERIFY(!t.choice.nextIsControl());
    QCOMPARE(RedLabels(w), QStringList{"S06"});

    w.controlCombo(3)->setCurrentIndex(1);
    w.controlButton(3)->click();
    QCOMPARE(t.choice.nextSampleId(), QString("QC-H2"));
    QVERIFY(t.choice.nextIsControl());
    QCOMPARE(RedLabels(w), QStringList());
    QVERIFY(ButtonIsRed(w, 3) && !ButtonIsRed(w, 1) && !ButtonIsRed(w, 2));

    ClickSample(w, 0);
    QVERIFY(!ButtonIsRed(w, 3));
    w.ignoreButton()->click(); // the next measurement is not filed under any sample
    QCOMPARE(t.choice.nextSampleId(), QString());
    QCOMPARE(RedLabels(w), QStringList());
}

void TestFrmSetID::numberBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("a sample of the grid") << QString("S04") << "S04";
    QTest::newRow("000000 chooses nothing") << QString("000000") << "S02";
    QTest::newRow("a number not in the grid chooses nothing") << QString("S99") << "S02";
}

void TestFrmSetID::numberBox()
{
    QFETCH(QString, typed);
    Window t;
    QVERIFY(t.tdb.ok());
    frmSetID& w = *t.window;
    ClickSample(w, 1);
    TypeNumber(w, typed);
    QTEST(t.choice.nextSampleId(), "chosen");
    QTEST(RedLabels(w).value(0), "chosen");
    QCOMPARE(w.zeingabe()->text(), QString());
}

void TestFrmSetID::afterEachMessage()
{
    Window t;
    QVERIFY(t.tdb.ok());
    frmSetID& w = *t.window;
    QFont bold = w.controlButton(1)->font();
    bold.setBold(true);
    bold.setPointSize(12);
    w.controlButton(1)->setFont(bold);
    t.choice.messageParsed();
    QCOMPARE(w.controlButton(1)->font().pointSize(), 8);
    QVERIFY(!w.controlButton(1)->font().bold());

    // A sample's choice ends with its highlighting; a control's button stays marked.
    ClickSample(w, 2);
    t.choice.consume();
    QCOMPARE(RedLabels(w), QStringList());
    w.controlButton(2)->click();
    t.choice.consume();
    QCOMPARE(t.choice.nextSampleId(), QString());
    QVERIFY(ButtonIsRed(w, 2));
}

void TestFrmSetID::desktopWiresTheDriver()
{
    TestDatabase db("sqlite");
    QVERIFY(db.ok());
    Setup(db);
    QTemporaryDir logs;
    Test::ManualTime clock(QDateTime(QDate(2026, 12, 7), QTime(10, 39, 40)));
    Engine engine(clock, clock);
    engine.settings().AnalyzerId = "ACT1";
    engine.settings().AnalyzerType = "ACT";
    engine.settings().ComLogPath = logs.path() + "/";
    QCOMPARE(engine.database().open(db.target()), QString());
    DesktopUi ui(engine, true);
    QVERIFY(ui.showOperatorWindow(OperatorWindow::SampleChoice));
    frmSetID* window = ui.setIdWindow();
    QVERIFY(window && window->isVisible());
    engine.start();
    auto* driver = dynamic_cast<ActDriver*>(engine.analyzerHandler());
    QVERIFY(driver);
    ClickSample(*window, 3);
    QCOMPARE(driver->choice().nextSampleId(), QString("S04"));
    engine.stop();
}

QTEST_MAIN(TestFrmSetID)
#include "tst_frmsetid.moc"
