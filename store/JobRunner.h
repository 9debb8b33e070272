#pragma once

#include "StoreJob.h"

namespace Quorlix {

struct Context;

// How storing one job ended.
struct JobOutcome
{
    enum Result
    {
        Stored,          // committed
        NothingToStore,  // no sample id: nothing to do
        HeldForOperator, // a calibration handed to the mismatch window
        AlreadyStored,   // a spooled job whose id the database already holds
        DataRejected,    // the database refuses the record's values: retrying cannot help
        DatabaseFailed,  // the database failed: the record has to wait
    };
    Result result = Stored;
    QString error;
    bool connectionLost = false;

    bool done() const { return result != DataRejected && result != DatabaseFailed; }
};

// Stores one job in one transaction. With a spool id the same transaction records the id in
// quorlix_log ("spool_stored"), and a job whose id is there already is not stored again. Once the
// transaction is committed: the Monitor notes, the frame toward the LIMS, the mismatch window.
JobOutcome RunJob(Context& context, const StoreJob& job, const QString& spoolId = QString());

// A store call: stores the job at once; while the spool holds records, or when the database fails,
// the job goes into the spool instead. Nothing received is lost.
void SubmitJob(Context& context, const StoreJob& job);

} // namespace Quorlix
