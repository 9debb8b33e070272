#include "core/Stamps.h"
#include "engine/Engine.h"
#include "support/ManualTime.h"
#include "support/TestDatabase.h"
#include "ui/QcChart.h"
#include "ui/frmComm.h"
#include "ui/frmQcChart.h"

#include <QAbstractItemView>
#include <QAction>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;

namespace {

const QDate Today(2026, 12, 9);

// Two controls of parameter 3 on H911 and one on H912 in the last days; QC1 fired a warning and,
// later, two rejections.
void Seed(Test::TestDatabase& tdb)
{
    Database& db = tdb.db();
    const auto result = [&](const char* control, const char* analyzer, int day, double value) {
        tdb.exec(
            QStringLiteral("INSERT INTO control_results (control_id, parameter_id, analyzer_id, time_stamp, "
                           "result) VALUES (?, 3, ?, ?, ?)"),
            {QString::fromLatin1(control), QString::fromLatin1(analyzer),
             db.stamp(SqlStamp(QDateTime(QDate(2026, 12, day), QTime(8, 0)))), value});
    };
    const auto event = [&](int day, const char* rule, const char* severity) {
        tdb.exec(
            QStringLiteral("INSERT INTO control_rule_events (control_id, parameter_id, analyzer_id, "
                           "time_stamp, rule, severity, z_score) VALUES ('QC1', 3, 'H911', ?, ?, ?, 3.1)"),
            {db.stamp(SqlStamp(QDateTime(QDate(2026, 12, day), QTime(8, 0)))), QString::fromLatin1(rule),
             QString::fromLatin1(severity)});
    };
    for (int day = 1; day <= 8; ++day) {
        result("QC1", "H911", day, day == 8 ? 12.0 : 10.0 + 0.1 * (day % 3));
        result("QC2", "H911", day, 20.0 + 0.2 * (day % 2));
    }
    result("QC1", "H912", 3, 10.0);
    result("QC1", "H912", 4, 10.4);
    event(5, "1-2s", "warning");
    event(8, "1-3s", "rejection");
    event(8, "2-2s", "rejection");
}

int PointsOf(QChart* chart, const QColor& colour)
{
    int points = 0;
    for (QAbstractSeries* series : chart->series()) {
        if (auto* scatter = qobject_cast<QScatterSeries*>(series); scatter && scatter->color() == colour)
            points += scatter->count();
    }
    return points;
}

} // namespace

class TestFrmQcChart : public QObject
{
    Q_OBJECT

private slots:
    void chartsAndEventsOfThePeriod();
    void exportPdf();
    void openedOnceFromTheMainWindowsMenu();
};

void TestFrmQcChart::chartsAndEventsOfThePeriod()
{
    Test::TestDatabase tdb(QStringLiteral("sqlite"));
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    Seed(tdb);
    frmQcChart window(tdb.db(), QStringLiteral("H911"), Today);
    window.show();
    QCOMPARE(window.chartCount(), 2); // QC1 and QC2 of this analyzer
    QCOMPARE(window.eventGrid()->model()->rowCount(), 3);

    const QList<QChartView*> views = window.findChildren<QChartView*>();
    QCOMPARE(views.size(), 2);
    QChart* qc1 = views.constFirst()->chart();
    QVERIFY2(qc1->title().contains(QStringLiteral("QC1")), qPrintable(qc1->title()));
    QVERIFY2(qc1->title().contains(QStringLiteral("provisional")), qPrintable(qc1->title()));
    QCOMPARE(PointsOf(qc1, InControlColour), 6);
    QCOMPARE(PointsOf(qc1, WarningColour), 1);
    QCOMPARE(PointsOf(qc1, RejectionColour), 1);

    window.analyzerBox()->setCurrentIndex(window.analyzerBox()->findData(QString()));
    window.reload();
    QCOMPARE(window.chartCount(), 3);
    QVERIFY(window.analyzerBox()->findData(QStringLiteral("H912")) >= 0); // found, now a choice

    window.fromEdit()->setDate(QDate(2026, 12, 6));
    window.toEdit()->setDate(QDate(2026, 12, 7));
    window.findChild<QPushButton*>(QStringLiteral("cmdShow"))->click();
    QCOMPARE(window.chartCount(), 2);
    QCOMPARE(window.eventGrid()->model()->rowCount(), 0);
}

void TestFrmQcChart::exportPdf()
{
    Test::TestDatabase tdb(QStringLiteral("sqlite"));
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    Seed(tdb);
    frmQcChart window(tdb.db(), QStringLiteral("H911"), Today);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("qc.pdf"));
    window.setPdfFileChooser([&] { return file; });
    window.findChild<QPushButton*>(QStringLiteral("cmdExportPdf"))->click();
    QFile pdf(file);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.size() > 1000);
    QCOMPARE(pdf.read(5), QByteArray("%PDF-"));

    QVERIFY(!window.exportPdf(dir.filePath(QStringLiteral("absent/qc.pdf"))).isEmpty());
}

void TestFrmQcChart::openedOnceFromTheMainWindowsMenu()
{
    Test::TestDatabase tdb(QStringLiteral("sqlite"));
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    Seed(tdb);
    Test::ManualTime clock(QDateTime(Today, QTime(9, 30)));
    Engine engine(clock, clock);
    engine.settings().AnalyzerId = QStringLiteral("H911");
    QCOMPARE(engine.database().open(tdb.target()), QString());
    frmComm window(engine);
    QCOMPARE(window.qcAction()->text(), QStringLiteral("&Quality control..."));
    QVERIFY(window.actions().contains(window.qcAction())); // the window's own context menu

    window.qcAction()->trigger();
    QPointer<frmQcChart> chart = window.qcChart();
    QVERIFY(chart);
    QVERIFY(chart->isVisible());
    QVERIFY(chart->isWindow());
    QCOMPARE(chart->toEdit()->date(), Today); // the engine's clock says what today is
    QCOMPARE(chart->chartCount(), 2);
    window.qcAction()->trigger();
    QCOMPARE(window.qcChart(), chart.data());
    chart->close();
    QTRY_VERIFY(!chart);
}

QTEST_MAIN(TestFrmQcChart)
#include "tst_frmqcchart.moc"
