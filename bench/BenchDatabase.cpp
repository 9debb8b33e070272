#include "BenchDatabase.h"

#include "core/Database.h"
#include "core/SchemaInit.h"

#include <QFile>
#include <QRandomGenerator>

namespace Quorlix::Bench {

QString BenchSampleId(int i)
{
    return QStringLiteral("B%1").arg(i % (OpenRequests / 4), 7, 10, QLatin1Char('0'));
}

QString EnsureBenchDatabase(const QString& path, const QString& analyzerId)
{
    const bool exists = QFile::exists(path);
    Database db(QStringLiteral("bench-fixture"));
    DatabaseTarget target;
    target.qtDriver = QStringLiteral("QSQLITE");
    target.databaseName = path;
    target.dialect = SqlDialect(SqlDialect::SQLite);
    target.description = path;
    if (const QString error = db.open(target); !error.isEmpty())
        return error;
    if (const QString error = InitDatabase(db, false, nullptr); !error.isEmpty())
        return error;
    if (exists) {
        SqlResult rows = db.run(QStringLiteral("SELECT COUNT(*) FROM Raw_Results"));
        if (rows.next() && rows.value(0).toInt() >= RawResults)
            return {};
    }

    QRandomGenerator random(42);
    db.transaction();
    for (int p = 1; p <= 48; ++p) {
        db.run(QStringLiteral("INSERT INTO test_def (parameter_id, short, Long, method, range_low, "
                              "range_high) VALUES (?, ?, ?, 'END', 0, 5000)"),
               {p, QStringLiteral("T%1").arg(p), QStringLiteral("Test %1").arg(p)});
        db.run(QStringLiteral(
                   "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (?, ?, ?)"),
               {p, analyzerId, p});
        db.run(
            QStringLiteral(
                "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (?, 'OTHER', ?)"),
            {p, 49 - p});
        db.run(QStringLiteral("INSERT INTO validation (parameter_id, v_from, v_to, interpretation, "
                              "suspicious, nw_id) VALUES (?, 0, 100, 1, 0, 1)"),
               {p});
        db.run(QStringLiteral("INSERT INTO validation (parameter_id, v_from, v_to, interpretation, "
                              "suspicious, nw_id) VALUES (?, 100.001, 99999, 2, 1, 1)"),
               {p});
        for (int c = 1; c <= 3; ++c)
            db.run(QStringLiteral("INSERT INTO control_def (control_id, parameter_id, range_low, range_high) "
                                  "VALUES (?, ?, 0, 1000)"),
                   {QStringLiteral("QC%1").arg(c, 4, 10, QLatin1Char('0')), p});
    }
    db.run(QStringLiteral("INSERT INTO interpretation (id, value, value_arab) VALUES (1, 'normal', "
                          "'normal'), (2, 'high', 'high')"));
    for (int i = 0; i < OpenRequests; ++i)
        db.run(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES (?, ?)"),
               {BenchSampleId(i), 1 + int(random.bounded(48))});
    QSqlQuery raw(db.handle());
    raw.prepare(QStringLiteral(
        "INSERT INTO Raw_Results (sample_id, parameter_id, analyzer_id, time_stamp, result, data_alarm) "
        "VALUES (?, ?, ?, '2026-01-01 08:00:00', ?, '')"));
    for (int i = 0; i < RawResults; ++i) {
        raw.addBindValue(QStringLiteral("R%1").arg(i / 20, 7, 10, QLatin1Char('0')));
        raw.addBindValue(1 + int(random.bounded(48)));
        raw.addBindValue(analyzerId);
        raw.addBindValue(random.bounded(500.0));
        raw.exec();
    }
    db.commit();
    return {};
}

} // namespace Quorlix::Bench
