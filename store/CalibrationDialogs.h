#pragma once

#include "Records.h"

namespace Quorlix {

// Shows a calibration that does not fit the laboratory's settings to the operator, who may store it
// (with corrected concentrations) or drop it. The window library provides it; under --headless
// there is none. showMismatch must not wait for the operator: each call gets its own window with
// its own copy of the record.
class CalibrationDialogs
{
public:
    virtual ~CalibrationDialogs() = default;
    virtual void showMismatch(const CalibrationRecord& copy) = 0;
};

} // namespace Quorlix
