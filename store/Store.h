#pragma once

#include <QString>

namespace Quorlix {

struct Context;

// The store operations a driver calls after filling the shared records of the context. Each one
// stores one received record (one sample, one control record, one calibration) in one transaction
// or, when the database fails, keeps it in the spool (context.spool) until it can be stored;
// nothing received is lost. Time stamps are those of the moment of the call (the Indiko's
// measurement time for its results).

// A patient sample: orders in request, raw copies in Raw_Results, sample_base, req2send, and with
// AutoVal "1" or "2" the validated results.
void StoreSampleResult(Context& context);

// A control sample: control_results, control blocks, and the frame toward the LIMS.
void StoreControlResult(Context& context);

// A calibration: calibrations (or the mismatch window), and the frame toward the LIMS.
void StoreCalibration(Context& context);

// True when text and mask have the same length and every mask character is "?" or equal to the
// text's character (case-sensitive).
bool MatchesMask(const QString& text, const QString& mask);

} // namespace Quorlix
