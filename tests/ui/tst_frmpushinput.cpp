// The manual input window under the offscreen platform: keys typed into its boxes, its buttons
// clicked, and the rows it leaves in the database.
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Settings.h"
#include "support/TestDatabase.h"
#include "ui/frmPushInput.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

namespace {

// Station ST1 for parameter 7 (ETH); a value below 4.99 is suspicious. Users TECH1 and TECH2.
struct Station
{
    explicit Station(const QString& autoVal = "0", std::optional<qint16> parameter = 7) : tdb("sqlite")
    {
        settings.AnalyzerId = "ST1";
        settings.AnalyzerType = "INPUT";
        settings.InputParameterId = parameter;
        settings.AutoVal = autoVal;
        settings.ControlMask = "QC??";
        settings.InputTableName = "INPUT_ST1";
        settings.Language = "german";
        tdb.exec(tdb.target().dialect.createEmptyCopy("INPUT_ST1", "request"));
        for (const char* sql :
             {"INSERT INTO test_def (parameter_id, short, Long) VALUES (7, 'ETH', 'Ethanol')",
              "INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
              "VALUES (7, 0, 4.99, 1, 1, 2)",
              "INSERT INTO user_base (userid, comment) VALUES ('TECH1', 'one')",
              "INSERT INTO user_base (userid, comment) VALUES ('TECH2', 'two')",
              "INSERT INTO textstrings (\"key\", english, german) VALUES (6601, 'User', 'Benutzer')",
              "INSERT INTO textstrings (\"key\", english, german) VALUES (6602, 'Select a user', NULL)",
              "INSERT INTO textstrings (\"key\", english, german) VALUES (6603, 'Sample ID', 'Proben-ID')"})
            tdb.exec(sql);
        window = std::make_unique<frmPushInput>(tdb.db(), log, settings, clock);
        window->setEndProgram([this] { ++ended; });
        window->setPictureWindow([this](const QString& user) { pictureUsers << user; });
        window->show();
        QApplication::setActiveWindow(window.get());
        active = QTest::qWaitForWindowActive(window.get());
    }
    void login(const QString& user = "TECH1")
    {
        QComboBox* users = window->cbUser();
        users->setCurrentIndex(users->findText(user));
        emit users->activated(users->currentIndex());
    }
    // Types a text and Enter into a box.
    void type(QLineEdit* box, const QString& text)
    {
        box->setFocus();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }
    void enter(const QString& sample, const QString& result)
    {
        type(window->txtSampleID(), sample);
        type(window->txtResult(), result);
    }
    // The history rows in use, newest first, as "sample=result".
    QStringList history() const
    {
        QStringList rows;
        for (int i = 0; i < frmPushInput::HistoryRows; ++i)
            rows << (window->historySampleLabel(i)->isVisible()
                         ? window->historySampleLabel(i)->text() + '=' + window->historyResultLabel(i)->text()
                         : QString("-"));
        while (!rows.isEmpty() && rows.last() == "-")
            rows.removeLast();
        return rows;
    }

    TestDatabase tdb;
    ManualClock clock{QDateTime(QDate(2026, 12, 7), QTime(10, 39, 40))};
    QLocale locale{QLocale::German, QLocale::Germany};
    CommLog log{clock, locale};
    Settings settings;
    std::unique_ptr<frmPushInput> window;
    bool active = false;
    int ended = 0;
    QStringList pictureUsers;
};

QColor Background(QLabel* label)
{
    return label->palette().color(QPalette::Window);
}

} // namespace

class TestFrmPushInput : public QObject
{
    Q_OBJECT

private slots:
    void loadAndUser();
    void parameterNotConfigured();
    void invalidTextIsSelected_data();
    void invalidTextIsSelected();
    void entriesByRoute_data();
    void entriesByRoute();
    void historyOfEight();
    void deleteRows_data();
    void deleteRows();
    void historyColours();
    void commandWords();
    void wordsThatBeginAnIdAreIds_data();
    void wordsThatBeginAnIdAreIds();
    void refusedResultSaysWhy_data();
    void refusedResultSaysWhy();
};

void TestFrmPushInput::loadAndUser()
{
    Station st;
    QVERIFY(st.tdb.ok() && st.active);
    frmPushInput& w = *st.window;
    QCOMPARE(st.tdb.count("quorlix_log", "log_key = 'ST1' AND log_val = 'SessionStart'"), 1);
    QCOMPARE(w.windowTitle(), QString("Quorlix Input - ST1"));
    QCOMPARE(w.lblParameter()->text(), QString("Ethanol"));
    QCOMPARE(w.lblDevice()->text(), QString("ST1"));
    QCOMPARE(w.findChild<QLabel*>("lblSampleID")->text(), QString("Proben-ID"));
    QCOMPARE(w.findChild<QLabel*>("lblResult")->text(), QString("@N/A")); // no text for its key
    QCOMPARE(w.lblSelectUser()->text(), QString("Select a user"));        // German missing: English
    QCOMPARE(w.lblSelectUser()->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(!w.txtSampleID()->isVisible() && !w.txtResult()->isVisible() &&
            !w.cmdClearSession()->isVisible());
    QCOMPARE(w.lblSampleCTR()->text(), QString("0"));
    QCOMPARE(w.cbUser()->count(), 2);

    st.login("TECH2");
    QVERIFY(w.txtSampleID()->isVisible() && w.txtResult()->isVisible() && w.cmdClearSession()->isVisible());
    QCOMPARE(w.lblSelectUser()->text(), QString("Benutzer"));
    QCOMPARE(w.lblSelectUser()->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    QTRY_COMPARE(QApplication::focusWidget(), w.txtSampleID());
}

void TestFrmPushInput::parameterNotConfigured()
{
    Station st("0", 99);
    QVERIFY(st.tdb.ok() && st.active);
    QCOMPARE(st.window->lblParameter()->text(), QString("Parameter not configured!"));
    st.login();
    QVERIFY(!st.window->txtSampleID()->isVisible()); // no entries without the parameter
}

void TestFrmPushInput::invalidTextIsSelected_data()
{
    QTest::addColumn<QString>("entry"); // sample id|result
    QTest::addColumn<bool>("stored");
    QTest::newRow("blank in the id") << "S 1|5" << false;
    QTest::newRow("plus in the id") << "S+1|5" << false;
    QTest::newRow("quote in the id") << "S'1|5" << false;
    QTest::newRow("paragraph sign in the id") << QString::fromUtf8("S\u00a71|5") << false;
    QTest::newRow("plus in the result") << "S1|+5" << true;
    QTest::newRow("blank in the result") << "S1|5 5" << false;
    QTest::newRow("backslash in the result") << "S1|5\\" << false;
    QTest::newRow("a result that is no number") << "S1|pos" << false;
}

void TestFrmPushInput::invalidTextIsSelected()
{
    QFETCH(QString, entry);
    QFETCH(bool, stored);
    const QString sample = entry.section('|', 0, 0);
    const QString result = entry.section('|', 1);
    Station st;
    QVERIFY(st.tdb.ok() && st.active);
    st.login();
    frmPushInput& w = *st.window;
    st.type(w.txtSampleID(), sample);
    if (!ManualInput::IsValidSampleId(sample)) {
        QCOMPARE(w.txtSampleID()->selectedText(), sample); // for the next scan to replace
        QCOMPARE(QApplication::focusWidget(), w.txtSampleID());
        return;
    }
    QCOMPARE(QApplication::focusWidget(), w.txtResult());
    st.type(w.txtResult(), result);
    QCOMPARE(st.tdb.count("Raw_Results"), stored ? 1 : 0);
    if (!stored)
        QCOMPARE(w.txtResult()->selectedText(), result);
    QCOMPARE(w.SessionSampleCounter(), stored ? 1 : 0);
}

void TestFrmPushInput::entriesByRoute_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<int>("autoVal");
    QTest::addColumn<QString>("rows"); // the tables that received the value
    QTest::newRow("AutoVal 0: raw and device table") << "S1" << 0 << "raw dev";
    QTest::newRow("AutoVal 1: raw and results") << "S1" << 1 << "raw res";
    QTest::newRow("a control id: control_results only") << "QC01" << 1 << "ctl";
}

void TestFrmPushInput::entriesByRoute()
{
    QFETCH(QString, sample);
    QFETCH(int, autoVal);
    Station st(QString::number(autoVal));
    QVERIFY(st.tdb.ok() && st.active);
    st.login();
    st.enter(sample, "12,5"); // a decimal comma is stored as a point
    QStringList rows;
    for (const auto& [name, table] : {std::pair("raw", "Raw_Results"), std::pair("dev", "INPUT_ST1"),
                                      std::pair("res", "results"), std::pair("ctl", "control_results")}) {
        const QString value = st.tdb.scalar(QString("SELECT result FROM ") + table);
        if (!value.isEmpty())
            rows << name;
        QVERIFY(value.isEmpty() || value == "12.5");
    }
    QTEST(rows.join(' '), "rows");
    QCOMPARE(st.history(), QStringList{sample + "=12,5"}); // as typed
    QCOMPARE(st.window->lblSampleCTR()->text(), QString("1"));
    QCOMPARE(st.window->txtSampleID()->text(), QString());
    QVERIFY(st.log.recentLines().first().contains("  INPUT: Enter "));
}

void TestFrmPushInput::historyOfEight()
{
    Station st;
    QVERIFY(st.tdb.ok() && st.active);
    st.login();
    QStringList expected;
    for (int n = 1; n <= 9; ++n) {
        st.enter(QString("S%1").arg(n), QString::number(n));
        expected.prepend(QString("S%1=%1").arg(n));
    }
    // The ninth entry pushes the oldest out of row 7.
    QCOMPARE(st.history(), expected.mid(0, 8));
    QCOMPARE(st.window->SessionSampleCounter(), 9);
    QCOMPARE(st.window->historySampleLabel(0)->font().pointSize(), 14);
    QVERIFY(st.window->historySampleLabel(7)->font().bold());
}

void TestFrmPushInput::deleteRows_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("history");
    QTest::addColumn<int>("deviceRows");
    QTest::newRow("DEL3 deletes row 2") << "DEL3" << QStringList{"S3=3", "S2=2", "-", "S0=0"} << 3;
    QTest::newRow("DEL1 deletes row 0") << "DEL1" << QStringList{"-", "S2=2", "S1=1", "S0=0"} << 3;
    QTest::newRow("DEL alone does nothing") << "DEL" << QStringList{"S3=3", "S2=2", "S1=1", "S0=0"} << 4;
    QTest::newRow("DEL and two digits does nothing")
        << "DEL12" << QStringList{"S3=3", "S2=2", "S1=1", "S0=0"} << 4;
    QTest::newRow("an empty row: nothing") << "DEL7" << QStringList{"S3=3", "S2=2", "S1=1", "S0=0"} << 4;
}

void TestFrmPushInput::deleteRows()
{
    QFETCH(QString, command);
    Station st;
    QVERIFY(st.tdb.ok() && st.active);
    st.login();
    for (int n = 0; n < 4; ++n)
        st.enter(QString("S%1").arg(n), QString::number(n));
    st.type(st.window->txtSampleID(), command);
    QTEST(st.history(), "history");
    QFETCH(int, deviceRows);
    QCOMPARE(st.tdb.count("INPUT_ST1"), deviceRows);
    QCOMPARE(st.window->SessionSampleCounter(), deviceRows);

    // A click on a delete mark deletes its row too; a new entry moves every row down by one.
    QTest::mouseClick(st.window->historyDeleteLabel(0), Qt::LeftButton);
    st.enter("S9", "9");
    QCOMPARE(st.history().mid(0, 2), QStringList({"S9=9", "-"}));
    QCOMPARE(st.tdb.count("INPUT_ST1", "sample_id = 'S3'"), 0);
}

void TestFrmPushInput::historyColours()
{
    Station st;
    QVERIFY(st.tdb.ok() && st.active);
    st.login();
    st.enter("S1", "-5");
    st.enter("S2", "3");
    st.enter("S3", "7");
    frmPushInput& w = *st.window;
    const QColor face = w.palette().color(QPalette::Button);
    QCOMPARE(Background(w.historyResultLabel(2)), QColor(255, 0, 0)); // -5: red background
    QCOMPARE(w.historyResultLabel(2)->palette().color(QPalette::WindowText), QColor(0, 0, 0));
    QCOMPARE(Background(w.historyResultLabel(1)), face); // 3: below the suspicious cut-off, red text
    QCOMPARE(w.historyResultLabel(1)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(w.historyResultLabel(0)->palette().color(QPalette::WindowText), QColor(0, 0, 0));
}

void TestFrmPushInput::commandWords()
{
    Station st;
    QVERIFY(st.tdb.ok() && st.active);
    st.login("TECH2");
    frmPushInput& w = *st.window;
    st.enter("S1", "1");
    st.enter("QC01", "2");

    w.txtSampleID()->setText("S5");
    st.type(w.txtResult(), "ESC"); // in the result box too
    QCOMPARE(w.txtSampleID()->text(), QString());
    QCOMPARE(st.tdb.count("Raw_Results"), 1);

    st.type(w.txtSampleID(), "PIC");
    QCOMPARE(st.pictureUsers, QStringList{"TECH2"});

    QTest::keyClicks(w.txtSampleID(), "S6");
    QTest::keyClick(w.txtSampleID(), Qt::Key_Escape);
    QCOMPARE(w.txtSampleID()->text(), QString());

    st.type(w.txtSampleID(), "CLS");
    QCOMPARE(st.history(), QStringList());
    QCOMPARE(w.SessionSampleCounter(), 0);
    QCOMPARE(st.tdb.count("INPUT_ST1") + st.tdb.count("control_results"), 0);

    QCOMPARE(st.ended, 0);
    st.type(w.txtResult(), "END");
    QCOMPARE(st.ended, 1);
    w.cmdClose()->click();
    QCOMPARE(st.ended, 2);
}

void TestFrmPushInput::wordsThatBeginAnIdAreIds_data()
{
    QTest::addColumn<QString>("id");
    QTest::newRow("CLS...") << "CLS123";
    QTest::newRow("END...") << "END4711";
}

void TestFrmPushInput::wordsThatBeginAnIdAreIds()
{
    QFETCH(QString, id);
    Station st;
    QVERIFY(st.tdb.ok() && st.active);
    st.login();
    st.enter("S1", "1");
    st.enter(id, "2");
    QCOMPARE(st.ended, 0);
    QCOMPARE(st.history(), QStringList({id + "=2", "S1=1"}));
    QCOMPARE(st.tdb.rows("SELECT sample_id FROM INPUT_ST1 ORDER BY sample_id"), id + ";S1");
}

void TestFrmPushInput::refusedResultSaysWhy_data()
{
    QTest::addColumn<QString>("result");
    QTest::newRow("a word") << "pos";
    QTest::newRow("a comparison") << "<0.5";
}

void TestFrmPushInput::refusedResultSaysWhy()
{
    QFETCH(QString, result);
    Station st;
    QVERIFY(st.tdb.ok() && st.active);
    st.login();
    st.enter("S1", result);
    QCOMPARE(st.tdb.count("Raw_Results"), 0);
    const QString why = QString("result \"%1\" of S1 is not a number: not stored").arg(result);
    QCOMPARE(st.window->lblStatus()->text(), why);
    QVERIFY(st.window->lblStatus()->isVisible());
    QCOMPARE(st.window->txtResult()->selectedText(), result);
    // The next entry that is stored clears it.
    st.window->txtResult()->clear();
    st.type(st.window->txtResult(), "0.4");
    QCOMPARE(st.window->lblStatus()->text(), QString());
    QCOMPARE(st.tdb.count("Raw_Results"), 1);
}

QTEST_MAIN(TestFrmPushInput)
#include "tst_frmpushinput.moc"
