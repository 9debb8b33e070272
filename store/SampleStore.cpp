#include "SampleStore.h"

#include "Autovalidation.h"
#include "RawResults.h"
#include "RecordJson.h"
#include "SampleIds.h"
#include "StoreValues.h"
#include "Transaction.h"
#include "core/Database.h"
#include "core/SqlHelpers.h"
#include "core/Stamps.h"

namespace Quorlix {

namespace {

const QString OneBlank = QStringLiteral(" ");

DbOutcome Run(Database& db, const QString& sql, const QVariantList& values)
{
    SqlResult result = db.run(sql, values);
    return DbOutcome::of(db, result);
}

// SELECT COUNT(*): the number, or the failure.
DbOutcome Count(Database& db, const QString& sql, const QVariantList& values, int* count)
{
    SqlResult result = db.run(sql, values);
    if (!result.next())
        return result.ok() ? DbOutcome::unclassified(QStringLiteral("no row from: %1").arg(sql))
                           : DbOutcome::of(db, result);
    *count = result.value(0).toInt();
    return DbOutcome::done();
}

// The identification of the sample as stored.
struct SampleSource
{
    QString id;
    QString disc;
    QString position;
    QString status;
};

// Disc and position are numbers; a text that is none is left out (and reported).
QVariant PlaceValue(const QString& text, const QString& what, const QString& sampleId, QStringList& notes)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return Database::null();
    bool number = false;
    const QVariant value = NumericOrNull(trimmed, &number);
    if (!number)
        notes.append(
            QStringLiteral("sample %1: %2 \"%3\" is not a number; not stored").arg(sampleId, what, text));
    return value;
}

// The order of one result: the one open order of the pair is filled, or without an order the
// result becomes an order row of its own, already filled. Two or more open orders of the pair:
// which one the result belongs to is unknown, so none is filled (the raw copy keeps the value).
// An empty value marks the order with the analyzer and the time but leaves it open: a later
// result of the pair still fills it.
DbOutcome FillOrder(Database& db, const StoreJob& job, const QString& id, const ResultEntry& entry,
                    const QVariant& result)
{
    const qint16 p = entry.ParameterId;
    const QString& v = entry.Value;
    const QString& a = entry.DataAlarm;
    const QVariant stamp = db.stamp(job.stamp);
    const QString open = QStringLiteral("sample_id = ? AND parameter_id = ? AND result IS NULL");
    const bool hasValue = v != QLatin1String("NULL") && !v.trimmed().isEmpty();
    const QString set = hasValue
                            ? QStringLiteral("result = ?, data_alarm = ?, analyzer_id = ?, time_stamp = ?")
                            : QStringLiteral("data_alarm = ?, analyzer_id = ?, time_stamp = ?");
    QVariantList setValues{BoundText(a), BoundText(job.AnalyzerId), stamp};
    if (hasValue)
        setValues.prepend(result);

    // Mostly the pair has its one open order: filling it only when it is the only one saves the
    // count's round trip.
    SqlResult filled =
        db.run(QStringLiteral("UPDATE request SET %1 WHERE %2 AND (SELECT COUNT(*) FROM request o "
                              "WHERE o.sample_id = request.sample_id AND o.parameter_id = "
                              "request.parameter_id AND o.result IS NULL) = 1")
                   .arg(set, open),
               setValues + QVariantList{id, p});
    if (!filled.ok())
        return DbOutcome::of(db, filled);
    if (filled.rowsAffected() > 0)
        return DbOutcome::done();
    filled.finish();

    int openOrders = 0;
    if (DbOutcome o =
            Count(db, QStringLiteral("SELECT COUNT(*) FROM request WHERE ") + open, {id, p}, &openOrders);
        !o.ok() || openOrders > 1)
        return o;
    if (openOrders == 1) // opened since the update: fill it as above
        return Run(db, QStringLiteral("UPDATE request SET %1 WHERE %2").arg(set, open),
                   setValues + QVariantList{id, p});

    QString columns = QStringLiteral("INSERT INTO request (sample_id, parameter_id, analyzer_id, time_stamp");
    QString placeholders = QStringLiteral(" VALUES (?, ?, ?, ?");
    QVariantList values{BoundText(WithoutBlanks(id)), p, BoundText(job.AnalyzerId), stamp};
    if (!WithoutBlanks(v).isEmpty()) {
        columns += QStringLiteral(", result");
        placeholders += QStringLiteral(", ?");
        values << result;
    }
    if (a != OneBlank) {
        columns += QStringLiteral(", data_alarm");
        placeholders += QStringLiteral(", ?");
        values << BoundText(a);
    }
    return Run(db, columns + QStringLiteral(")") + placeholders + QStringLiteral(")"), values);
}

// A value that is no number ("<0.1", "pos") fills no order and makes none: the order stays open
// for a rerun. The raw copy keeps the value, without a number; its text is in this note.
void NoteNoNumber(const QString& id, const ResultEntry& entry, QStringList& notes)
{
    notes.append(QStringLiteral("sample %1 parameter %2: value \"%3\" is not a number: kept in "
                                "Raw_Results without a result; the order stays open")
                     .arg(id)
                     .arg(entry.ParameterId)
                     .arg(entry.Value));
}

// The result waits in req2send for the LIMS (once per sample and parameter). The parameter is cast:
// in a SELECT list PostgreSQL would take a bound value for text.
DbOutcome QueueForLims(Database& db, const QString& id, qint16 parameterId)
{
    return Run(
        db,
        QStringLiteral("INSERT INTO req2send (sample_id, parameter_id) SELECT ?, CAST(? AS INTEGER) "
                       "WHERE NOT EXISTS (SELECT 1 FROM req2send WHERE sample_id = ? AND parameter_id = ?)"),
        {id, parameterId, id, parameterId});
}

DbOutcome StoreResult(Database& db, const StoreJob& job, const QString& id, const ResultEntry& entry,
                      RawResultRows& raw, JobEffects& effects)
{
    const QString value = WithoutBlanks(entry.Value);
    bool number = false;
    const QVariant result = NumericOrNull(value, &number);
    const bool noNumber = !number && !value.isEmpty() && value != QLatin1String("NULL");
    if (noNumber)
        NoteNoNumber(id, entry, effects.notes);
    if (job.limsTakesReports()) {
        if (DbOutcome o = QueueForLims(db, id, entry.ParameterId); !o.ok())
            return o;
    }
    if (!noNumber) {
        if (DbOutcome o = FillOrder(db, job, id, entry, result); !o.ok())
            return o;
    }
    raw.add(db, id, entry.ParameterId, job.AnalyzerId, job.stamp, value, entry.DataAlarm.trimmed());
    return DbOutcome::done();
}

DbOutcome StoreResults(Database& db, const StoreJob& job, const QString& id, JobEffects& effects)
{
    const SampleRecord& sample = job.data<SampleJob>().sample;
    RawResultRows raw;
    for (int k = 0; k < sample.ResultCount; ++k) {
        if (DbOutcome o = StoreResult(db, job, id, sample.Results[static_cast<size_t>(k)], raw, effects);
            !o.ok())
            return o;
    }
    return raw.insert(db);
}

DbOutcome StoreSampleBase(Database& db, const StoreJob& job, const SampleSource& source, JobEffects& effects)
{
    const QString& id = source.id;
    if (DbOutcome o = LockSample(db, id); !o.ok())
        return o;
    SqlResult rows =
        db.run(QStringLiteral("SELECT sample_id, add3 FROM sample_base WHERE sample_id = ?"), {id});
    if (!rows.ok())
        return DbOutcome::of(db, rows);
    int m = 0;
    QVariant add3;
    while (rows.next()) {
        if (m++ == 0)
            add3 = rows.value(1);
    }
    rows.finish();

    const QVariant disc = PlaceValue(source.disc, QStringLiteral("disc"), id, effects.notes);
    const QVariant position = PlaceValue(source.position, QStringLiteral("position"), id, effects.notes);
    if (m == 0) {
        // A new sample belongs to the placeholder patient 1, si_id "na", customer "999", and to
        // validation set 1.
        return Run(
            db,
            QStringLiteral(
                "INSERT INTO sample_base (sample_pos, sample_disc, sample_id, status_1, analyzer_id, p_id, "
                "si_id, cust_id, entry_dat, last_change_dat, add3) "
                "VALUES (?, ?, ?, ?, ?, 1, ?, ?, ?, ?, 1)"),
            {position, disc, id, BoundText(source.status), BoundText(job.AnalyzerId), QStringLiteral("na"),
             QStringLiteral("999"), db.stamp(job.receivedAt), db.stamp(job.receivedAt)});
    }
    if (m > 1)
        return DbOutcome::done();

    QString set;
    QVariantList values;
    if (!position.isNull()) {
        set += QStringLiteral("sample_pos = ?, ");
        values << position;
    }
    if (!disc.isNull()) {
        set += QStringLiteral("sample_disc = ?, ");
        values << disc;
    }
    values << BoundText(job.AnalyzerId) << db.stamp(job.stamp) << id;
    if (DbOutcome o =
            Run(db,
                QStringLiteral(
                    "UPDATE sample_base SET %1analyzer_id = ?, last_change_dat = ? WHERE sample_id = ?")
                    .arg(set),
                values);
        !o.ok())
        return o;

    if (!add3.isNull()) {
        bool number = false;
        const double set3 = add3.toString().trimmed().toDouble(&number);
        if (!number || (set3 != 1 && set3 != 2))
            return Run(db, QStringLiteral("UPDATE sample_base SET add3 = 1 WHERE sample_id = ?"), {id});
    }
    return DbOutcome::done();
}

// The sample's identification: as the analyzer sent it, or with ids the analyzer makes itself the
// laboratory id it maps to (none yet: one is allocated), the analyzer's id in status_1.
DbOutcome SampleSourceOf(Database& db, const StoreJob& job, SampleSource* source, QStringList& notes)
{
    const SampleRecord& s = job.data<SampleJob>().sample;
    const QString analyzerSampleId = s.SampleId.trimmed();
    if (!job.rules.mapsSampleIds) {
        *source = {analyzerSampleId, s.SampleDisc, s.SamplePos, QString()};
        return DbOutcome::done();
    }
    source->status = analyzerSampleId;
    if (analyzerSampleId.isEmpty())
        return DbOutcome::done();
    return SampleIdForAnalyzerIdOn(db, analyzerSampleId, FromSqlStamp(job.receivedAt).date(), &source->id,
                                   &notes);
}

// The orders of the sample stamped within 13 minutes of this measurement take its time.
DbOutcome RestampRun(Database& db, const StoreJob& job, const QString& id)
{
    const QVariant measured = db.stamp(job.stamp);
    return Run(db,
               QStringLiteral("UPDATE request SET time_stamp = ? WHERE sample_id = ? AND ABS(%1) < 13")
                   .arg(db.dialect().minutesBetween(QStringLiteral("time_stamp"), QStringLiteral("?"))),
               {measured, id, measured});
}

} // namespace

DbOutcome StoreSampleJob(const StoreJob& job, JobRun& run)
{
    Database& db = run.transaction.db();
    JobEffects& effects = run.effects;
    run.nothingToStore = false;
    SampleSource source;
    if (DbOutcome o = SampleSourceOf(db, job, &source, effects.notes); !o.ok())
        return o;
    source.id = source.id.trimmed();
    if (source.id.isEmpty()) {
        run.nothingToStore = true;
        return DbOutcome::done();
    }
    if (job.rules.restampsRun) {
        if (DbOutcome o = RestampRun(db, job, source.id); !o.ok())
            return o;
    }
    if (DbOutcome o = StoreResults(db, job, source.id, effects); !o.ok())
        return o;
    if (DbOutcome o = StoreSampleBase(db, job, source, effects); !o.ok())
        return o;
    ++effects.stored.results;
    return Autovalidate(db, job.AutoVal, run.qcTables);
}

QString RecordId(const StoreJob& job)
{
    return job.data<SampleJob>().sample.SampleId.trimmed();
}

void WriteSampleJob(const StoreJob& job, QJsonObject& object)
{
    const SampleJob& data = job.data<SampleJob>();
    object.insert(QStringLiteral("sample"), SampleToJson(data.sample));
    object.insert(QStringLiteral("frame"), FrameToJson(data.frame));
}

bool ReadSampleJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader r(object, error);
    SampleJob data;
    data.sample = SampleFromJson(r.object(QStringLiteral("sample")), error);
    data.frame = FrameFromJson(r.object(QStringLiteral("frame")), error);
    job.payload = data;
    return error->isEmpty();
}

QString DescribeSampleJob(const StoreJob& job)
{
    return QStringLiteral("sample %1").arg(RecordId(job));
}

DbOutcome RunSampleJob(const StoreJob& job, JobRun& run)
{
    return StoreSampleJob(job, run);
}

} // namespace Quorlix
