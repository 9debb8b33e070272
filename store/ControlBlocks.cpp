#include "ControlBlocks.h"

#include "../core/Database.h"

#include <QList>
#include <QPair>

namespace Quorlix {

bool UpdateControlBlock(Database& db, const QString& controlId, qint16 parameterId, double value,
                        const QString& analyzerId)
{
    SqlResult range = db.run(
        QStringLiteral("SELECT range_low, range_high FROM control_def WHERE control_id = ? AND parameter_id = ?"),
        {controlId, parameterId});
    if (!range.ok())
        return false;
    if (!range.next())
        return true; // no target range: nothing to book
    const QVariant low = range.value(0);
    const QVariant high = range.value(1);
    const bool inRange = !low.isNull() && !high.isNull() && value >= low.toDouble() && value <= high.toDouble();
    if (inRange
        && !db.run(QStringLiteral("DELETE FROM control_block WHERE control_id = ? AND parameter_id = ? AND analyzer_id = ?"),
                   {controlId, parameterId, analyzerId})
                .ok())
        return false;

    SqlResult left = db.run(QStringLiteral("SELECT COUNT(*) FROM control_block WHERE control_id = ? AND analyzer_id = ?"),
                            {controlId, analyzerId});
    if (!left.next())
        return false;
    if (left.value(0).toInt() < 1)
        return RearmControlBlock(db, controlId, analyzerId);
    return true;
}

bool RearmControlBlock(Database& db, const QString& controlId, const QString& analyzerId)
{
    if (!db.run(QStringLiteral("DELETE FROM control_block WHERE control_id = ? AND analyzer_id = ?"), {controlId, analyzerId})
             .ok())
        return false;
    SqlResult rows = db.run(QStringLiteral("SELECT control_id, cd.parameter_id, analyzer_id FROM control_def cd "
                                           "INNER JOIN param2channel p2c ON cd.parameter_id = p2c.parameter_id "
                                           "WHERE control_id = ? AND analyzer_id = ?"),
                            {controlId, analyzerId});
    if (!rows.ok())
        return false;
    QList<QVariantList> inserts;
    while (rows.next())
        inserts.append({rows.value(0), rows.value(1), rows.value(2)});
    for (const QVariantList& values : inserts) {
        if (!db.run(QStringLiteral("INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES (?, ?, ?)"),
                    values)
                 .ok())
            return false;
    }
    return true;
}

bool RearmAllControlBlocks(Database& db, const QString& analyzerId)
{
    SqlResult rows = db.run(QStringLiteral("SELECT DISTINCT control_id, analyzer_id FROM control_def cd "
                                           "INNER JOIN param2channel p2c ON cd.parameter_id = p2c.parameter_id "
                                           "WHERE analyzer_id = ?"),
                            {analyzerId});
    if (!rows.ok())
        return false;
    QList<QPair<QString, QString>> controls;
    while (rows.next())
        controls.append({rows.value(0).toString(), rows.value(1).toString()});
    bool ok = true;
    for (const auto& [control, analyzer] : controls)
        ok = RearmControlBlock(db, control, analyzer) && ok;
    return ok;
}

} // namespace Quorlix
