#include "ControlTargets.h"

#include "core/Database.h"
#include "core/Stamps.h"

#include <cmath>

namespace Quorlix {

QString TargetSourceName(TargetSource source)
{
    switch (source) {
    case TargetSource::Assigned:
        return QStringLiteral("assigned");
    case TargetSource::Established:
        return QStringLiteral("established");
    case TargetSource::Provisional:
        return QStringLiteral("provisional");
    case TargetSource::None:
        break;
    }
    return QStringLiteral("none");
}

DbOutcome LoadControlTargets(Database& db, const QString& controlId, qint16 parameterId,
                             const QString& analyzerId, const QDateTime& at, ControlTargets* targets)
{
    *targets = {};
    const SqlDialect& dialect = db.dialect();
    {
        SqlResult assigned = db.run(
            dialect.selectTop(1, QStringLiteral("mean, sd FROM control_targets WHERE control_id = ? AND "
                                                "parameter_id = ? AND analyzer_id = ? AND valid_from <= ? "
                                                "ORDER BY valid_from DESC")),
            {controlId, parameterId, analyzerId, db.stamp(SqlStamp(at))});
        if (!assigned.ok())
            return DbOutcome::of(db, assigned);
        if (assigned.next()) {
            targets->source = TargetSource::Assigned;
            targets->mean = assigned.value(0).toDouble();
            targets->sd = assigned.value(1).toDouble();
            return DbOutcome::done();
        }
    }

    SqlResult first =
        db.run(dialect.selectTop(
                   EstablishingResults,
                   QStringLiteral("result FROM control_results WHERE control_id = ? AND parameter_id = ? "
                                  "AND analyzer_id = ? AND result IS NOT NULL ORDER BY time_stamp")),
               {controlId, parameterId, analyzerId});
    if (!first.ok())
        return DbOutcome::of(db, first);
    QList<double> values;
    while (first.next())
        values << first.value(0).toDouble();
    first.finish();
    if (values.size() < 2)
        return DbOutcome::done();

    double sum = 0;
    for (const double v : values)
        sum += v;
    const double mean = sum / static_cast<double>(values.size());
    double squares = 0;
    for (const double v : values)
        squares += (v - mean) * (v - mean);
    targets->source =
        values.size() >= EstablishingResults ? TargetSource::Established : TargetSource::Provisional;
    targets->mean = mean;
    targets->sd = std::sqrt(squares / static_cast<double>(values.size() - 1));
    targets->resultCount = static_cast<int>(values.size());
    return DbOutcome::done();
}

} // namespace Quorlix
