// screenshot-qc-chart: draws the quality-control window on a seeded database (a month of two
// glucose controls, one drifting into a rejection) and saves it as a PNG (the README picture).
// Run it on a real X server, for example under xvfb-run; scripts/screenshot-qc-chart.sh does that.

#include "core/Database.h"
#include "core/SchemaInit.h"
#include "core/Stamps.h"
#include "ui/frmQcChart.h"

#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>

using namespace Quorlix;

namespace {

bool Run(Database& db, const QString& sql, const QVariantList& values = {})
{
    SqlResult result = db.run(sql, values);
    if (!result.ok())
        std::fprintf(stderr, "screenshot-qc-chart: %s\n", qPrintable(result.error()));
    return result.ok();
}

// Waits until the window is on the screen and painted, then saves it.
bool Save(QWidget& window, const QString& file)
{
    QElapsedTimer waited;
    waited.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!window.windowHandle() || !window.windowHandle()->isExposed()) {
        std::fprintf(stderr, "screenshot-qc-chart: the window was not shown\n");
        return false;
    }
    const qint64 exposedAt = waited.elapsed();
    while (waited.elapsed() < exposedAt + 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!window.grab().save(file, "PNG")) {
        std::fprintf(stderr, "screenshot-qc-chart: cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

QDateTime Morning(int day, int minute = 30)
{
    return QDateTime(QDate(2026, 12, day), QTime(7, minute));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot-qc-chart OUTPUT_FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));

    QTemporaryDir dir;
    Database db;
    DatabaseTarget target;
    target.qtDriver = QStringLiteral("QSQLITE");
    target.databaseName = dir.filePath(QStringLiteral("lab.db"));
    target.dialect = SqlDialect(SqlDialect::SQLite);
    QString report;
    if (!db.open(target).isEmpty() || !InitDatabase(db, false, &report).isEmpty())
        return 1;
    bool ok = Run(db, QStringLiteral("INSERT INTO test_def (parameter_id, short) VALUES (3, 'GLU')"));

    // December's morning controls of glucose on H911: the normal level against its assigned target
    // (5.50 mmol/l, SD 0.15) shifts upwards from the 21st; the new lot of the high level has fewer
    // than 20 results, so its targets are still its own, provisional.
    const QList<double> normal{0.3,  -0.5, 0.8,  -1.1, 0.2, 0.6,  -0.3, 1.2,  -0.8, 0.1,
                               -0.4, 0.9,  -1.4, 0.5,  0.0, -0.6, 1.0,  -0.2, 0.4,  -0.9,
                               2.3,  1.1,  2.4,  2.6,  0.7, -0.1, 0.5,  -0.7, 0.2,  0.3};
    const QList<double> high{16.9, 16.5, 17.2, 16.8, 16.4, 17.0, 16.7, 17.4, 16.6, 16.9, 16.3, 17.1};
    ok = ok &&
         Run(db,
             QStringLiteral("INSERT INTO control_targets (control_id, parameter_id, analyzer_id, mean, sd, "
                            "valid_from) VALUES ('QC0001', 3, 'H911', 5.5, 0.15, ?)"),
             {db.stamp(SqlStamp(Morning(1, 0)))});
    const QString insertResult =
        QStringLiteral("INSERT INTO control_results (control_id, parameter_id, analyzer_id, "
                       "time_stamp, result) VALUES (?, 3, 'H911', ?, ?)");
    for (int day = 1; day <= normal.size(); ++day)
        ok = ok && Run(db, insertResult,
                       {QStringLiteral("QC0001"), db.stamp(SqlStamp(Morning(day))),
                        5.5 + 0.15 * normal.at(day - 1)});
    for (int i = 0; i < high.size(); ++i)
        ok = ok && Run(db, insertResult,
                       {QStringLiteral("QC0002"), db.stamp(SqlStamp(Morning(19 + i, 32))), high.at(i)});
    // The rules these results fired, as the evaluation filed them when they were stored.
    const QString insertEvent = QStringLiteral(
        "INSERT INTO control_rule_events (control_id, parameter_id, analyzer_id, time_stamp, rule, "
        "severity, z_score) VALUES ('QC0001', 3, 'H911', ?, ?, ?, ?)");
    for (const auto& [day, rule, severity] :
         {std::tuple(21, "1-2s", "warning"), std::tuple(23, "1-2s", "warning"),
          std::tuple(24, "1-2s", "warning"), std::tuple(24, "2-2s", "rejection")})
        ok = ok && Run(db, insertEvent,
                       {db.stamp(SqlStamp(Morning(day))), QString::fromLatin1(rule),
                        QString::fromLatin1(severity), normal.at(day - 1)});
    if (!ok)
        return 1;

    frmQcChart window(db, QStringLiteral("H911"), QDate(2026, 12, 31));
    window.fromEdit()->setDate(QDate(2026, 12, 1));
    window.reload();
    window.resize(1000, 900);
    window.show();
    return Save(window, out.filePath(QStringLiteral("qc-chart.png"))) ? 0 : 1;
}
