#include "MgcJobs.h"

#include "MgcMarks.h"
#include "core/Database.h"
#include "core/SqlHelpers.h"
#include "core/Stamps.h"
#include "store/ControlBlocks.h"
#include "store/RecordJson.h"
#include "store/Transaction.h"
#include "store/qc/QcEvaluation.h"

#include <QJsonArray>

#include <cmath>

namespace Quorlix {

namespace {

QVariant Bound(std::optional<double> value)
{
    return value ? QVariant(*value) : Database::null();
}

QJsonValue Json(std::optional<double> value)
{
    return value ? QJsonValue(*value) : QJsonValue();
}

// A number of a spool file: a JSON number (or null where nothing is allowed).
std::optional<double> ReadNumber(const QJsonValue& value, bool allowNull, JsonReader& r, const QString& what)
{
    if (value.isDouble())
        return value.toDouble();
    if (!(allowNull && value.isNull()))
        r.fail(what);
    return std::nullopt;
}

QString ReadStamp(JsonReader& r, const QString& key)
{
    const QString stamp = r.text(key);
    if (!FromSqlStamp(stamp).isValid())
        r.fail(key);
    return stamp;
}

// Whether a row of the table already holds a value as late as this one or later.
DbOutcome StoredSince(Database& db, const QString& sql, const QVariantList& values, bool* stored)
{
    SqlResult count = db.run(sql, values);
    if (!count.next())
        return count.ok() ? DbOutcome::databaseFailed(QStringLiteral("no count from: %1").arg(sql))
                          : DbOutcome::of(db, count);
    *stored = count.value(0).toInt() > 0;
    count.finish();
    return DbOutcome::done();
}

} // namespace

std::optional<double> StoredAbsorbance(std::optional<double> absorbance, std::optional<double> concentration)
{
    if (!absorbance && concentration)
        absorbance = 0.0;
    if (!absorbance)
        return std::nullopt;
    return *absorbance * 10000;
}

std::optional<double> MgcNumber(const QVariant& value, bool* malformed)
{
    if (malformed)
        *malformed = false;
    if (value.isNull() || !value.isValid())
        return std::nullopt;
    bool ok = false;
    double number = 0;
    if (value.metaType().id() == QMetaType::QString) {
        QString text = value.toString().trimmed();
        if (text.isEmpty())
            return std::nullopt;
        number = text.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    } else {
        number = value.toDouble(&ok);
    }
    if (!ok || !std::isfinite(number)) {
        if (malformed)
            *malformed = true;
        return std::nullopt;
    }
    return number;
}

// ---- results of samples

QString DescribeMgcResultsJob(const StoreJob& job)
{
    const QList<MgcSampleResults>& samples = job.data<MgcResultBatch>().samples;
    if (samples.size() == 1)
        return QStringLiteral("MGC240 results of sample %1").arg(samples.first().sampleId);
    return QStringLiteral("MGC240 results of %1 samples (%2 to %3)")
        .arg(samples.size())
        .arg(samples.isEmpty() ? QString() : samples.first().sampleId,
             samples.isEmpty() ? QString() : samples.last().sampleId);
}

void WriteMgcResultsJob(const StoreJob& job, QJsonObject& object)
{
    QJsonArray samples;
    for (const MgcSampleResults& sample : job.data<MgcResultBatch>().samples) {
        QJsonArray results;
        for (const MgcValue& v : sample.results)
            results.append(QJsonObject{{QStringLiteral("parameterId"), v.parameterId},
                                       {QStringLiteral("value"), v.value},
                                       {QStringLiteral("measuredAt"), v.measuredAt}});
        samples.append(
            QJsonObject{{QStringLiteral("sampleId"), sample.sampleId}, {QStringLiteral("results"), results}});
    }
    object.insert(QStringLiteral("samples"), samples);
}

bool ReadMgcResultsJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader r(object, error);
    MgcResultBatch data;
    for (const QJsonValue& sampleValue : r.array(QStringLiteral("samples"))) {
        const QJsonObject sampleObject = sampleValue.toObject();
        JsonReader s(sampleObject, error);
        MgcSampleResults sample;
        sample.sampleId = s.text(QStringLiteral("sampleId"));
        for (const QJsonValue& entry : s.array(QStringLiteral("results"))) {
            JsonReader e(entry.toObject(), error);
            MgcValue v;
            v.parameterId = e.int16(QStringLiteral("parameterId"));
            v.value =
                ReadNumber(entry.toObject().value(QStringLiteral("value")), false, e, QStringLiteral("value"))
                    .value_or(0);
            // Records spooled by earlier versions carry no measurement time.
            v.measuredAt = entry.toObject().value(QStringLiteral("measuredAt")).toString();
            sample.results << v;
        }
        data.samples << sample;
    }
    job.payload = data;
    return error->isEmpty();
}

DbOutcome RunMgcResultsJob(const StoreJob& job, JobRun& run)
{
    Database& db = run.transaction.db();
    const QVariant stamp = db.stamp(job.stamp);
    const QVariant marked = db.stamp(job.receivedAt);
    int filled = 0;
    for (const MgcSampleResults& sample : job.data<MgcResultBatch>().samples) {
        const int filledBefore = filled;
        for (const MgcValue& v : sample.results) {
            // Only an order still open takes the result: taken once, it is not taken again.
            SqlResult r =
                db.run(QStringLiteral("UPDATE request SET result = ?, analyzer_id = ?, time_stamp = ? "
                                      "WHERE sample_id = ? AND parameter_id = ? AND result IS NULL "
                                      "AND analyzer_id IS NULL AND time_stamp IS NULL"),
                       {v.value, job.AnalyzerId, stamp, sample.sampleId, v.parameterId});
            if (!r.ok())
                return DbOutcome::of(db, r);
            if (r.rowsAffected() <= 0)
                continue;
            filled += r.rowsAffected();
            const QString mark =
                MgcResultMark(job.AnalyzerId, sample.sampleId, v.parameterId, v.measuredAt, v.value);
            if (DbOutcome o = InsertMgcMark(db, MgcTakenKey, mark, marked); !o.ok())
                return o;
        }
        if (filled > filledBefore)
            ++run.effects.stored.results;
    }
    run.nothingToStore = filled == 0;
    return DbOutcome::done();
}

// ---- control results

QString DescribeMgcControlJob(const StoreJob& job)
{
    const MgcControlResult& data = job.data<MgcControlResult>();
    return QStringLiteral("MGC240 control %1 parameter %2").arg(data.controlId).arg(data.parameterId);
}

void WriteMgcControlJob(const StoreJob& job, QJsonObject& object)
{
    const MgcControlResult& data = job.data<MgcControlResult>();
    object.insert(QStringLiteral("controlId"), data.controlId);
    object.insert(QStringLiteral("parameterId"), data.parameterId);
    object.insert(QStringLiteral("measuredAt"), data.measuredAt);
    object.insert(QStringLiteral("value"), data.value);
}

bool ReadMgcControlJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader r(object, error);
    MgcControlResult data;
    data.controlId = r.text(QStringLiteral("controlId"));
    data.parameterId = r.int16(QStringLiteral("parameterId"));
    data.measuredAt = ReadStamp(r, QStringLiteral("measuredAt"));
    data.value =
        ReadNumber(object.value(QStringLiteral("value")), false, r, QStringLiteral("value")).value_or(0);
    job.payload = data;
    return error->isEmpty();
}

DbOutcome RunMgcControlJob(const StoreJob& job, JobRun& run)
{
    Database& db = run.transaction.db();
    const MgcControlResult& data = job.data<MgcControlResult>();
    const QVariant measured = db.stamp(data.measuredAt);
    bool stored = false;
    if (DbOutcome o =
            StoredSince(db,
                        QStringLiteral("SELECT COUNT(*) FROM control_results WHERE analyzer_id = ? "
                                       "AND control_id = ? AND parameter_id = ? AND time_stamp >= ?"),
                        {job.AnalyzerId, data.controlId, data.parameterId, measured}, &stored);
        !o.ok())
        return o;
    if (stored) {
        run.nothingToStore = true;
        return DbOutcome::done();
    }
    SqlResult inserted =
        db.run(QStringLiteral("INSERT INTO control_results (control_id, parameter_id, time_stamp, "
                              "result, analyzer_id) VALUES (?, ?, ?, ?, ?)"),
               {data.controlId, data.parameterId, measured, data.value, job.AnalyzerId});
    if (!inserted.ok())
        return DbOutcome::of(db, inserted);
    ++run.effects.stored.controls;
    if (DbOutcome o = UpdateControlBlock(db, data.controlId, data.parameterId, data.value, job.AnalyzerId);
        !o.ok())
        return o;
    const StoredControl control{data.controlId, data.parameterId, job.AnalyzerId,
                                FromSqlStamp(data.measuredAt), data.value};
    return JudgeControlResult(run.transaction, control, {run.qcTables, job.QcHold}, run.effects.notes);
}

// ---- calibrations

QString DescribeMgcCalibrationJob(const StoreJob& job)
{
    return QStringLiteral("MGC240 calibration of parameter %1").arg(job.data<MgcCalibration>().parameterId);
}

void WriteMgcCalibrationJob(const StoreJob& job, QJsonObject& object)
{
    const MgcCalibration& data = job.data<MgcCalibration>();
    QJsonArray absorbances;
    for (const std::optional<double>& a : data.absorbances)
        absorbances.append(Json(a));
    object.insert(QStringLiteral("parameterId"), data.parameterId);
    object.insert(QStringLiteral("calibratedAt"), data.calibratedAt);
    object.insert(QStringLiteral("absorbances"), absorbances);
}

bool ReadMgcCalibrationJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader r(object, error);
    MgcCalibration data;
    data.parameterId = r.int16(QStringLiteral("parameterId"));
    data.calibratedAt = ReadStamp(r, QStringLiteral("calibratedAt"));
    const QJsonArray absorbances = r.array(QStringLiteral("absorbances"));
    if (absorbances.size() != qsizetype(data.absorbances.size()))
        r.fail(QStringLiteral("absorbances"));
    for (qsizetype i = 0; i < absorbances.size() && i < qsizetype(data.absorbances.size()); ++i)
        data.absorbances[size_t(i)] = ReadNumber(absorbances.at(i), true, r, QStringLiteral("absorbances"));
    job.payload = data;
    return error->isEmpty();
}

DbOutcome RunMgcCalibrationJob(const StoreJob& job, JobRun& run)
{
    Database& db = run.transaction.db();
    const MgcCalibration& data = job.data<MgcCalibration>();
    const QVariant calibrated = db.stamp(data.calibratedAt);
    bool stored = false;
    if (DbOutcome o = StoredSince(db,
                                  QStringLiteral("SELECT COUNT(*) FROM calibrations WHERE analyzer_id = ? "
                                                 "AND parameter_id = ? AND calib_dat >= ?"),
                                  {job.AnalyzerId, data.parameterId, calibrated}, &stored);
        !o.ok())
        return o;
    if (stored) {
        run.nothingToStore = true;
        return DbOutcome::done();
    }

    // The expected standards of the parameter, this analyzer's settings first.
    SqlResult settings = db.run(QStringLiteral("SELECT stdcount, c1, c2, c3, c4, c5, c6 FROM calib_base "
                                               "WHERE param_id = ? ORDER BY CASE WHEN analyzer_id = ? THEN 0 "
                                               "ELSE 1 END"),
                                {data.parameterId, job.AnalyzerId});
    if (!settings.ok())
        return DbOutcome::of(db, settings);
    QVariant standardCount = Database::null();
    std::array<std::optional<double>, 6> concentrations;
    if (settings.next()) {
        if (!settings.value(0).isNull())
            standardCount = settings.value(0).toInt();
        for (size_t n = 0; n < concentrations.size(); ++n)
            concentrations[n] = MgcNumber(settings.value(int(n) + 1));
    }
    settings.finish();

    QVariantList values{calibrated, job.AnalyzerId, data.parameterId, standardCount};
    QStringList columns;
    for (size_t n = 0; n < concentrations.size(); ++n) {
        const std::optional<double> absorbance = StoredAbsorbance(data.absorbances[n], concentrations[n]);
        // Both absorbance columns of a standard take the same value.
        values << Bound(absorbance) << Bound(absorbance) << Bound(concentrations[n]);
        const QString s = QStringLiteral("s%1").arg(n + 1);
        columns << s + QLatin1String("1abs, ") + s + QLatin1String("2abs, ") + s + QLatin1String("conz");
    }
    SqlResult inserted =
        db.run(QStringLiteral("INSERT INTO calibrations (calib_dat, analyzer_id, parameter_id, "
                              "std_count, %1) VALUES (%2)")
                   .arg(columns.join(QStringLiteral(", ")), Placeholders(values.size())),
               values);
    if (inserted.ok())
        ++run.effects.stored.calibrations;
    return DbOutcome::of(db, inserted);
}

} // namespace Quorlix
