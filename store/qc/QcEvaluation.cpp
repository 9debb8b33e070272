#include "QcEvaluation.h"

#include "ControlTargets.h"
#include "Westgard.h"
#include "core/Database.h"
#include "core/Stamps.h"
#include "store/Transaction.h"

#include <QMap>

#include <algorithm>

namespace Quorlix {

namespace {

// The results before the judged one that the longest rule (10-x) looks at.
constexpr int EarlierResults = 9;
// A run: the other controls of the parameter measured within this time up to the result.
constexpr int RunSeconds = 60 * 60;

QString ShownStamp(const QDateTime& stamp)
{
    return stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

DbOutcome Run(Database& db, const QString& sql, const QVariantList& values, int* affected = nullptr)
{
    SqlResult result = db.run(sql, values);
    if (result.ok() && affected)
        *affected = result.rowsAffected();
    return DbOutcome::of(db, result);
}

// The z-scores of the control's results before this one (oldest first), then this one's.
DbOutcome SeriesOf(Database& db, const StoredControl& c, const ControlTargets& targets, QList<double>* series)
{
    SqlResult earlier = db.run(
        db.dialect().selectTop(EarlierResults,
                               QStringLiteral("result FROM control_results WHERE control_id = ? AND "
                                              "parameter_id = ? AND analyzer_id = ? AND time_stamp < ? AND "
                                              "result IS NOT NULL ORDER BY time_stamp DESC")),
        {c.controlId, c.parameterId, c.analyzerId, db.stamp(SqlStamp(c.stamp))});
    if (!earlier.ok())
        return DbOutcome::of(db, earlier);
    while (earlier.next())
        series->prepend(targets.zScore(earlier.value(0).toDouble()));
    series->append(targets.zScore(c.value));
    return DbOutcome::done();
}

// The z-scores of the latest result of each other control of the run, each against its own targets.
DbOutcome RunOf(Database& db, const StoredControl& c, QList<double>* run)
{
    QMap<QString, double> latest;
    {
        SqlResult others = db.run(
            QStringLiteral("SELECT control_id, result FROM control_results WHERE parameter_id = ? AND "
                           "analyzer_id = ? AND control_id <> ? AND time_stamp <= ? AND time_stamp >= ? AND "
                           "result IS NOT NULL ORDER BY control_id, time_stamp DESC"),
            {c.parameterId, c.analyzerId, c.controlId, db.stamp(SqlStamp(c.stamp)),
             db.stamp(SqlStamp(c.stamp.addSecs(-RunSeconds)))});
        if (!others.ok())
            return DbOutcome::of(db, others);
        while (others.next()) {
            const QString id = others.value(0).toString();
            if (!latest.contains(id))
                latest.insert(id, others.value(1).toDouble());
        }
    }
    for (auto it = latest.cbegin(); it != latest.cend(); ++it) {
        ControlTargets targets;
        if (DbOutcome o = LoadControlTargets(db, it.key(), c.parameterId, c.analyzerId, c.stamp, &targets);
            !o.ok())
            return o;
        if (targets.usable())
            run->append(targets.zScore(it.value()));
    }
    return DbOutcome::done();
}

DbOutcome WriteEvents(Database& db, const StoredControl& c, const QList<RuleHit>& hits, double z)
{
    const QVariant stamp = db.stamp(SqlStamp(c.stamp));
    // A result judged again (the same measurement sent again) keeps only its latest judgement.
    if (DbOutcome o = Run(db,
                          QStringLiteral("DELETE FROM control_rule_events WHERE control_id = ? AND "
                                         "parameter_id = ? AND analyzer_id = ? AND time_stamp = ?"),
                          {c.controlId, c.parameterId, c.analyzerId, stamp});
        !o.ok())
        return o;
    if (hits.isEmpty())
        return DbOutcome::done();
    // All of them in one statement: one round trip to a database server.
    QStringList rows;
    QVariantList values;
    for (const RuleHit& hit : hits) {
        rows << QStringLiteral("(?, ?, ?, ?, ?, ?, ?)");
        values << c.controlId << c.parameterId << c.analyzerId << stamp << hit.rule
               << QcSeverityName(hit.severity) << z;
    }
    return Run(
        db,
        QStringLiteral("INSERT INTO control_rule_events (control_id, parameter_id, analyzer_id, time_stamp, "
                       "rule, severity, z_score) VALUES ") +
            rows.join(QStringLiteral(", ")),
        values);
}

// A rejection opens a hold unless one is open; a control without rejection closes the open one
// that began before it.
DbOutcome UpdateHold(Database& db, const StoredControl& c, bool rejected, QStringList& notes)
{
    const QVariant stamp = db.stamp(SqlStamp(c.stamp));
    if (rejected) {
        SqlResult open = db.run(QStringLiteral("SELECT COUNT(*) FROM qc_holds WHERE parameter_id = ? AND "
                                               "analyzer_id = ? AND (released_at IS NULL OR held_from = ?)"),
                                {c.parameterId, c.analyzerId, stamp});
        if (!open.next())
            return open.ok() ? DbOutcome::unclassified(QStringLiteral("no count of qc_holds"))
                             : DbOutcome::of(db, open);
        const bool held = open.value(0).toInt() > 0;
        open.finish();
        if (held)
            return DbOutcome::done();
        if (DbOutcome o = Run(db,
                              QStringLiteral("INSERT INTO qc_holds (parameter_id, analyzer_id, held_from, "
                                             "control_id) VALUES (?, ?, ?, ?)"),
                              {c.parameterId, c.analyzerId, stamp, c.controlId});
            !o.ok())
            return o;
        notes << QStringLiteral("QC hold: parameter %1 held on %2 from %3 (control %4 rejected)")
                     .arg(c.parameterId)
                     .arg(c.analyzerId, ShownStamp(c.stamp), c.controlId);
        return DbOutcome::done();
    }
    int released = 0;
    if (DbOutcome o = Run(db,
                          QStringLiteral("UPDATE qc_holds SET released_at = ?, released_by = ? WHERE "
                                         "parameter_id = ? AND analyzer_id = ? AND released_at IS NULL AND "
                                         "held_from < ?"),
                          {stamp, c.controlId, c.parameterId, c.analyzerId, stamp}, &released);
        !o.ok())
        return o;
    if (released > 0)
        notes << QStringLiteral("QC hold: parameter %1 released on %2 at %3 (control %4 passed)")
                     .arg(c.parameterId)
                     .arg(c.analyzerId, ShownStamp(c.stamp), c.controlId);
    return DbOutcome::done();
}

DbOutcome Judge(Database& db, const StoredControl& c, const QcMode& mode, QStringList& notes)
{
    ControlTargets targets;
    if (DbOutcome o = LoadControlTargets(db, c.controlId, c.parameterId, c.analyzerId, c.stamp, &targets);
        !o.ok())
        return o;
    if (!targets.usable())
        return DbOutcome::done();
    QList<double> series;
    if (DbOutcome o = SeriesOf(db, c, targets, &series); !o.ok())
        return o;
    QList<double> run;
    if (DbOutcome o = RunOf(db, c, &run); !o.ok())
        return o;

    const double z = series.constLast();
    const QList<RuleHit> hits = EvaluateWestgard(series, run);
    if (DbOutcome o = WriteEvents(db, c, hits, z); !o.ok())
        return o;
    const QString tail =
        targets.source == TargetSource::Provisional ? QStringLiteral(", provisional targets") : QString();
    for (const RuleHit& hit : hits)
        notes << QStringLiteral("QC %1 parameter %2: %3 %4 (z = %5%6)")
                     .arg(c.controlId)
                     .arg(c.parameterId)
                     .arg(hit.rule, QcSeverityName(hit.severity), QString::asprintf("%+.2f", z), tail);
    if (!mode.hold)
        return DbOutcome::done();
    const bool rejected = std::any_of(
        hits.begin(), hits.end(), [](const RuleHit& hit) { return hit.severity == QcSeverity::Rejection; });
    return UpdateHold(db, c, rejected, notes);
}

} // namespace

DbOutcome JudgeControlResult(Transaction& transaction, const StoredControl& control, const QcMode& mode,
                             QStringList& notes)
{
    if (!mode.tables || control.controlId.isEmpty() || control.analyzerId.isEmpty() ||
        !control.stamp.isValid())
        return DbOutcome::done();
    QStringList lines;
    const DbOutcome judged =
        transaction.skippable([&] { return Judge(transaction.db(), control, mode, lines); });
    if (judged.kind == DbOutcome::DataRejected) {
        notes << QStringLiteral("QC %1 parameter %2: not judged: %3")
                     .arg(control.controlId)
                     .arg(control.parameterId)
                     .arg(judged.error);
        return DbOutcome::done();
    }
    if (judged.ok())
        notes << lines;
    return judged;
}

} // namespace Quorlix
