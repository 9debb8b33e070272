#pragma once

#include "store/StoreJob.h"

#include <QList>

namespace Quorlix {

// One value of a DSX result message: the order's specimen id, the result's test field
// ("^^^" and the test code) and the value as received.
struct DsxValue
{
    QString sampleId;
    QString testField;
    QString value;
};

// The results of one DSX message, stored together in one transaction (StoreDsxResult for each):
// the test code (the last "^" component) is mapped to its parameter through param2channel; the
// value loses a trailing "#"; the open request row is filled, or a filled one inserted; the
// sample gets a sample_base row (patient 1, si_id "na", customer "999") or its analyzer updated.
struct DsxResults
{
    QList<DsxValue> values;
};

QString DescribeDsxResultsJob(const StoreJob& job);
void WriteDsxResultsJob(const StoreJob& job, QJsonObject& object);
bool ReadDsxResultsJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunDsxResultsJob(const StoreJob& job, JobRun& run);
using DsxJobKind = FunctionJobKind<"dsx-results", DescribeDsxResultsJob, WriteDsxResultsJob,
                                   ReadDsxResultsJob, RunDsxResultsJob>;

} // namespace Quorlix
