#pragma once

#include "store/CalibrationStore.h"
#include "store/SampleStore.h"
#include "store/StoreJob.h"

namespace Quorlix {

// A frame received while param2channel could not be read: its results (or its calibration) wait
// with their channels, and the channels are mapped to parameters inside the transaction that
// stores them, once the database is back.
struct UnmappedFrame
{
    enum class Target
    {
        Sample,
        Control,
        Calibration
    };
    Target target = Target::Sample;
    bool ofThisAnalyzer = false; // how the channels are mapped (see HitachiQueries::parametersOfChannels)
    SampleJob sample;            // Sample, Control
    CalibrationJob calibration;  // Calibration
};

QString DescribeUnmappedFrameJob(const StoreJob& job);
void WriteUnmappedFrameJob(const StoreJob& job, QJsonObject& object);
bool ReadUnmappedFrameJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunUnmappedFrameJob(const StoreJob& job, JobRun& run);
using UnmappedFrameJobKind =
    FunctionJobKind<"hitachi-unmapped", DescribeUnmappedFrameJob, WriteUnmappedFrameJob, ReadUnmappedFrameJob,
                    RunUnmappedFrameJob>;

} // namespace Quorlix
