#pragma once

#include <QString>

#include <optional>

namespace Quorlix {

// The absorbances of the latest calibration of a test on this analyzer, in the units the store
// keeps them (the analyzer's reading times 10000): the lowest standard's (`s11abs`) and that of the
// highest standard the calibration has (`s<std_count>1abs`). Missing when the column is empty or
// the standard count is outside 1 to 6.
struct CalibratedRange
{
    std::optional<double> lowest;
    std::optional<double> highest;
};

// How a result flagged "!" (absorbance outside the calibrated range) is read against that range.
enum class AbsorbanceRule
{
    Qms,   // AU400, AU680, tests whose method is "QMS": the absorbance falls as the value rises
    Other, // AU400, AU680, every other method
    Au600  // AU600: one rule for every test, "999999" above the range
};

// The value to store for a result flagged "!": "99999" ("999999" on the AU600) beyond the highest
// standard, "0" beyond the lowest, otherwise the value as received. The value's number is compared
// as an absorbance in the calibration's units (times 10000). A highest standard of 0 or less counts
// as no upper limit, except on the AU600. A value that is not a number is returned unchanged.
QString ValueAgainstCalibration(const QString& value, AbsorbanceRule rule, const CalibratedRange& range);

} // namespace Quorlix
