#include "CalibrationStore.h"

#include "LimsReports.h"
#include "RecordJson.h"
#include "StoreValues.h"
#include "Transaction.h"
#include "core/Database.h"

#include <cmath>

namespace Quorlix {

namespace {

struct CalibSettings
{
    bool found = false;
    QVariant stdcount;
    std::array<QVariant, MaxStandards> concentrations;
};

DbOutcome ReadSettings(Database& db, const StoreJob& job, CalibSettings* settings)
{
    SqlResult row =
        db.run(QStringLiteral("SELECT c.stdcount, c.c1, c.c2, c.c3, c.c4, c.c5, c.c6 FROM calib_base c "
                              "INNER JOIN test_def t ON t.parameter_id = c.param_id "
                              "WHERE c.param_id = ? AND c.analyzer_id = ?"),
               {job.data<CalibrationJob>().calibration.CalParameterId, BoundText(job.AnalyzerId)});
    if (!row.ok())
        return DbOutcome::of(db, row);
    if (row.next()) {
        settings->found = true;
        settings->stdcount = row.value(0);
        for (int i = 0; i < MaxStandards; ++i)
            settings->concentrations[static_cast<size_t>(i)] = row.value(1 + i);
    }
    row.finish();
    return DbOutcome::done();
}

DbOutcome InsertCalibration(Database& db, const StoreJob& job, const CalibrationRecord& cal,
                            QStringList& notes)
{
    QString columns = QStringLiteral(
        "INSERT INTO calibrations (analyzer_id, calib_dat, parameter_id, std_count, calibalarm, sd_val");
    QString placeholders = QStringLiteral(" VALUES (?, ?, ?, ?, ?, ?");
    QVariantList values{BoundText(job.AnalyzerId), db.stamp(job.receivedAt), cal.CalParameterId,
                        cal.CalStdCount,           BoundText(cal.CalAlarm),  BoundText(cal.CalSdValue)};
    const int count = qBound(0, static_cast<int>(cal.CalStdCount), MaxStandards);
    for (int j = 1; j <= count; ++j) {
        const CalStandard& s = cal.CalStandards[static_cast<size_t>(j - 1)];
        const QString n = QStringLiteral(", s") + QString::number(j);
        columns += n + QStringLiteral("1ini") + n + QStringLiteral("2ini") + n + QStringLiteral("1abs") + n +
                   QStringLiteral("2abs") + n + QStringLiteral("dataalarm") + n + QStringLiteral("conz") + n +
                   QStringLiteral("prozone_val");
        placeholders += QStringLiteral(", ?, ?, ?, ?, ?, ?, ?");
        // Second and fourth readings are the initial values, first and third the absorbances.
        const double scale = job.rules.readingScale;
        values << CalibrationReading(s.Readings[1], scale) << CalibrationReading(s.Readings[3], scale)
               << CalibrationReading(s.Readings[0], scale) << CalibrationReading(s.Readings[2], scale)
               << BoundText(s.DataAlarm) << DecimalOrNull(s.Concentration) << BoundText(s.ProzoneValue);
        if (!s.Concentration.trimmed().isEmpty() && !IsNumericText(s.Concentration))
            notes.append(
                QStringLiteral(
                    "calibration of parameter %1: concentration \"%2\" of standard %3 is not a number; "
                    "stored as NULL")
                    .arg(cal.CalParameterId)
                    .arg(s.Concentration)
                    .arg(j));
    }
    SqlResult result = db.run(columns + QStringLiteral(")") + placeholders + QStringLiteral(")"), values);
    return DbOutcome::of(db, result);
}

// Runs a skippable group; a refusal of its values becomes a note, a database failure is returned.
bool Skip(Transaction& transaction, const std::function<DbOutcome()>& group, const QString& what,
          QStringList& notes, DbOutcome* failure, bool* skipped = nullptr)
{
    const DbOutcome outcome = transaction.skippable(group);
    if (outcome.kind == DbOutcome::DatabaseFailed) {
        *failure = outcome;
        return false;
    }
    if (skipped)
        *skipped = outcome.kind == DbOutcome::DataRejected;
    if (outcome.kind == DbOutcome::DataRejected)
        notes.append(QStringLiteral("%1: %2").arg(what, outcome.error));
    return true;
}

} // namespace

double CalibrationReading(const QString& text, double scale)
{
    const double value = NumberOfText(text);
    if (scale != 1)
        return std::round(value * scale * 1e6) / 1e6; // 0.1234 is 1234, not 1233.9999999999998
    return value;
}

DbOutcome StoreCalibrationJob(Transaction& transaction, const StoreJob& job, bool dialogsAvailable,
                              JobEffects& effects)
{
    Database& db = transaction.db();
    CalibrationRecord cal = job.data<CalibrationJob>().calibration;
    const QString what = job.describe();
    DbOutcome failure;

    CalibSettings settings;
    if (!Skip(
            transaction, [&] { return ReadSettings(db, job, &settings); },
            QStringLiteral("%1: settings of calib_base not read").arg(what), effects.notes, &failure))
        return failure;

    const bool showChart = job.ShowCalibChart == QLatin1String("1");
    bool mismatch = !settings.found && showChart;
    if (settings.found) {
        const double expected = NumberOfText(NumberText(settings.stdcount));
        const int known = qBound(0, static_cast<int>(expected), MaxStandards);
        for (int i = 0; i < known; ++i)
            cal.CalStandards[static_cast<size_t>(i)].Concentration =
                NumberText(settings.concentrations[static_cast<size_t>(i)]);
        mismatch = expected != cal.CalStdCount && showChart;
    }
    if (mismatch) {
        if (dialogsAvailable) {
            effects.mismatches.append(cal);
            return DbOutcome::done();
        }
        effects.notes.append(
            QStringLiteral("%1 does not fit the settings of calib_base; no window can show it here: "
                           "stored as it came")
                .arg(what));
    }

    bool refused = false;
    if (!Skip(
            transaction, [&] { return InsertCalibration(db, job, cal, effects.notes); },
            QStringLiteral("%1 not stored").arg(what), effects.notes, &failure, &refused))
        return failure;
    if (!refused)
        ++effects.stored.calibrations;

    if (job.limsTakesReports()) {
        if (!Skip(
                transaction,
                [&] {
                    QString frame;
                    const DbOutcome o =
                        CalibrationFrameFromDb(db, job.receivedAt, cal.CalParameterId, &frame);
                    if (!frame.isEmpty())
                        effects.limsFrames.append(frame);
                    return o;
                },
                QStringLiteral("%1 not sent to the LIMS").arg(what), effects.notes, &failure))
            return failure;
    }
    return DbOutcome::done();
}

DbOutcome StoreRepairedCalibrationJob(Transaction& transaction, const StoreJob& job, JobEffects& effects)
{
    Database& db = transaction.db();
    const CalibrationJob& data = job.data<CalibrationJob>();
    const CalibrationRecord& cal = data.calibration;
    const QString what = job.describe();
    DbOutcome failure;

    if (data.replaceSettings) {
        auto replace = [&]() -> DbOutcome {
            SqlResult removed =
                db.run(QStringLiteral("DELETE FROM calib_base WHERE param_id = ? AND analyzer_id = ?"),
                       {cal.CalParameterId, BoundText(job.AnalyzerId)});
            if (!removed.ok())
                return DbOutcome::of(db, removed);
            QVariantList values{BoundText(job.AnalyzerId), cal.CalParameterId, cal.CalStdCount};
            for (const CalStandard& s : cal.CalStandards)
                values << DecimalOrNull(s.Concentration);
            SqlResult added = db.run(
                QStringLiteral("INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, "
                               "c5, c6) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                values);
            return DbOutcome::of(db, added);
        };
        if (!Skip(transaction, replace, QStringLiteral("%1: settings of calib_base not replaced").arg(what),
                  effects.notes, &failure))
            return failure;
    }
    bool refused = false;
    if (!Skip(
            transaction, [&] { return InsertCalibration(db, job, cal, effects.notes); },
            QStringLiteral("%1 not stored").arg(what), effects.notes, &failure, &refused))
        return failure;
    if (!refused)
        ++effects.stored.calibrations;
    return DbOutcome::done();
}

void WriteCalibrationJob(const StoreJob& job, QJsonObject& object)
{
    const CalibrationJob& data = job.data<CalibrationJob>();
    object.insert(QStringLiteral("calibration"), CalibrationToJson(data.calibration));
    object.insert(QStringLiteral("replaceSettings"), data.replaceSettings);
}

bool ReadCalibrationJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader r(object, error);
    CalibrationJob data;
    data.calibration = CalibrationFromJson(r.object(QStringLiteral("calibration")), error);
    data.replaceSettings = r.boolean(QStringLiteral("replaceSettings"));
    job.payload = data;
    return error->isEmpty();
}

QString DescribeCalibrationJob(const StoreJob& job)
{
    return QStringLiteral("calibration of parameter %1")
        .arg(job.data<CalibrationJob>().calibration.CalParameterId);
}

DbOutcome RunCalibrationJob(const StoreJob& job, JobRun& run)
{
    return StoreCalibrationJob(run.transaction, job, run.dialogsAvailable, run.effects);
}

QString DescribeRepairedCalibrationJob(const StoreJob& job)
{
    return QStringLiteral("repaired calibration of parameter %1")
        .arg(job.data<CalibrationJob>().calibration.CalParameterId);
}

DbOutcome RunRepairedCalibrationJob(const StoreJob& job, JobRun& run)
{
    return StoreRepairedCalibrationJob(run.transaction, job, run.effects);
}

} // namespace Quorlix
