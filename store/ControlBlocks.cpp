#include "ControlBlocks.h"

#include "StoreValues.h"
#include "core/Database.h"

#include <QList>
#include <QPair>

namespace Quorlix {

DbOutcome UpdateControlBlock(Database& db, const QString& controlId, qint16 parameterId, double value,
                             const QString& analyzerId)
{
    SqlResult range =
        db.run(QStringLiteral(
                   "SELECT range_low, range_high FROM control_def WHERE control_id = ? AND parameter_id = ?"),
               {BoundText(controlId), parameterId});
    if (!range.ok())
        return DbOutcome::of(db, range);
    if (!range.next())
        return DbOutcome::done(); // no target range: nothing to book
    const QVariant low = range.value(0);
    const QVariant high = range.value(1);
    range.finish();
    const bool inRange =
        !low.isNull() && !high.isNull() && value >= low.toDouble() && value <= high.toDouble();
    if (inRange) {
        SqlResult passed = db.run(
            QStringLiteral(
                "DELETE FROM control_block WHERE control_id = ? AND parameter_id = ? AND analyzer_id = ?"),
            {BoundText(controlId), parameterId, BoundText(analyzerId)});
        if (!passed.ok())
            return DbOutcome::of(db, passed);
    }

    SqlResult left =
        db.run(QStringLiteral("SELECT COUNT(*) FROM control_block WHERE control_id = ? AND analyzer_id = ?"),
               {BoundText(controlId), BoundText(analyzerId)});
    if (!left.next())
        return left.ok() ? DbOutcome::databaseFailed(QStringLiteral("no count of control_block"))
                         : DbOutcome::of(db, left);
    const int remaining = left.value(0).toInt();
    left.finish();
    if (remaining < 1)
        return RearmControlBlock(db, controlId, analyzerId);
    return DbOutcome::done();
}

DbOutcome RearmControlBlock(Database& db, const QString& controlId, const QString& analyzerId)
{
    SqlResult cleared =
        db.run(QStringLiteral("DELETE FROM control_block WHERE control_id = ? AND analyzer_id = ?"),
               {BoundText(controlId), BoundText(analyzerId)});
    if (!cleared.ok())
        return DbOutcome::of(db, cleared);
    SqlResult rows =
        db.run(QStringLiteral("SELECT control_id, cd.parameter_id, analyzer_id FROM control_def cd "
                              "INNER JOIN param2channel p2c ON cd.parameter_id = p2c.parameter_id "
                              "WHERE control_id = ? AND analyzer_id = ?"),
               {BoundText(controlId), BoundText(analyzerId)});
    if (!rows.ok())
        return DbOutcome::of(db, rows);
    QList<QVariantList> inserts;
    while (rows.next())
        inserts.append({rows.value(0), rows.value(1), rows.value(2)});
    rows.finish();
    for (const QVariantList& values : inserts) {
        SqlResult armed =
            db.run(QStringLiteral(
                       "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES (?, ?, ?)"),
                   values);
        if (!armed.ok())
            return DbOutcome::of(db, armed);
    }
    return DbOutcome::done();
}

DbOutcome RearmAllControlBlocks(Database& db, const QString& analyzerId)
{
    SqlResult rows =
        db.run(QStringLiteral("SELECT DISTINCT control_id, analyzer_id FROM control_def cd "
                              "INNER JOIN param2channel p2c ON cd.parameter_id = p2c.parameter_id "
                              "WHERE analyzer_id = ?"),
               {BoundText(analyzerId)});
    if (!rows.ok())
        return DbOutcome::of(db, rows);
    QList<QPair<QString, QString>> controls;
    while (rows.next())
        controls.append({rows.value(0).toString(), rows.value(1).toString()});
    rows.finish();
    for (const auto& [control, analyzer] : controls) {
        if (DbOutcome o = RearmControlBlock(db, control, analyzer); !o.ok())
            return o;
    }
    return DbOutcome::done();
}

} // namespace Quorlix
