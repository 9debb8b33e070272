#include "DsxStore.h"

#include "AstmRecords.h"
#include "core/Database.h"
#include "core/FrameText.h"
#include "core/SqlHelpers.h"
#include "store/RecordJson.h"
#include "store/SampleIds.h"
#include "store/StoreValues.h"
#include "store/Transaction.h"

#include <QJsonArray>
#include <QSet>

namespace Quorlix {

namespace {

DbOutcome Run(Database& db, const QString& sql, const QVariantList& values)
{
    SqlResult result = db.run(sql, values);
    return DbOutcome::of(db, result);
}

// The first column of the first row as a number; nothing when there is no row.
DbOutcome First(Database& db, const QString& sql, const QVariantList& values, std::optional<int>* out)
{
    SqlResult result = db.run(sql, values);
    if (!result.ok())
        return DbOutcome::of(db, result);
    *out = result.next() && !result.value(0).isNull() ? std::optional<int>(result.value(0).toInt())
                                                      : std::nullopt;
    result.finish();
    return DbOutcome::done();
}

// The sample's row in sample_base: new (patient 1, si_id "na", customer "999") or its analyzer.
DbOutcome StoreDsxSample(Database& db, const QString& id, const QVariant& analyzer, const QVariant& stamp)
{
    if (DbOutcome o = LockSample(db, id); !o.ok())
        return o;
    // Mostly the sample is known: its update says so, and only a new one costs a second statement.
    SqlResult updated =
        db.run(QStringLiteral("UPDATE sample_base SET analyzer_id = ? WHERE sample_id = ?"), {analyzer, id});
    if (!updated.ok() || updated.rowsAffected() > 0)
        return DbOutcome::of(db, updated);
    updated.finish();
    return Run(db,
               QStringLiteral("INSERT INTO sample_base (sample_id, analyzer_id, p_id, si_id, cust_id, "
                              "entry_dat, last_change_dat) VALUES (?, ?, 1, ?, ?, ?, ?)"),
               {id, analyzer, QStringLiteral("na"), QStringLiteral("999"), stamp, stamp});
}

DbOutcome StoreDsxResult(Database& db, const StoreJob& job, const DsxValue& v, JobEffects& effects)
{
    // The id as the DSX sent it finds the sample; a request it inserts carries it without blanks.
    const QString id = v.sampleId;
    QString value = v.value.trimmed();
    if (value.endsWith(QLatin1Char('#')))
        value.chop(1);
    const QString code = Astm::AstmUnescaped(v.testField.section(QLatin1Char('^'), -1));
    if (id.trimmed().isEmpty()) {
        effects.notes << QStringLiteral("result of %1 without a sample id: not stored").arg(code);
        return DbOutcome::done();
    }

    // Any analyzer's mapping of the code; this analyzer's first.
    std::optional<int> parameter;
    if (DbOutcome o =
            First(db,
                  QStringLiteral("SELECT parameter_id FROM param2channel WHERE testiddsx = ? "
                                 "ORDER BY CASE WHEN analyzer_id = ? THEN 0 ELSE 1 END, parameter_id"),
                  {code, BoundText(job.AnalyzerId)}, &parameter);
        !o.ok())
        return o;
    if (!parameter) {
        effects.notes << QStringLiteral("Received unknown parameter: ") + code;
        return DbOutcome::done();
    }

    bool number = false;
    const QVariant result = NumericOrNull(value, &number);
    const QVariant stamp = db.stamp(job.receivedAt);
    const QVariant analyzer = BoundText(job.AnalyzerId);
    if (!number && !value.isEmpty()) {
        // It would fill the order with NULL: the order stays open for a rerun.
        effects.notes << QStringLiteral(
                             "sample %1 parameter %2: value \"%3\" is not a number: not stored, the order "
                             "stays open")
                             .arg(id)
                             .arg(*parameter)
                             .arg(v.value);
        return StoreDsxSample(db, id, analyzer, stamp);
    }

    // An open row is filled also when an analyzer was already noted on it; without one, the result
    // becomes a row of its own.
    SqlResult filled =
        value.isEmpty()
            ? db.run(QStringLiteral("UPDATE request SET analyzer_id = ?, time_stamp = ? WHERE sample_id = ? "
                                    "AND parameter_id = ? AND result IS NULL"),
                     {analyzer, stamp, id, *parameter})
            : db.run(QStringLiteral("UPDATE request SET result = ?, analyzer_id = ?, time_stamp = ? "
                                    "WHERE sample_id = ? AND parameter_id = ? AND result IS NULL"),
                     {result, analyzer, stamp, id, *parameter});
    if (!filled.ok())
        return DbOutcome::of(db, filled);
    const bool wasOpen = filled.rowsAffected() > 0;
    filled.finish();
    DbOutcome request = DbOutcome::done();
    if (!wasOpen) {
        request =
            value.isEmpty()
                ? Run(db,
                      QStringLiteral("INSERT INTO request (sample_id, parameter_id, analyzer_id, time_stamp) "
                                     "VALUES (?, ?, ?, ?)"),
                      {WithoutBlanks(id), *parameter, analyzer, stamp})
                : Run(db,
                      QStringLiteral("INSERT INTO request (sample_id, parameter_id, analyzer_id, time_stamp, "
                                     "result) VALUES (?, ?, ?, ?, ?)"),
                      {WithoutBlanks(id), *parameter, analyzer, stamp, result});
    }
    if (!request.ok())
        return request;
    return StoreDsxSample(db, id, analyzer, stamp);
}

} // namespace

QString DescribeDsxResultsJob(const StoreJob& job)
{
    const DsxResults& r = job.data<DsxResults>();
    return QStringLiteral("DSX results of %1")
        .arg(r.values.isEmpty() ? QString() : r.values.front().sampleId);
}

void WriteDsxResultsJob(const StoreJob& job, QJsonObject& object)
{
    QJsonArray values;
    for (const DsxValue& v : job.data<DsxResults>().values)
        values.append(QJsonObject{{QStringLiteral("sampleId"), v.sampleId},
                                  {QStringLiteral("testField"), v.testField},
                                  {QStringLiteral("value"), v.value}});
    object.insert(QStringLiteral("values"), values);
}

bool ReadDsxResultsJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader outer(object, error);
    DsxResults results;
    for (const QJsonValue& item : outer.array(QStringLiteral("values"))) {
        JsonReader r(item.toObject(), error);
        results.values.append({r.text(QStringLiteral("sampleId")), r.text(QStringLiteral("testField")),
                               r.text(QStringLiteral("value"))});
    }
    job.payload = results;
    return error->isEmpty();
}

DbOutcome RunDsxResultsJob(const StoreJob& job, JobRun& run)
{
    Database& db = run.transaction.db();
    QSet<QString> samples;
    for (const DsxValue& v : job.data<DsxResults>().values) {
        if (DbOutcome o = StoreDsxResult(db, job, v, run.effects); !o.ok())
            return o;
        if (!v.sampleId.trimmed().isEmpty())
            samples.insert(v.sampleId);
    }
    run.effects.stored.results += static_cast<int>(samples.size());
    return DbOutcome::done();
}

} // namespace Quorlix
