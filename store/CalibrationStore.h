#pragma once

#include "DbOutcome.h"
#include "StoreJob.h"

namespace Quorlix {

class Database;
class Transaction;

// The statements of one calibration inside the caller's transaction: the expected concentrations
// from calib_base, then either the mismatch for the operator (in effects, nothing stored) or the
// calibrations row and, with a LIMS side, the frame toward the LIMS.
DbOutcome StoreCalibrationJob(Transaction& transaction, const StoreJob& job, bool dialogsAvailable,
                              JobEffects& effects);

// A calibration the operator repaired: optionally replaces calib_base with its standard count and
// concentrations (empty ones become NULL), then stores the calibrations row.
DbOutcome StoreRepairedCalibrationJob(Transaction& transaction, const StoreJob& job, JobEffects& effects);

// The mismatch window's "Repair": stores the window's copy of the calibration (and, with
// replaceSettings, its settings for future calibrations). Nothing is lost when the database fails:
// the record then waits in the spool.
void StoreRepairedCalibration(Context& context, const CalibrationRecord& copy, bool replaceSettings);

// The short name of a parameter (test_def.short), empty when unknown or when the database fails.
QString ParameterShortName(Context& context, qint16 parameterId);

// A reading as stored: the number its text begins with (0 when empty), times 10000 for the
// Olympus AU types, which report absorbances in units of 10^-4.
double CalibrationReading(const QString& text, const QString& analyzerType);

} // namespace Quorlix
