#include "MgcHandOver.h"

#include "MgcContext.h"
#include "MgcMarks.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Stamps.h"
#include "store/Spool.h"
#include "store/Store.h"
#include "store/Transaction.h"

namespace Quorlix {

MgcHandOutcome MgcHand(MgcContext& ctx, const StoreJob& job)
{
    Store& store = ctx.store;
    Spool* spool = store.spool();
    if (spool && spool->hasPending()) {
        // Records are stored in the order they came: this one waits behind the others.
        store.submit(job);
        return {MgcHanded::Waiting, {}};
    }
    const JobOutcome outcome = store.run(job);
    switch (outcome.result) {
    case JobOutcome::Stored:
        return {MgcHanded::Stored, {}};
    case JobOutcome::NothingToStore:
    case JobOutcome::HeldForOperator:
    case JobOutcome::AlreadyStored:
        return {MgcHanded::NothingNew, {}};
    case JobOutcome::DataRejected:
    case JobOutcome::Quarantined: // run() leaves setting aside to its caller: never here
        return {MgcHanded::Refused, outcome.error};
    case JobOutcome::DatabaseFailed:
    case JobOutcome::Waiting: // likewise
        break;
    }
    if (outcome.connectionLost)
        ctx.labLost = true;
    // Without a spool the source keeps the record: it is taken again once the database answers.
    if (spool) {
        if (outcome.connectionLost)
            spool->connectionLost();
        spool->add(job, QStringLiteral("database failure: %1").arg(outcome.error));
    } else {
        ctx.problem(QStringLiteral("store"),
                    QStringLiteral("MGC240 records wait in the MGC240's database: %1").arg(outcome.error));
    }
    return {MgcHanded::Waiting, outcome.error};
}

void MgcQuarantine(MgcContext& ctx, const StoreJob& job, const QString& error, const QStringList& marks)
{
    ctx.store.quarantine(job, QStringLiteral("the database refused it: %1").arg(error));
    for (const QString& mark : marks)
        ctx.quarantined.insert(mark);
    Transaction transaction(ctx.lab);
    DbOutcome outcome = transaction.begin();
    const QVariant now = ctx.lab.stamp(SqlStamp(ctx.clock.now()));
    for (const QString& mark : marks) {
        if (outcome.ok())
            outcome = InsertMgcMark(ctx.lab, MgcQuarantinedKey, mark, now);
    }
    if (outcome.ok())
        outcome = transaction.commit();
    if (!outcome.ok()) {
        ctx.noteFailure(ctx.lab, outcome);
        ctx.log.monitor(QStringLiteral("%1: quarantined, but not marked so (taken again after a restart): %2")
                            .arg(job.describe(), outcome.error));
    }
}

} // namespace Quorlix
