#pragma once

#include "ActMessage.h"
#include "store/StoreJob.h"

namespace Quorlix {

// The results of one ACT message filed under the operator's choice: a sample's existing orders
// (StoreActSampleResults) or a control's results (StoreActControlResults).
struct ActJob
{
    QString id;
    bool control = false;
    QList<ActResult> results;
};

// Stores one ActJob in one transaction. A result whose short name test_def does not know is not
// stored (never as parameter 0); a sample is stored only into its existing request rows.
QString DescribeActResultsJob(const StoreJob& job);
void WriteActResultsJob(const StoreJob& job, QJsonObject& object);
bool ReadActResultsJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunActResultsJob(const StoreJob& job, JobRun& run);
using ActResultsJobKind = FunctionJobKind<"act-results", DescribeActResultsJob, WriteActResultsJob,
                                          ReadActResultsJob, RunActResultsJob>;

} // namespace Quorlix
