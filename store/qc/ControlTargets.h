#pragma once

#include "store/DbOutcome.h"

#include <QDateTime>
#include <QString>

namespace Quorlix {

class Database;

// Where a control's mean and standard deviation came from.
enum class TargetSource
{
    None,        // nothing to judge against (no assigned target, fewer than two results)
    Assigned,    // a control_targets row valid at the time
    Established, // the first 20 results stored for the control and parameter on the analyzer
    Provisional  // fewer than 20 results stored so far: their mean and SD, until 20 exist
};

struct ControlTargets
{
    TargetSource source = TargetSource::None;
    double mean = 0;
    double sd = 0;
    int resultCount = 0; // results the targets were computed from (0 for an assigned target)

    bool usable() const { return source != TargetSource::None && sd > 0; }
    double zScore(double value) const { return (value - mean) / sd; }
};

// The number of results that establish a control's own targets.
inline constexpr int EstablishingResults = 20;

// "assigned", "established", "provisional" or "none", as shown and reported.
QString TargetSourceName(TargetSource source);

// The targets of a control and parameter on an analyzer at a moment: the control_targets row with
// the latest valid_from not after it; without one, the mean and sample SD of the first 20 numeric
// results stored for the control (fewer while fewer exist). The control_def range is never used:
// a range is not a distribution.
DbOutcome LoadControlTargets(Database& db, const QString& controlId, qint16 parameterId,
                             const QString& analyzerId, const QDateTime& at, ControlTargets* targets);

} // namespace Quorlix
