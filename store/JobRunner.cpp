#include "JobRunner.h"

#include "../comm/LinePort.h"
#include "../core/Context.h"
#include "../core/Database.h"
#include "CalibrationDialogs.h"
#include "CalibrationStore.h"
#include "ControlStore.h"
#include "SampleStore.h"
#include "Spool.h"
#include "Transaction.h"

#include <QJsonDocument>

namespace Quorlix {

namespace {

const QString SpoolStoredKey = QStringLiteral("spool_stored");
const QString FrameStoredKey = QStringLiteral("frame_stored");

JobOutcome Failed(const DbOutcome& o)
{
    JobOutcome outcome;
    outcome.result =
        o.kind == DbOutcome::DataRejected ? JobOutcome::DataRejected : JobOutcome::DatabaseFailed;
    outcome.error = o.error;
    outcome.connectionLost = o.connectionLost;
    return outcome;
}

} // namespace

JobOutcome RunJob(Context& context, const StoreJob& job, const QString& spoolId)
{
    if (!context.db)
        return Failed(DbOutcome::databaseFailed(QStringLiteral("no database")));
    Database& db = *context.db;
    Transaction transaction(db);
    if (DbOutcome o = transaction.begin(); !o.ok())
        return Failed(o);

    // A spooled record whose id is already there, or a frame the analyzer sent again after an
    // answer it did not get, was stored before: it is not stored twice.
    for (const auto& [key, value] : {std::pair(SpoolStoredKey, spoolId), std::pair(FrameStoredKey, job.frameKey)}) {
        if (value.isEmpty())
            continue;
        SqlResult marked =
            db.run(QStringLiteral("SELECT COUNT(*) FROM quorlix_log WHERE log_key = ? AND log_val = ?"), {key, value});
        if (!marked.next()) {
            const DbOutcome failed = marked.ok() ? DbOutcome::databaseFailed(QStringLiteral("no count of quorlix_log"))
                                                 : DbOutcome::of(db, marked);
            transaction.rollback();
            return Failed(failed);
        }
        const bool already = marked.value(0).toInt() > 0;
        marked.query().finish();
        if (already) {
            transaction.rollback();
            if (key == FrameStoredKey && spoolId.isEmpty())
                MonitorLine(context, QStringLiteral("%1: the same frame again, already stored: not stored twice")
                                         .arg(job.describe()));
            return {JobOutcome::AlreadyStored, {}, false};
        }
    }

    JobEffects effects;
    bool nothingToStore = false;
    DbOutcome stored;
    switch (job.kind) {
    case StoreJob::Kind::Sample:
        stored = StoreSampleJob(db, job, effects, &nothingToStore);
        break;
    case StoreJob::Kind::Control:
        stored = StoreControlJob(transaction, job, effects);
        break;
    case StoreJob::Kind::Calibration:
        stored = StoreCalibrationJob(transaction, job, context.calibrationDialogs != nullptr, effects);
        break;
    case StoreJob::Kind::RepairedCalibration:
        stored = StoreRepairedCalibrationJob(transaction, job, effects);
        break;
    }
    if (!stored.ok()) {
        transaction.rollback();
        return Failed(stored);
    }

    for (const auto& [key, value] : {std::pair(SpoolStoredKey, spoolId), std::pair(FrameStoredKey, job.frameKey)}) {
        if (value.isEmpty())
            continue;
        SqlResult mark = db.run(QStringLiteral("INSERT INTO quorlix_log (time_stamp, log_key, log_val) VALUES (?, ?, ?)"),
                                {db.stamp(context.sqlNow()), key, value});
        if (!mark.ok()) {
            const DbOutcome failed = DbOutcome::of(db, mark);
            transaction.rollback();
            return Failed(failed);
        }
    }
    if (DbOutcome o = transaction.commit(); !o.ok())
        return Failed(o);

    for (const QString& note : std::as_const(effects.notes))
        MonitorLine(context, note);
    if (!effects.limsFrame.isEmpty() && context.limsPort)
        context.limsPort->send(effects.limsFrame, Direction::HostToLims);
    if (effects.mismatch && context.calibrationDialogs) {
        context.calibrationDialogs->showMismatch(*effects.mismatch);
        return {JobOutcome::HeldForOperator, {}, false};
    }
    return {nothingToStore ? JobOutcome::NothingToStore : JobOutcome::Stored, {}, false};
}

void SubmitJob(Context& context, const StoreJob& job)
{
    Spool* spool = context.spool;
    if (spool && spool->hasPending()) {
        // Records are stored in the order they arrived: this one waits behind the others.
        spool->add(job, QStringLiteral("earlier records are waiting for the database"));
        return;
    }
    const JobOutcome outcome = RunJob(context, job);
    if (outcome.done())
        return;
    const QString reason = outcome.result == JobOutcome::DataRejected
                               ? QStringLiteral("the database refused it: %1").arg(outcome.error)
                               : QStringLiteral("database failure: %1").arg(outcome.error);
    if (spool) {
        if (outcome.connectionLost)
            spool->connectionLost();
        spool->add(job, reason);
        return;
    }
    // Without a spool the record goes into the communication log, from where it can be recovered.
    MonitorLine(context, QStringLiteral("%1 not stored (%2): %3")
                             .arg(job.describe(), reason,
                                  QString::fromUtf8(
                                      QJsonDocument(ToJson(job, QString())).toJson(QJsonDocument::Compact))));
}

} // namespace Quorlix
