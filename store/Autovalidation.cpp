#include "Autovalidation.h"

#include "core/Database.h"

namespace Quorlix {

namespace {

const QString OverRange = QStringLiteral(">");

// The result as it goes into results: clipped to the measuring range.
const QString ClippedResult = QStringLiteral("CASE WHEN r.result < ds.range_low THEN 0 "
                                             "WHEN r.result > ds.range_high THEN ds.range_high "
                                             "ELSE r.result END");

DbOutcome Run(Database& db, const QString& sql, const QVariantList& values = {})
{
    SqlResult result = db.run(sql, values);
    return DbOutcome::of(db, result);
}

} // namespace

DbOutcome Autovalidate(Database& db, const QString& autoVal)
{
    const bool networks = autoVal == QLatin1String("2");
    if (!networks && autoVal != QLatin1String("1"))
        return DbOutcome::done();

    // Above the measuring range: the analyzer's ">" becomes 9999, which the clipping below turns
    // into range_high.
    if (DbOutcome o =
            Run(db, QStringLiteral("UPDATE request SET result = 9999 WHERE data_alarm = ?"), {OverRange});
        !o.ok())
        return o;

    // Earlier validations of the same sample and parameter are replaced. The sample_id list lets
    // the database go from the few filled orders to their results instead of reading all results.
    if (DbOutcome o =
            Run(db, QStringLiteral(
                        "DELETE FROM results WHERE sample_id IN (SELECT sample_id FROM request "
                        "WHERE analyzer_id IS NOT NULL AND result IS NOT NULL AND time_stamp IS NOT NULL) "
                        "AND EXISTS (SELECT 1 FROM request r "
                        "WHERE r.sample_id = results.sample_id AND r.parameter_id = results.parameter_id "
                        "AND r.analyzer_id IS NOT NULL AND r.result IS NOT NULL "
                        "AND r.time_stamp IS NOT NULL)"));
        !o.ok())
        return o;

    DbOutcome inserted;
    if (networks) {
        inserted =
            Run(db,
                QStringLiteral(
                    "INSERT INTO results (sample_id, result, interpretation, parameter_id, suspicious, "
                    "interpretation_arab, analyzer_id, val_time_stamp, meas_time_stamp) "
                    "SELECT r.sample_id, %1, i.value, r.parameter_id, v.suspicious, i.value_arab, "
                    "r.analyzer_id, %2, r.time_stamp "
                    "FROM request r INNER JOIN validation v ON v.parameter_id = r.parameter_id "
                    "INNER JOIN interpretation i ON i.id = v.interpretation "
                    "INNER JOIN test_def ds ON ds.parameter_id = r.parameter_id "
                    "INNER JOIN sample_base sb ON sb.sample_id = r.sample_id AND sb.add3 = v.nw_id "
                    "WHERE r.result BETWEEN v.v_from AND v.v_to AND r.analyzer_id IS NOT NULL "
                    "AND r.time_stamp IS NOT NULL")
                    .arg(ClippedResult, db.dialect().now()),
                {});
    } else {
        inserted =
            Run(db, QStringLiteral(
                        "INSERT INTO results (sample_id, result, interpretation, parameter_id, suspicious, "
                        "interpretation_arab) "
                        "SELECT r.sample_id, %1, i.value, r.parameter_id, v.suspicious, i.value_arab "
                        "FROM request r INNER JOIN validation v ON v.parameter_id = r.parameter_id "
                        "INNER JOIN interpretation i ON i.id = v.interpretation "
                        "INNER JOIN test_def ds ON ds.parameter_id = r.parameter_id "
                        "WHERE r.result BETWEEN v.v_from AND v.v_to AND r.analyzer_id IS NOT NULL "
                        "AND r.time_stamp IS NOT NULL")
                        .arg(ClippedResult));
    }
    if (!inserted.ok())
        return inserted;

    return Run(db,
               QStringLiteral("DELETE FROM request WHERE analyzer_id IS NOT NULL AND time_stamp IS NOT NULL "
                              "AND result IS NOT NULL"));
}

} // namespace Quorlix
