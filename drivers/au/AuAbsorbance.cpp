#include "AuAbsorbance.h"

#include "core/FrameText.h"

#include <cmath>

namespace Quorlix {

QString ValueAgainstCalibration(const QString& value, AbsorbanceRule rule, const CalibratedRange& range)
{
    const FieldNumber number = ReadNumber(value);
    if (!number.numeric)
        return value;
    // In calibration units; rounded as the stored readings are, so that 0.1234 meets 1234.
    const double v = std::round(number.value * 10000 * 1e6) / 1e6;
    const std::optional<double>& low = range.lowest;
    const std::optional<double>& high = range.highest;
    switch (rule) {
    case AbsorbanceRule::Qms:
        if (high && v <= *high && *high > 0)
            return QStringLiteral("99999");
        if (low && v >= *low)
            return QStringLiteral("0");
        return value;
    case AbsorbanceRule::Other:
        if (high && v >= *high && *high > 0)
            return QStringLiteral("99999");
        if (low && v <= *low)
            return QStringLiteral("0");
        return value;
    case AbsorbanceRule::Au600:
        if (high && v >= *high)
            return QStringLiteral("999999");
        if (low && v <= *low)
            return QStringLiteral("0");
        return value;
    }
    return value;
}

} // namespace Quorlix
