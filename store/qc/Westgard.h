#pragma once

#include <QList>
#include <QString>

namespace Quorlix {

enum class QcSeverity
{
    Warning,
    Rejection
};

// "warning" or "rejection", as stored and shown.
QString QcSeverityName(QcSeverity severity);

// One Westgard rule a control result fired.
struct RuleHit
{
    QString rule; // "1-2s", "1-3s", "2-2s", "R-4s", "4-1s", "10-x"
    QcSeverity severity = QcSeverity::Warning;

    bool operator==(const RuleHit&) const = default;
};

// The Westgard multirule on z-scores (the result's distance from its control's mean, in standard
// deviations). `series` holds the z-scores of one control, oldest first, ending with the result
// being judged; `run` the z-scores of the latest result of each other control of the same
// parameter in the same run. Every rule includes the judged result; a limit is exceeded only
// beyond it (exactly 2 SD is no 1-2s). Hits come in the order of the rule table:
//   1-2s  warning    the result beyond 2 SD
//   1-3s  rejection  the result beyond 3 SD
//   2-2s  rejection  the result and the control's previous one, or another control of the run,
//                    beyond 2 SD on the same side
//   R-4s  rejection  the result beyond 2 SD on one side and another control of the run beyond
//                    2 SD on the other
//   4-1s  rejection  the control's last 4 results beyond 1 SD on the same side
//   10-x  rejection  the control's last 10 results on the same side of the mean
QList<RuleHit> EvaluateWestgard(const QList<double>& series, const QList<double>& run);

} // namespace Quorlix
