#include "Autovalidation.h"

#include "core/Database.h"

namespace Quorlix {

namespace {

const QString OverRange = QStringLiteral(">");

// A finished order: filled by an analyzer, with its result and time.
const QString Finished =
    QStringLiteral("analyzer_id IS NOT NULL AND time_stamp IS NOT NULL AND result IS NOT NULL");
// An order measured from a rejected control of its parameter on its analyzer until a passing one.
const QString Held =
    QStringLiteral("EXISTS (SELECT 1 FROM qc_holds h WHERE h.parameter_id = request.parameter_id AND "
                   "h.analyzer_id = request.analyzer_id AND h.held_from <= request.time_stamp AND "
                   "(h.released_at IS NULL OR request.time_stamp < h.released_at))");
const QString FinishedColumns = QStringLiteral("sample_id, parameter_id, analyzer_id, time_stamp, result");

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

QString AutovalidatedOrders(bool qcHolds)
{
    return qcHolds ? Finished + QStringLiteral(" AND NOT ") + Held : Finished;
}

DbOutcome MoveRows(Database& db, const QString& table, const QString& columns, const QString& condition,
                   const QList<OverMoved>& over)
{
    QStringList texts;
    for (const OverMoved& statement : over)
        texts << statement.sql;
    for (const SqlDialect::MoveStatement& statement :
         db.dialect().moveRows(table, columns, condition, texts)) {
        QVariantList values;
        for (const int i : statement.valuesOf)
            values += over.at(i).values;
        if (DbOutcome o = Run(db, statement.sql, values); !o.ok())
            return o;
    }
    return DbOutcome::done();
}

DbOutcome Autovalidate(Database& db, const QString& autoVal, bool qcHolds)
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

    // The finished orders are taken out of request; earlier validations of the same sample and
    // parameter are replaced (the sample_id list lets the database go from the few orders to their
    // results instead of reading all results).
    const OverMoved replaced{
        QStringLiteral("DELETE FROM results WHERE sample_id IN (SELECT sample_id FROM {moved} m) "
                       "AND EXISTS (SELECT 1 FROM {moved} m WHERE m.sample_id = results.sample_id "
                       "AND m.parameter_id = results.parameter_id)"),
        {}};
    const QString validated =
        networks ? QStringLiteral(
                       "INSERT INTO results (sample_id, result, interpretation, parameter_id, suspicious, "
                       "interpretation_arab, analyzer_id, val_time_stamp, meas_time_stamp) "
                       "SELECT r.sample_id, %1, i.value, r.parameter_id, v.suspicious, i.value_arab, "
                       "r.analyzer_id, %2, r.time_stamp "
                       "FROM {moved} r INNER JOIN validation v ON v.parameter_id = r.parameter_id "
                       "INNER JOIN interpretation i ON i.id = v.interpretation "
                       "INNER JOIN test_def ds ON ds.parameter_id = r.parameter_id "
                       "INNER JOIN sample_base sb ON sb.sample_id = r.sample_id AND sb.add3 = v.nw_id "
                       "WHERE r.result BETWEEN v.v_from AND v.v_to")
                       .arg(ClippedResult, db.dialect().now())
                 : QStringLiteral(
                       "INSERT INTO results (sample_id, result, interpretation, parameter_id, suspicious, "
                       "interpretation_arab) "
                       "SELECT r.sample_id, %1, i.value, r.parameter_id, v.suspicious, i.value_arab "
                       "FROM {moved} r INNER JOIN validation v ON v.parameter_id = r.parameter_id "
                       "INNER JOIN interpretation i ON i.id = v.interpretation "
                       "INNER JOIN test_def ds ON ds.parameter_id = r.parameter_id "
                       "WHERE r.result BETWEEN v.v_from AND v.v_to")
                       .arg(ClippedResult);
    return MoveRows(db, QStringLiteral("request"), FinishedColumns, AutovalidatedOrders(qcHolds),
                    {replaced, {validated, {}}});
}

} // namespace Quorlix
