#pragma once

#include "DbOutcome.h"
#include "StoreJob.h"

namespace Quorlix {

class Transaction;

// The record of a calibration; replaceSettings (a repaired calibration only): also replace the
// calib_base settings with its standard count and concentrations.
struct CalibrationJob
{
    CalibrationRecord calibration;
    bool replaceSettings = false;
};

// The statements of one calibration inside the caller's transaction: the expected concentrations
// from calib_base, then either the mismatch for the operator (in effects, nothing stored) or the
// calibrations row and, with a LIMS side, the frame toward the LIMS.
DbOutcome StoreCalibrationJob(Transaction& transaction, const StoreJob& job, bool dialogsAvailable,
                              JobEffects& effects);

// A calibration the operator repaired: optionally replaces calib_base with its standard count and
// concentrations (empty ones become NULL), then stores the calibrations row.
DbOutcome StoreRepairedCalibrationJob(Transaction& transaction, const StoreJob& job, JobEffects& effects);

// A reading as stored: the number its text begins with (0 when empty), times the scale of the
// job's rules (JobRules::readingScale).
double CalibrationReading(const QString& text, double scale);

// The record of a calibration in a spool file, and back (both calibration kinds share the form).
void WriteCalibrationJob(const StoreJob& job, QJsonObject& object);
bool ReadCalibrationJob(const QJsonObject& object, StoreJob& job, QString* error);

// A calibration from the analyzer: calibrations (or the mismatch window), and the frame toward the
// LIMS.
QString DescribeCalibrationJob(const StoreJob& job);
DbOutcome RunCalibrationJob(const StoreJob& job, JobRun& run);
using CalibrationJobKind = FunctionJobKind<"calibration", DescribeCalibrationJob, WriteCalibrationJob,
                                           ReadCalibrationJob, RunCalibrationJob>;

// A calibration the operator repaired in the mismatch window.
QString DescribeRepairedCalibrationJob(const StoreJob& job);
DbOutcome RunRepairedCalibrationJob(const StoreJob& job, JobRun& run);
using RepairedCalibrationJobKind =
    FunctionJobKind<"repaired-calibration", DescribeRepairedCalibrationJob, WriteCalibrationJob,
                    ReadCalibrationJob, RunRepairedCalibrationJob>;

} // namespace Quorlix
