#include "QcHistory.h"

#include "core/Database.h"
#include "core/DayShift.h"
#include "core/Stamps.h"

#include <QHash>

namespace Quorlix {

namespace {

// The series a result or an event belongs to.
struct SeriesKey
{
    QString analyzerId;
    QString controlId;
    qint16 parameterId = 0;

    bool operator==(const SeriesKey&) const = default;
};

size_t qHash(const SeriesKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.analyzerId, key.controlId, key.parameterId);
}

// "time_stamp BETWEEN ? AND ?" and, for one analyzer, its condition, with the values to bind.
QString PeriodCondition(Database& db, const QDateTime& from, const QDateTime& to, const QString& analyzerId,
                        QVariantList* values)
{
    *values = {db.stamp(SqlStamp(from)), db.stamp(SqlStamp(to))};
    QString condition = QStringLiteral("time_stamp >= ? AND time_stamp <= ?");
    if (!analyzerId.isEmpty()) {
        condition += QStringLiteral(" AND analyzer_id = ?");
        *values << analyzerId;
    }
    return condition;
}

DbOutcome LoadEvents(Database& db, const QDateTime& from, const QDateTime& to, const QString& analyzerId,
                     QcPeriod* period)
{
    QVariantList values;
    const QString condition = PeriodCondition(db, from, to, analyzerId, &values);
    SqlResult events =
        db.run(db.dialect().selectTop(
                   MaxQcPeriodRows + 1,
                   QStringLiteral("control_id, parameter_id, analyzer_id, time_stamp, rule, severity, "
                                  "z_score FROM control_rule_events WHERE %1 ORDER BY time_stamp, "
                                  "analyzer_id, control_id, parameter_id, rule")
                       .arg(condition)),
               values);
    if (!events.ok())
        return DbOutcome::of(db, events);
    while (events.next()) {
        if (period->events.size() == MaxQcPeriodRows) {
            period->truncated = true;
            break;
        }
        QcEvent event;
        event.controlId = events.value(0).toString();
        event.parameterId = static_cast<qint16>(events.value(1).toInt());
        event.analyzerId = events.value(2).toString();
        event.stamp = DateTimeOf(events.value(3));
        event.rule = events.value(4).toString();
        event.severity = events.value(5).toString();
        event.zScore = events.value(6).toDouble();
        period->events << event;
    }
    return DbOutcome::done();
}

DbOutcome LoadResults(Database& db, const QDateTime& from, const QDateTime& to, const QString& analyzerId,
                      QcPeriod* period)
{
    QVariantList values;
    const QString condition = PeriodCondition(db, from, to, analyzerId, &values);
    // A result that is no number (stored empty) has no place on a chart.
    SqlResult results =
        db.run(db.dialect().selectTop(
                   MaxQcPeriodRows + 1,
                   QStringLiteral("analyzer_id, control_id, parameter_id, time_stamp, result FROM "
                                  "control_results WHERE %1 AND result IS NOT NULL ORDER BY "
                                  "analyzer_id, control_id, parameter_id, time_stamp")
                       .arg(condition)),
               values);
    if (!results.ok())
        return DbOutcome::of(db, results);
    int rows = 0;
    while (results.next()) {
        if (rows++ == MaxQcPeriodRows) {
            period->truncated = true;
            break;
        }
        const SeriesKey key{results.value(0).toString(), results.value(1).toString(),
                            static_cast<qint16>(results.value(2).toInt())};
        if (period->series.isEmpty() || period->series.constLast().analyzerId != key.analyzerId ||
            period->series.constLast().controlId != key.controlId ||
            period->series.constLast().parameterId != key.parameterId) {
            QcSeries series;
            series.analyzerId = key.analyzerId;
            series.controlId = key.controlId;
            series.parameterId = key.parameterId;
            period->series << series;
        }
        QcPoint point;
        point.stamp = DateTimeOf(results.value(3));
        point.value = results.value(4).toDouble();
        period->series.last().points << point;
    }
    return DbOutcome::done();
}

// test_def.short of each parameter shown, or its number when the test has none.
DbOutcome NameParameters(Database& db, QList<QcSeries>& series)
{
    QHash<qint16, QString> names;
    for (QcSeries& s : series) {
        if (!names.contains(s.parameterId)) {
            SqlResult name =
                db.run(QStringLiteral("SELECT short FROM test_def WHERE parameter_id = ?"), {s.parameterId});
            if (!name.ok())
                return DbOutcome::of(db, name);
            const QString text = name.next() ? name.value(0).toString().trimmed() : QString();
            names.insert(s.parameterId, text.isEmpty() ? QString::number(s.parameterId) : text);
        }
        s.parameterName = names.value(s.parameterId);
    }
    return DbOutcome::done();
}

// Each point's z-score against its series' targets and the rules its result fired.
void MarkPoints(QcPeriod& period)
{
    QHash<SeriesKey, QHash<QDateTime, QList<const QcEvent*>>> fired;
    for (const QcEvent& event : std::as_const(period.events))
        fired[SeriesKey{event.analyzerId, event.controlId, event.parameterId}][event.stamp] << &event;
    for (QcSeries& series : period.series) {
        const auto events = fired.value(SeriesKey{series.analyzerId, series.controlId, series.parameterId});
        for (QcPoint& point : series.points) {
            if (series.targets.usable())
                point.zScore = series.targets.zScore(point.value);
            for (const QcEvent* event : events.value(point.stamp)) {
                point.rules << event->rule;
                if (event->severity == QLatin1String("rejection"))
                    point.rejection = true;
                else
                    point.warning = true;
            }
        }
    }
}

} // namespace

DbOutcome LoadQcPeriod(Database& db, const QDateTime& from, const QDateTime& to, const QString& analyzerId,
                       QcPeriod* period)
{
    *period = {};
    period->from = from;
    period->to = to;
    if (DbOutcome outcome = LoadResults(db, from, to, analyzerId, period); !outcome.ok())
        return outcome;
    if (DbOutcome outcome = LoadEvents(db, from, to, analyzerId, period); !outcome.ok())
        return outcome;
    if (DbOutcome outcome = NameParameters(db, period->series); !outcome.ok())
        return outcome;
    for (QcSeries& series : period->series) {
        if (DbOutcome outcome =
                LoadControlTargets(db, series.controlId, series.parameterId, series.analyzerId,
                                   series.points.constLast().stamp, &series.targets);
            !outcome.ok())
            return outcome;
    }
    MarkPoints(*period);
    return DbOutcome::done();
}

} // namespace Quorlix
