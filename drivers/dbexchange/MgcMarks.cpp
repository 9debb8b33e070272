#include "MgcMarks.h"

#include "MgcContext.h"
#include "core/Clock.h"
#include "core/Database.h"
#include "core/Stamps.h"

#include <QCryptographicHash>

namespace Quorlix {

namespace {

QString Mark(const QString& analyzerId, const QStringList& fields)
{
    const QByteArray digest =
        QCryptographicHash::hash(fields.join(QLatin1Char('|')).toUtf8(), QCryptographicHash::Sha1);
    return analyzerId.left(200) + QLatin1Char(':') + QString::fromLatin1(digest.toHex());
}

QString Number(double value)
{
    return QString::number(value, 'g', 17);
}

} // namespace

QString MgcResultMark(const QString& analyzerId, const QString& sampleId, qint16 parameterId,
                      const QString& measuredAt, double value)
{
    return Mark(analyzerId, {QStringLiteral("result"), sampleId, QString::number(parameterId), measuredAt,
                             Number(value)});
}

QString MgcControlMark(const QString& analyzerId, const QString& controlId, qint16 parameterId,
                       const QString& measuredAt, double value)
{
    return Mark(analyzerId, {QStringLiteral("control"), controlId, QString::number(parameterId), measuredAt,
                             Number(value)});
}

QString MgcCalibrationMark(const QString& analyzerId, qint16 parameterId, const QString& calibratedAt)
{
    return Mark(analyzerId, {QStringLiteral("calibration"), QString::number(parameterId), calibratedAt});
}

QString FindMgcMarks(MgcContext& ctx, const QStringList& marks, QSet<QString>* taken,
                     QSet<QString>* quarantined)
{
    // A quarantined record's measurements stay where they are: known once, they are not looked up
    // again on every tick.
    QStringList unknown;
    for (const QString& mark : marks) {
        if (ctx.quarantined.contains(mark))
            quarantined->insert(mark);
        else
            unknown << mark;
    }
    return QueryInPieces(
        ctx.lab,
        QStringLiteral(
            "SELECT log_key, log_val FROM quorlix_log WHERE log_key IN (?, ?) AND log_val IN (%1)"),
        {MgcTakenKey, MgcQuarantinedKey}, unknown,
        [&](SqlResult& r) {
            const QString mark = r.value(1).toString();
            if (r.value(0).toString() == MgcTakenKey) {
                taken->insert(mark);
            } else {
                quarantined->insert(mark);
                ctx.quarantined.insert(mark);
            }
        },
        ctx);
}

DbOutcome InsertMgcMark(Database& db, const QString& key, const QString& mark, const QVariant& stamp)
{
    SqlResult inserted =
        db.run(QStringLiteral("INSERT INTO quorlix_log (time_stamp, log_key, log_val) VALUES (?, ?, ?)"),
               {stamp, key, mark});
    return DbOutcome::of(db, inserted);
}

void PurgeMgcMarks(MgcContext& ctx)
{
    SqlResult purged =
        ctx.lab.run(QStringLiteral("DELETE FROM quorlix_log WHERE log_key = ? AND time_stamp < ?"),
                    {MgcTakenKey, ctx.lab.stamp(SqlStamp(ctx.clock.now().addDays(-TakenMarkDays)))});
    if (!purged.ok()) {
        ctx.noteFailure(ctx.lab, purged);
        ctx.problem(QStringLiteral("purge"),
                    QStringLiteral("old marks of taken MGC240 results not removed: %1")
                        .arg(purged.error().simplified()));
    }
}

} // namespace Quorlix
