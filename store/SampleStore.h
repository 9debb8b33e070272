#pragma once

#include "DbOutcome.h"
#include "StoreJob.h"

namespace Quorlix {

class Database;

// Inserts one Raw_Results row: the trimmed sample id, the parameter, analyzer, time stamp (a
// ToSqlStamp text), the result (blanks removed; SQL NULL when it is not a number; no value when
// it is empty) and the data alarm (no value when it is exactly one blank).
DbOutcome StoreRawResult(Database& db, const QString& sampleId, qint16 parameterId, const QString& analyzerId,
                         const QString& timeStamp, const QString& result, const QString& dataAlarm);

// The statements of one patient sample (orders, raw copies, req2send, sample_base, autovalidation)
// inside the caller's transaction. The first failing statement ends the sample.
DbOutcome StoreSampleJob(Database& db, const StoreJob& job, JobEffects& effects, bool* nothingToStore);

} // namespace Quorlix
