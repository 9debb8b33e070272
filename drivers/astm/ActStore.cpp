#include "ActStore.h"

#include "core/Database.h"
#include "core/SqlHelpers.h"
#include "core/Stamps.h"
#include "store/RecordJson.h"
#include "store/StoreValues.h"
#include "store/Transaction.h"
#include "store/qc/QcEvaluation.h"

namespace Quorlix {

namespace {

DbOutcome Run(Database& db, const QString& sql, const QVariantList& values, int* affected = nullptr)
{
    SqlResult result = db.run(sql, values);
    if (result.ok() && affected)
        *affected = result.rowsAffected();
    return DbOutcome::of(db, result);
}

// The parameter of a short name; 0 when test_def has none.
DbOutcome ParameterOf(Database& db, const QString& shortName, qint16* parameterId)
{
    SqlResult row = db.run(QStringLiteral("SELECT parameter_id FROM test_def WHERE short = ?"), {shortName});
    if (!row.ok())
        return DbOutcome::of(db, row);
    *parameterId = row.next() ? static_cast<qint16>(row.value(0).toInt()) : qint16(0);
    row.finish();
    return DbOutcome::done();
}

// A control result: a new row, or the row of the same measurement (the message sent again) takes
// the value; a value that is no number is kept as NULL in a new row but never replaces a stored one.
DbOutcome StoreControl(Database& db, const StoreJob& job, qint16 parameterId, const QVariant& value,
                       const QVariant& stamp)
{
    const ActJob& act = job.data<ActJob>();
    const QVariantList key{act.id, parameterId, stamp, BoundText(job.AnalyzerId)};
    SqlResult existing = db.run(QStringLiteral("SELECT COUNT(*) FROM control_results WHERE control_id = ? "
                                               "AND parameter_id = ? AND time_stamp = ? AND analyzer_id = ?"),
                                key);
    if (!existing.next())
        return existing.ok() ? DbOutcome::databaseFailed(QStringLiteral("no count of control_results"))
                             : DbOutcome::of(db, existing);
    const bool found = existing.value(0).toInt() > 0;
    existing.finish();
    if (!found)
        return Run(
            db,
            QStringLiteral("INSERT INTO control_results (control_id, parameter_id, time_stamp, result, "
                           "analyzer_id) VALUES (?, ?, ?, ?, ?)"),
            {act.id, parameterId, stamp, value, BoundText(job.AnalyzerId)});
    if (value.isNull())
        return DbOutcome::done();
    return Run(
        db,
        QStringLiteral("UPDATE control_results SET result = ? WHERE control_id = ? AND parameter_id = ? "
                       "AND time_stamp = ? AND analyzer_id = ?"),
        QVariantList{value} + key);
}

} // namespace

QString DescribeActResultsJob(const StoreJob& job)
{
    const ActJob& act = job.data<ActJob>();
    return QStringLiteral("ACT %1 %2")
        .arg(act.control ? QStringLiteral("control") : QStringLiteral("sample"), act.id);
}

void WriteActResultsJob(const StoreJob& job, QJsonObject& object)
{
    const ActJob& act = job.data<ActJob>();
    object.insert(QStringLiteral("id"), act.id);
    object.insert(QStringLiteral("control"), act.control);
    QJsonArray results;
    for (const ActResult& r : act.results)
        results.append(QJsonObject{{QStringLiteral("short"), r.shortName},
                                   {QStringLiteral("value"), r.value},
                                   {QStringLiteral("time"), r.time}});
    object.insert(QStringLiteral("results"), results);
}

bool ReadActResultsJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader r(object, error);
    ActJob act;
    act.id = r.text(QStringLiteral("id"));
    act.control = r.boolean(QStringLiteral("control"));
    const QJsonArray results = r.array(QStringLiteral("results"));
    if (results.size() > ActMessage::MaxResults)
        r.fail(QStringLiteral("results"));
    for (const QJsonValue& value : results) {
        if (!value.isObject()) {
            r.fail(QStringLiteral("results"));
            break;
        }
        JsonReader entry(value.toObject(), error);
        act.results << ActResult{entry.text(QStringLiteral("short")), entry.text(QStringLiteral("value")),
                                 entry.text(QStringLiteral("time"))};
    }
    job.payload = act;
    return error->isEmpty();
}

DbOutcome RunActResultsJob(const StoreJob& job, JobRun& run)
{
    Database& db = run.transaction.db();
    const ActJob& act = job.data<ActJob>();
    QStringList& notes = run.effects.notes;
    const QString what = DescribeActResultsJob(job);
    int stored = 0;
    for (const ActResult& result : act.results) {
        qint16 parameterId = 0;
        if (DbOutcome o = ParameterOf(db, result.shortName, &parameterId); !o.ok())
            return o;
        if (parameterId == 0) {
            notes << QStringLiteral("%1: test \"%2\" is not in test_def; its result \"%3\" is not stored")
                         .arg(what, result.shortName, result.value);
            continue;
        }
        const QString number = ActValue(result.value).trimmed();
        bool isNumber = false;
        const QVariant value = NumericOrNull(number, &isNumber);
        if (!isNumber)
            notes << QStringLiteral("%1 %2: value \"%3\" is not a number; %4")
                         .arg(what, result.shortName, result.value,
                              act.control ? QStringLiteral("kept as NULL, never over a stored result")
                                          : QStringLiteral("not stored, the order keeps what it has"));
        QString time = result.time;
        if (!FromSqlStamp(time).isValid()) {
            notes << QStringLiteral("%1 %2: result time \"%3\" is no date; the time of receipt is used")
                         .arg(what, result.shortName, result.time);
            time = job.receivedAt;
        }
        const QVariant stamp = db.stamp(time);

        if (act.control) {
            if (DbOutcome o = StoreControl(db, job, parameterId, value, stamp); !o.ok())
                return o;
            ++stored;
            if (isNumber) {
                const StoredControl control{act.id, parameterId, job.AnalyzerId, FromSqlStamp(time),
                                            value.toDouble()};
                if (DbOutcome o =
                        JudgeControlResult(run.transaction, control, {run.qcTables, job.QcHold}, notes);
                    !o.ok())
                    return o;
            }
            continue;
        }
        // Only the sample's existing orders are filled; nothing is inserted. A value that is no
        // number fills nothing: it would replace a result stored before with NULL.
        if (!isNumber)
            continue;
        int updated = 0;
        if (DbOutcome o = Run(db,
                              QStringLiteral("UPDATE request SET result = ?, time_stamp = ?, analyzer_id = ? "
                                             "WHERE sample_id = ? AND parameter_id = ?"),
                              {value, stamp, BoundText(job.AnalyzerId), act.id, parameterId}, &updated);
            !o.ok())
            return o;
        if (updated == 0)
            notes << QStringLiteral("%1 has no order for %2: its result \"%3\" is not stored")
                         .arg(what, result.shortName, result.value);
        stored += updated > 0 ? 1 : 0;
    }
    run.nothingToStore = stored == 0;
    if (stored > 0)
        ++(act.control ? run.effects.stored.controls : run.effects.stored.results);
    return DbOutcome::done();
}

} // namespace Quorlix
