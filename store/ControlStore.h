#pragma once

#include "DbOutcome.h"
#include "StoreJob.h"

namespace Quorlix {

class Transaction;

// The statements of one control record inside the caller's transaction: a control_results row
// and the control block booking per result, then (with a LIMS side) the frame toward the LIMS in
// effects. A statement refused for its values is skipped with a note and the record goes on; a
// failure of the database ends it.
DbOutcome StoreControlJob(Transaction& transaction, const StoreJob& job, JobEffects& effects);

} // namespace Quorlix
