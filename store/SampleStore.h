#pragma once

#include "DbOutcome.h"
#include "StoreJob.h"

namespace Quorlix {

class Database;

// The record of a patient sample or a control: the results and, for the frame toward the LIMS, the
// identification of the frame they came in.
struct SampleJob
{
    SampleRecord sample;
    HitachiFrameRecord frame;
};

// The sample or control id a job works with (trimmed).
QString RecordId(const StoreJob& job);
// A SampleJob in a spool file, and back (the sample and the control kinds share the form).
void WriteSampleJob(const StoreJob& job, QJsonObject& object);
bool ReadSampleJob(const QJsonObject& object, StoreJob& job, QString* error);

// A patient sample: orders in request, raw copies in Raw_Results, sample_base, req2send, and with
// AutoVal "1" or "2" the validated results.
QString DescribeSampleJob(const StoreJob& job);
DbOutcome RunSampleJob(const StoreJob& job, JobRun& run);
using SampleJobKind =
    FunctionJobKind<"sample", DescribeSampleJob, WriteSampleJob, ReadSampleJob, RunSampleJob>;

// The statements of one patient sample (orders, raw copies, req2send, sample_base, autovalidation)
// inside the caller's transaction. The first failing statement ends the sample.
DbOutcome StoreSampleJob(const StoreJob& job, JobRun& run);

} // namespace Quorlix
