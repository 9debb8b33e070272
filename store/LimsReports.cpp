#include "LimsReports.h"

#include "StoreValues.h"
#include "core/Database.h"
#include "core/SqlHelpers.h"

namespace Quorlix {

DbOutcome ControlResultsFrameFromDb(Database& db, const ControlFrameHeader& header, const QString& controlId,
                                    const QString& timeStamp, const QString& outId, QString* frame)
{
    frame->clear();
    const QVariant stamp = db.stamp(timeStamp);
    // A value that was not a number is kept as NULL in control_results; it is no result to report.
    SqlResult counted = db.run(QStringLiteral("SELECT COUNT(*) FROM control_results WHERE control_id = ? AND "
                                              "time_stamp = ? AND result IS NOT NULL"),
                               {BoundText(controlId), stamp});
    if (!counted.ok())
        return DbOutcome::of(db, counted);
    const int count = counted.next() ? counted.value(0).toInt() : 0;
    counted.finish();
    if (count == 0)
        return DbOutcome::done();

    // Results whose parameter has no channel on the LIMS-side analyzer are left out of the groups,
    // although the count includes them.
    SqlResult rows =
        db.run(QStringLiteral("SELECT result, channel_id FROM control_results r "
                              "INNER JOIN param2channel p2c ON r.parameter_id = p2c.parameter_id "
                              "WHERE control_id = ? AND p2c.analyzer_id = ? AND time_stamp = ? "
                              "AND result IS NOT NULL"),
               {BoundText(controlId), BoundText(outId), stamp});
    if (!rows.ok())
        return DbOutcome::of(db, rows);
    QList<ChannelResult> results;
    while (rows.next())
        results.append({NumberText(rows.value(1)), NumberText(rows.value(0))});
    rows.finish();
    *frame = ControlResultsFrame(header, controlId, count, results);
    return DbOutcome::done();
}

DbOutcome CalibrationFrameFromDb(Database& db, const QString& calibDat, qint16 parameterId, QString* frame)
{
    frame->clear();
    QStringList columns{QStringLiteral("c.std_count"), QStringLiteral("c.calibalarm"),
                        QStringLiteral("c.sd_val"), QStringLiteral("p2c.channel_id")};
    for (int j = 1; j <= 6; ++j) {
        const QString n = QStringLiteral("c.s") + QString::number(j);
        columns << n + QStringLiteral("1abs") << n + QStringLiteral("1ini") << n + QStringLiteral("2abs")
                << n + QStringLiteral("2ini") << n + QStringLiteral("dataalarm")
                << n + QStringLiteral("prozone_val");
    }
    SqlResult row = db.run(QStringLiteral("SELECT %1 FROM calibrations c "
                                          "INNER JOIN param2channel p2c ON p2c.parameter_id = c.parameter_id "
                                          "WHERE c.calib_dat = ? AND c.parameter_id = ?")
                               .arg(columns.join(QStringLiteral(", "))),
                           {db.stamp(calibDat), parameterId});
    if (!row.ok())
        return DbOutcome::of(db, row);
    if (!row.next())
        return DbOutcome::done();
    CalibrationFrameData data;
    data.stdCount = NumberText(row.value(0));
    data.alarm = NullToText(row.value(1));
    data.sdValue = NullToText(row.value(2));
    data.channel = NumberText(row.value(3));
    for (int j = 0; j < 6; ++j) {
        const int at = 4 + 6 * j;
        CalibrationStandardTexts& s = data.standards[static_cast<size_t>(j)];
        s.abs1 = NumberText(row.value(at));
        s.ini1 = NumberText(row.value(at + 1));
        s.abs2 = NumberText(row.value(at + 2));
        s.ini2 = NumberText(row.value(at + 3));
        s.dataAlarm = NullToText(row.value(at + 4));
        s.prozone = NullToText(row.value(at + 5));
    }
    row.finish();
    *frame = CalibrationFrame(data);
    return DbOutcome::done();
}

} // namespace Quorlix
