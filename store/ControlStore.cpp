#include "ControlStore.h"

#include "ControlBlocks.h"
#include "LimsReports.h"
#include "SampleStore.h"
#include "StoreValues.h"
#include "Transaction.h"
#include "core/Database.h"
#include "core/SqlHelpers.h"
#include "core/Stamps.h"
#include "qc/QcEvaluation.h"

namespace Quorlix {

namespace {

QVariant TextOrNull(const QString& text)
{
    return text.isEmpty() ? Database::null() : QVariant(text);
}

} // namespace

bool MatchesMask(const QString& text, const QString& mask)
{
    if (text.size() != mask.size())
        return false;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        if (mask.at(i) != QLatin1Char('?') && mask.at(i) != text.at(i))
            return false;
    }
    return true;
}

DbOutcome StoreControlJob(const StoreJob& job, JobRun& run)
{
    Transaction& transaction = run.transaction;
    JobEffects& effects = run.effects;
    Database& db = transaction.db();
    const SampleJob& data = job.data<SampleJob>();
    const QString controlId = RecordId(job);
    const QString storedId = WithoutBlanks(controlId);
    const QVariant stamp = db.stamp(job.stamp);

    for (int k = 0; k < data.sample.ResultCount; ++k) {
        const ResultEntry& entry = data.sample.Results[static_cast<size_t>(k)];
        const qint16 p = entry.ParameterId;
        const QString& v = entry.Value;

        bool number = false;
        const QVariant result = NumericOrNull(v, &number);
        const QString compact = WithoutBlanks(v);
        if (!number && !compact.isEmpty() && compact != QLatin1String("NULL"))
            effects.notes.append(
                QStringLiteral("control %1 parameter %2: value \"%3\" is not a number; stored as NULL")
                    .arg(controlId)
                    .arg(p)
                    .arg(v));

        const DbOutcome inserted = transaction.skippable([&] {
            SqlResult r = db.run(
                QStringLiteral("INSERT INTO control_results (control_id, parameter_id, time_stamp, result, "
                               "analyzer_id) VALUES (?, ?, ?, ?, ?)"),
                {TextOrNull(storedId), p, stamp, result, TextOrNull(job.AnalyzerId)});
            return DbOutcome::of(db, r);
        });
        if (inserted.kind == DbOutcome::DatabaseFailed)
            return inserted;
        if (inserted.kind == DbOutcome::DataRejected)
            effects.notes.append(QStringLiteral("control %1 parameter %2: result not stored: %3")
                                     .arg(controlId)
                                     .arg(p)
                                     .arg(inserted.error));
        else if (number) {
            const StoredControl stored{storedId, p, job.AnalyzerId, FromSqlStamp(job.stamp),
                                       result.toDouble()};
            if (DbOutcome o =
                    JudgeControlResult(transaction, stored, {run.qcTables, job.QcHold}, effects.notes);
                !o.ok())
                return o;
        }

        // The range check reads the number the value begins with, also when the row was refused.
        const DbOutcome booked = transaction.skippable(
            [&] { return UpdateControlBlock(db, controlId, p, NumberOfText(v), job.AnalyzerId); });
        if (booked.kind == DbOutcome::DatabaseFailed)
            return booked;
        if (booked.kind == DbOutcome::DataRejected)
            effects.notes.append(QStringLiteral("control %1 parameter %2: control block not updated: %3")
                                     .arg(controlId)
                                     .arg(p)
                                     .arg(booked.error));
    }

    if (job.limsTakesReports()) {
        const ControlFrameHeader header{data.frame.CurFunction,      data.frame.CurFrameClass,
                                        data.frame.CurNumber,        data.sample.SamplePos,
                                        data.frame.CurInfo1,         data.frame.CurInfo2,
                                        FromSqlStamp(job.receivedAt)};
        const DbOutcome framed = transaction.skippable([&] {
            QString frame;
            const DbOutcome o =
                ControlResultsFrameFromDb(db, header, controlId, job.stamp, job.OutId, &frame);
            if (!frame.isEmpty())
                effects.limsFrames.append(frame);
            return o;
        });
        if (framed.kind == DbOutcome::DatabaseFailed)
            return framed;
        if (framed.kind == DbOutcome::DataRejected)
            effects.notes.append(
                QStringLiteral("control %1: results not sent to the LIMS: %2").arg(controlId, framed.error));
    }
    ++effects.stored.controls;
    return DbOutcome::done();
}

QString DescribeControlJob(const StoreJob& job)
{
    return QStringLiteral("control %1").arg(RecordId(job));
}

DbOutcome RunControlJob(const StoreJob& job, JobRun& run)
{
    return StoreControlJob(job, run);
}

} // namespace Quorlix
