#pragma once

#include "AuFrame.h"
#include "store/StoreJob.h"

namespace Quorlix {

// The standards of one "DA" frame, inside the transaction of its job: they join the standards
// that wait in the database for the rest of their calibration (see WaitingStandards), and every
// calibration that is complete goes to the calibration store. None is stored before its count is
// known: the test's calib_base row on this analyzer names how many standards it has.
//
// A calibration whose standards stopped coming (PendingCalibrations::StaleMinutes) without being
// complete, or whose test has no standard count in calib_base, is not stored by itself: with
// ShowCalibChart "1" it goes to the mismatch window (where the operator may store it, and set up
// calib_base for later ones); otherwise, or where no window can show it, its standards are dropped,
// each named with its readings in a Monitor line. A job with no standards only looks for such
// calibrations (and for ones that settings entered since make complete).
DbOutcome StoreAuStandards(const StoreJob& job, const QList<AuCalibrationEntry>& received, JobRun& run);

} // namespace Quorlix
