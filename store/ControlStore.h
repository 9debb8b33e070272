#pragma once

#include "DbOutcome.h"
#include "SampleStore.h"
#include "StoreJob.h"

namespace Quorlix {

// The statements of one control record inside the caller's transaction: a control_results row
// and the control block booking per result, then (with a LIMS side) the frame toward the LIMS in
// effects; each numeric result stored is judged by the quality control. A statement refused for
// its values is skipped with a note and the record goes on; a failure of the database ends it.
DbOutcome StoreControlJob(const StoreJob& job, JobRun& run);

// A control sample (a SampleJob whose id matches the control mask): control_results, control
// blocks, and the frame toward the LIMS.
QString DescribeControlJob(const StoreJob& job);
DbOutcome RunControlJob(const StoreJob& job, JobRun& run);
using ControlJobKind =
    FunctionJobKind<"control", DescribeControlJob, WriteSampleJob, ReadSampleJob, RunControlJob>;

// True when text and mask have the same length and every mask character is "?" or equal to the
// text's character (case-sensitive).
bool MatchesMask(const QString& text, const QString& mask);

} // namespace Quorlix
