#include "Westgard.h"

#include <algorithm>

namespace Quorlix {

namespace {

// +1 beyond +limit, -1 beyond -limit, else 0.
int Beyond(double z, double limit)
{
    return z > limit ? 1 : z < -limit ? -1 : 0;
}

// Whether the last n values all lie beyond the limit on one side.
bool LastBeyond(const QList<double>& series, qsizetype n, double limit)
{
    if (series.size() < n)
        return false;
    const int side = Beyond(series.constLast(), limit);
    return side != 0 &&
           std::all_of(series.end() - n, series.end(), [&](double z) { return Beyond(z, limit) == side; });
}

} // namespace

QString QcSeverityName(QcSeverity severity)
{
    return severity == QcSeverity::Rejection ? QStringLiteral("rejection") : QStringLiteral("warning");
}

QList<RuleHit> EvaluateWestgard(const QList<double>& series, const QList<double>& run)
{
    QList<RuleHit> hits;
    if (series.isEmpty())
        return hits;
    const int side = Beyond(series.constLast(), 2);
    const auto runHas = [&](int wanted) {
        return std::any_of(run.begin(), run.end(), [&](double z) { return Beyond(z, 2) == wanted; });
    };
    if (side != 0)
        hits.append({QStringLiteral("1-2s"), QcSeverity::Warning});
    if (Beyond(series.constLast(), 3) != 0)
        hits.append({QStringLiteral("1-3s"), QcSeverity::Rejection});
    if (side != 0 && (LastBeyond(series, 2, 2) || runHas(side)))
        hits.append({QStringLiteral("2-2s"), QcSeverity::Rejection});
    if (side != 0 && runHas(-side))
        hits.append({QStringLiteral("R-4s"), QcSeverity::Rejection});
    if (LastBeyond(series, 4, 1))
        hits.append({QStringLiteral("4-1s"), QcSeverity::Rejection});
    if (LastBeyond(series, 10, 0))
        hits.append({QStringLiteral("10-x"), QcSeverity::Rejection});
    return hits;
}

} // namespace Quorlix
