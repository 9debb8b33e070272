#include "MgcCalibrations.h"

#include "MgcContext.h"
#include "MgcHandOver.h"
#include "MgcJobs.h"
#include "MgcMarks.h"
#include "PrestigeButton.h"
#include "core/DayShift.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "core/Stamps.h"
#include "store/Store.h"

namespace Quorlix {

namespace {

// The newest time stamp per key of a "key, MAX(time)" query, as "yyyyMMdd HH:mm:ss".
QString NewestByKey(Database& db, const QString& sql, const QVariantList& values,
                    QHash<qint16, QString>* newest, MgcContext& ctx)
{
    SqlResult rows = db.run(sql, values);
    if (!rows.ok()) {
        ctx.noteFailure(db, rows);
        return rows.error().simplified();
    }
    while (rows.next()) {
        const QDateTime when = DateTimeOf(rows.value(1));
        if (when.isValid())
            newest->insert(Int16Of(rows.value(0)), SqlStamp(when));
    }
    return {};
}

} // namespace

int MgcFetchCalibrations(MgcContext& ctx, const ChannelMap& channels)
{
    QHash<qint16, QString> stored;
    QHash<qint16, QString> available;
    QString error = NewestByKey(ctx.lab,
                                QStringLiteral("SELECT parameter_id, MAX(calib_dat) FROM calibrations "
                                               "WHERE analyzer_id = ? GROUP BY parameter_id"),
                                {ctx.settings.AnalyzerId}, &stored, ctx);
    if (error.isEmpty())
        error = NewestByKey(ctx.mgc, QStringLiteral("SELECT item_no, MAX(rdate) FROM calib GROUP BY item_no"),
                            {}, &available, ctx);
    if (!error.isEmpty()) {
        ctx.problem(QStringLiteral("calibrations"),
                    QStringLiteral("calibrations not taken from the MGC240: %1").arg(error));
        return 0;
    }
    int taken = 0;
    for (const qint16 parameter : channels.parameters()) {
        const qint16 item = channels.ChannelOfParameter(parameter);
        const QString newest = available.value(item);
        if (newest.isEmpty())
            continue;
        if (stored.contains(parameter) && newest <= stored.value(parameter))
            continue;
        const MgcCalibrationTaken outcome = MgcStoreCalibration(ctx, channels, item);
        if (outcome == MgcCalibrationTaken::Waiting)
            break;
        stored.insert(channels.ParameterOfChannel(item), newest);
        if (outcome == MgcCalibrationTaken::Stored)
            ++taken;
    }
    return taken;
}

MgcCalibrationTaken MgcStoreCalibration(MgcContext& ctx, const ChannelMap& channels, qint16 item)
{
    const QString key = QStringLiteral("calibration:%1").arg(item);
    SqlResult row =
        ctx.mgc.run(QStringLiteral("SELECT rdate, item_no, BLK_OD, STD_1OD, STD_2OD, STD_3OD, STD_4OD, "
                                   "STD_5OD, STD_6OD FROM calib WHERE item_no = ? ORDER BY rdate DESC"),
                    {item});
    if (!row.ok()) {
        ctx.noteFailure(ctx.mgc, row);
        ctx.problem(key, QStringLiteral("item %1: calibration not taken from the MGC240: %2")
                             .arg(item)
                             .arg(row.error().simplified()));
        return MgcCalibrationTaken::Passed;
    }
    if (!row.next())
        return MgcCalibrationTaken::Passed;
    MgcCalibration calibration;
    const QDateTime calibrated = DateTimeOf(row.value(0));
    // The blank and the first five standards; the sixth standard's absorbance has no column.
    QStringList malformed;
    for (size_t n = 0; n < calibration.absorbances.size(); ++n) {
        bool bad = false;
        calibration.absorbances[n] = MgcNumber(row.value(int(n) + 2), &bad);
        if (bad)
            malformed << NullToText(row.value(int(n) + 2));
    }
    row.finish();
    if (!calibrated.isValid()) {
        ctx.problem(key,
                    QStringLiteral("item %1: the MGC240's calibration has no date; not taken").arg(item));
        return MgcCalibrationTaken::Passed;
    }
    if (!malformed.isEmpty())
        ctx.problem(key + QStringLiteral(":values"),
                    QStringLiteral("item %1: absorbances that are no numbers are stored as missing: %2")
                        .arg(item)
                        .arg(malformed.join(QStringLiteral(", "))));
    calibration.parameterId = channels.ParameterOfChannel(item);
    calibration.calibratedAt = SqlStamp(calibrated);

    const QString mark =
        MgcCalibrationMark(ctx.settings.AnalyzerId, calibration.parameterId, calibration.calibratedAt);
    QSet<QString> taken;
    QSet<QString> quarantined;
    if (const QString error = FindMgcMarks(ctx, {mark}, &taken, &quarantined); !error.isEmpty()) {
        ctx.problem(
            key, QStringLiteral("item %1: calibration not taken from the MGC240: %2").arg(item).arg(error));
        return MgcCalibrationTaken::Waiting;
    }
    if (quarantined.contains(mark))
        return MgcCalibrationTaken::Passed;
    const StoreJob job = ctx.store.newJob(ctx.store.kinds().require<MgcCalibrationJobKind>(), calibration);
    const MgcHandOutcome outcome = MgcHand(ctx, job);
    switch (outcome.handed) {
    case MgcHanded::Stored:
        return MgcCalibrationTaken::Stored;
    case MgcHanded::NothingNew:
        return MgcCalibrationTaken::Passed;
    case MgcHanded::Waiting:
        return MgcCalibrationTaken::Waiting;
    case MgcHanded::Refused:
        break;
    }
    MgcQuarantine(ctx, job, outcome.error, {mark});
    return MgcCalibrationTaken::Passed;
}

void MgcCheckComPort(MgcContext& ctx)
{
    const QString& analyzer = ctx.settings.AnalyzerId;
    SqlResult flag =
        ctx.lab.run(QStringLiteral("SELECT com_port FROM analyzers WHERE analyzer_id = ?"), {analyzer});
    if (!flag.ok()) {
        ctx.noteFailure(ctx.lab, flag);
        ctx.problem(
            QStringLiteral("comport"),
            QStringLiteral("analyzers.com_port of %1 not read: %2").arg(analyzer, flag.error().simplified()));
        return;
    }
    const bool asked = flag.next() && flag.value(0).toInt() == 1;
    flag.finish();
    if (!asked)
        return;
    // Said once, also when the flag cannot be set back and is found again on the next tick.
    if (const QString note = PressPrestigeButton(); !note.isEmpty())
        ctx.problem(QStringLiteral("press"), note);
    SqlResult reset =
        ctx.lab.run(QStringLiteral("UPDATE analyzers SET com_port = 0 WHERE analyzer_id = ?"), {analyzer});
    if (!reset.ok()) {
        ctx.noteFailure(ctx.lab, reset);
        ctx.problem(QStringLiteral("comport"),
                    QStringLiteral("analyzers.com_port of %1 not set back to 0: %2")
                        .arg(analyzer, reset.error().simplified()));
    }
}

} // namespace Quorlix
