#include "core/CommandLine.h"
#include "core/Database.h"
#include "core/Stamps.h"
#include "engine/QcReport.h"
#include "engine/Startup.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;

namespace {

const QDateTime Measured(QDate(2026, 12, 7), QTime(8, 5, 0));
const QString Header = QStringLiteral("analyzer,control,parameter,time,value,z,mean,sd,target source,rules");

QcPeriod OnePoint(const QString& controlId, double value, const ControlTargets& targets,
                  const QStringList& rules)
{
    QcSeries series;
    series.analyzerId = QStringLiteral("H911");
    series.controlId = controlId;
    series.parameterId = 3;
    series.parameterName = QStringLiteral("GLU");
    series.targets = targets;
    QcPoint point;
    point.stamp = Measured;
    point.value = value;
    point.zScore = targets.usable() ? targets.zScore(value) : 0;
    point.rules = rules;
    series.points << point;
    QcPeriod period;
    period.series << series;
    return period;
}

ControlTargets Targets(TargetSource source, double mean, double sd)
{
    ControlTargets targets;
    targets.source = source;
    targets.mean = mean;
    targets.sd = sd;
    return targets;
}

} // namespace

Q_DECLARE_METATYPE(Quorlix::ControlTargets)

class TestQcReport : public QObject
{
    Q_OBJECT

private slots:
    void csvRow_data();
    void csvRow();
    void emptyPeriodIsHeaderOnly();
    void command_data();
    void command();
};

void TestQcReport::csvRow_data()
{
    QTest::addColumn<QString>("controlId");
    QTest::addColumn<double>("value");
    QTest::addColumn<ControlTargets>("targets");
    QTest::addColumn<QStringList>("rules");
    QTest::addColumn<QString>("row");

    const ControlTargets assigned = Targets(TargetSource::Assigned, 10, 0.5);
    QTest::newRow("judged, one rule") << "QC1" << 11.25 << assigned << QStringList{QStringLiteral("1-2s")}
                                      << "H911,QC1,3,2026-12-07 08:05:00,11.25,2.50,10,0.5,assigned,1-2s";
    QTest::newRow("rules separated by blanks")
        << "QC1" << 8.2 << assigned << QStringList{QStringLiteral("1-3s"), QStringLiteral("2-2s")}
        << "H911,QC1,3,2026-12-07 08:05:00,8.2,-3.60,10,0.5,assigned,1-3s 2-2s";
    QTest::newRow("provisional targets named")
        << "QC1" << 22.0 << Targets(TargetSource::Provisional, 22, 2) << QStringList()
        << "H911,QC1,3,2026-12-07 08:05:00,22,0.00,22,2,provisional,";
    QTest::newRow("nothing to judge against: no z, mean or sd")
        << "QC1" << 7.0 << ControlTargets() << QStringList() << "H911,QC1,3,2026-12-07 08:05:00,7,,,,none,";
    QTest::newRow("comma in an id is quoted")
        << "QC,1" << 10.0 << assigned << QStringList()
        << "H911,\"QC,1\",3,2026-12-07 08:05:00,10,0.00,10,0.5,assigned,";
    QTest::newRow("quote in an id is doubled")
        << "QC\"1" << 10.0 << assigned << QStringList()
        << "H911,\"QC\"\"1\",3,2026-12-07 08:05:00,10,0.00,10,0.5,assigned,";
    QTest::newRow("line break in an id stays in its field")
        << "QC\n1" << 10.0 << assigned << QStringList()
        << "H911,\"QC\n1\",3,2026-12-07 08:05:00,10,0.00,10,0.5,assigned,";
    QTest::newRow("an id a spreadsheet would run is kept as text")
        << "=HYPERLINK(\"x\")" << 10.0 << assigned << QStringList()
        << "H911,\"'=HYPERLINK(\"\"x\"\")\",3,2026-12-07 08:05:00,10,0.00,10,0.5,assigned,";
}

void TestQcReport::csvRow()
{
    QFETCH(QString, controlId);
    QFETCH(double, value);
    QFETCH(ControlTargets, targets);
    QFETCH(QStringList, rules);
    QFETCH(QString, row);
    QCOMPARE(QcReportCsv(OnePoint(controlId, value, targets, rules)), Header + "\r\n" + row + "\r\n");
}

void TestQcReport::emptyPeriodIsHeaderOnly()
{
    QCOMPARE(QcReportCsv(QcPeriod()), Header + "\r\n");
}

void TestQcReport::command_data()
{
    QTest::addColumn<QString>("out");
    QTest::addColumn<bool>("withQcTables");
    QTest::addColumn<bool>("pdfWriter");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("rows"); // of the CSV file, header included

    QTest::newRow("CSV file") << "qc.csv" << true << false << int(ExitOk) << 3;
    QTest::newRow("PDF by the program with windows") << "qc.pdf" << true << true << int(ExitOk) << -1;
    QTest::newRow("PDF asked of the service form")
        << "qc.pdf" << true << false << int(ExitConfiguration) << -1;
    QTest::newRow("file that cannot be written")
        << "absent/qc.csv" << true << false << int(ExitConfiguration) << -1;
    QTest::newRow("quality-control tables missing") << "qc.csv" << false << false << int(ExitDatabase) << -1;
}

void TestQcReport::command()
{
    QFETCH(QString, out);
    QFETCH(bool, withQcTables);
    QFETCH(bool, pdfWriter);
    QFETCH(int, exitCode);
    QFETCH(int, rows);

    Test::TestDatabase tdb(QStringLiteral("sqlite"));
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    for (const QTime& at : {QTime(8, 0), QTime(16, 0)}) {
        tdb.exec(
            QStringLiteral("INSERT INTO control_results (control_id, parameter_id, analyzer_id, time_stamp, "
                           "result) VALUES ('QC1', 3, 'H911', ?, 10)"),
            {tdb.db().stamp(SqlStamp(QDateTime(QDate(2026, 12, 7), at)))});
    }
    if (!withQcTables)
        tdb.exec(QStringLiteral("DROP TABLE control_rule_events"));
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("quorlix.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(tdb.iniLines().toUtf8());
    ini.close();

    QStringList args{QStringLiteral("--config"),
                     ini.fileName(),
                     QStringLiteral("--qc-report"),
                     QStringLiteral("--from"),
                     QStringLiteral("2026-12-01"),
                     QStringLiteral("--to"),
                     QStringLiteral("2026-12-31"),
                     QStringLiteral("--out"),
                     dir.filePath(out)};
    const LaunchOptions options = TakeLaunchOptions(args);
    QVERIFY2(options.error.isEmpty(), qPrintable(options.error));
    QString pdfWrittenTo;
    const QcPdfWriter writer = [&](const QcPeriod& period, const QString& file) {
        pdfWrittenTo = file;
        return period.series.size() == 1 ? QString() : QStringLiteral("wrong period");
    };
    QCOMPARE(
        RunQcReport(options, args.join(QLatin1Char(' ')), dir.path(), pdfWriter ? writer : QcPdfWriter()),
        exitCode);
    if (pdfWriter)
        QCOMPARE(pdfWrittenTo, dir.filePath(out));
    if (rows >= 0) {
        QFile csv(dir.filePath(out));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count("\r\n"), rows);
    }
}

QTEST_GUILESS_MAIN(TestQcReport)
#include "tst_qcreport.moc"
