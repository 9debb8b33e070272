#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "ui/frmReqMonitor.h"

#include "support/TestDatabase.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

namespace {

QTableView* Grid(QWidget& window, const char* name)
{
    return window.findChild<QTableView*>(QLatin1String(name));
}

QStringList Headers(QTableView* grid)
{
    QStringList headers;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        headers << grid->model()->headerData(c, Qt::Horizontal).toString();
    return headers;
}

// Each row of a grid as its cells joined with "|".
QStringList Rows(QTableView* grid)
{
    const QAbstractItemModel* model = grid->model();
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

void AddTests(TestDatabase& db)
{
    db.exec(QStringLiteral("INSERT INTO test_def (parameter_id, short) VALUES (1, 'GLU')"));
    db.exec(QStringLiteral("INSERT INTO test_def (parameter_id, short) VALUES (2, 'CREA')"));
    db.exec(QStringLiteral("INSERT INTO test_def (parameter_id, short) VALUES (3, 'ALT')"));
}

} // namespace

class TestFrmReqMonitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void controls();
    void rowsJoinedAndOrdered_data() { Test::AddBackendRows(); }
    void rowsJoinedAndOrdered();
    void emptyTablesStillOpen_data() { Test::AddBackendRows(); }
    void emptyTablesStillOpen();
    void reloadShowsTheTablesAsTheyAreNow();
    void unreadableDatabaseIsReported();
};

void TestFrmReqMonitor::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestFrmReqMonitor::controls()
{
    TestDatabase db(QStringLiteral("sqlite"));
    QVERIFY2(db.ok(), qPrintable(db.error()));
    frmReqMonitor window(db.db(), nullptr);
    QCOMPARE(window.windowTitle(), QStringLiteral("Req Monitor"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Request"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("Req2send"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("DataGrid1Caption"))->text(),
             QStringLiteral("Quorlix"));
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("RELOAD"));

    QCOMPARE(Headers(Grid(window, "DataGrid1")),
             QStringList({QStringLiteral("sample_id"), QStringLiteral("short"), QStringLiteral("result")}));
    QCOMPARE(Headers(Grid(window, "DataGrid2")),
             QStringList({QStringLiteral("sample_id"), QStringLiteral("short")}));
    for (QTableView* grid : {Grid(window, "DataGrid1"), Grid(window, "DataGrid2")}) {
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        // 1000 and 600 twips at 1440 to the inch.
        const double dpi = grid->logicalDpiX();
        QCOMPARE(grid->columnWidth(0), qRound(1000 * dpi / 1440));
        QCOMPARE(grid->columnWidth(1), qRound(600 * dpi / 1440));
    }
}

void TestFrmReqMonitor::rowsJoinedAndOrdered()
{
    QFETCH(QString, backend);
    TestDatabase db(backend);
    QVERIFY2(db.ok(), qPrintable(db.error()));
    AddTests(db);
    const QString request =
        QStringLiteral("INSERT INTO request (sample_id, parameter_id, result) VALUES (?, ?, ?)");
    db.exec(request, {QStringLiteral("S2"), 1, Database::null()});
    db.exec(request, {QStringLiteral("S1"), 1, 5.5});
    db.exec(request, {QStringLiteral("S1"), 42, 3.0}); // no test_def row
    db.exec(request, {QStringLiteral("S10"), 3, Database::null()});
    db.exec(request, {QStringLiteral("S1"), 2, 1.25});
    const QString toSend = QStringLiteral("INSERT INTO req2send (sample_id, parameter_id) VALUES (?, ?)");
    db.exec(toSend, {QStringLiteral("B7"), 3});
    db.exec(toSend, {QStringLiteral("A3"), 1});
    db.exec(toSend, {QStringLiteral("A3"), 99}); // no test_def row
    db.exec(toSend, {QStringLiteral("A3"), 3});

    frmReqMonitor window(db.db(), nullptr);
    QTableView* requests = Grid(window, "DataGrid1");
    QCOMPARE(Rows(requests), QStringList({QStringLiteral("S1|CREA|1.25"), QStringLiteral("S1|GLU|5.5"),
                                          QStringLiteral("S10|ALT|"), QStringLiteral("S2|GLU|")}));
    QVERIFY(!(requests->model()->flags(requests->model()->index(0, 2)) & Qt::ItemIsEditable));
    QCOMPARE(Rows(Grid(window, "DataGrid2")),
             QStringList({QStringLiteral("A3|ALT"), QStringLiteral("A3|GLU"), QStringLiteral("B7|ALT")}));
}

void TestFrmReqMonitor::emptyTablesStillOpen()
{
    QFETCH(QString, backend);
    TestDatabase db(backend);
    QVERIFY2(db.ok(), qPrintable(db.error()));
    frmReqMonitor window(db.db(), nullptr);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(Grid(window, "DataGrid1")->model()->rowCount(), 0);
    QCOMPARE(Grid(window, "DataGrid2")->model()->rowCount(), 0);
}

void TestFrmReqMonitor::reloadShowsTheTablesAsTheyAreNow()
{
    TestDatabase db(QStringLiteral("sqlite"));
    QVERIFY2(db.ok(), qPrintable(db.error()));
    AddTests(db);
    db.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 1)"));
    frmReqMonitor window(db.db(), nullptr);

    db.exec(QStringLiteral("DELETE FROM request"));
    db.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id, result) VALUES ('S5', 2, 0.8)"));
    db.exec(QStringLiteral("INSERT INTO req2send (sample_id, parameter_id) VALUES ('2411140017-0042', 2)"));
    QCOMPARE(Rows(Grid(window, "DataGrid1")), QStringList({QStringLiteral("S1|GLU|")})); // a snapshot

    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCOMPARE(Rows(Grid(window, "DataGrid1")), QStringList({QStringLiteral("S5|CREA|0.8")}));
    QTableView* toSend = Grid(window, "DataGrid2");
    QCOMPARE(Rows(toSend), QStringList({QStringLiteral("2411140017-0042|CREA")}));
    // A long sample id widens its column rather than being cut.
    QVERIFY(toSend->columnWidth(0) >
            toSend->fontMetrics().horizontalAdvance(QStringLiteral("2411140017-0042")));
}

void TestFrmReqMonitor::unreadableDatabaseIsReported()
{
    ManualClock clock(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    CommLog log(clock, locale);
    Database closed(QStringLiteral("never-opened"));
    frmReqMonitor window(closed, &log);
    QCOMPARE(Grid(window, "DataGrid1")->model()->rowCount(), 0);
    const QStringList lines = log.recentLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(1).startsWith(QStringLiteral("Monitor: Req Monitor: cannot read request: ")),
             qPrintable(lines.at(1)));
    QVERIFY2(lines.at(0).startsWith(QStringLiteral("Monitor: Req Monitor: cannot read req2send: ")),
             qPrintable(lines.at(0)));
}

QTEST_MAIN(TestFrmReqMonitor)
#include "tst_frmreqmonitor.moc"
