#include "DayShift.h"

#include "CommLog.h"
#include "Context.h"
#include "Database.h"

#include <QFileInfo>
#include <cmath>

namespace Quorlix {

QDateTime DateTimeOf(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return {};
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    const QString text = value.toString().trimmed();
    for (const char* format : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz",
                               "yyyy-MM-ddTHH:mm:ss.zzz", "yyyyMMdd HH:mm:ss", "yyyy-MM-dd"}) {
        const QDateTime parsed = QDateTime::fromString(text, QString::fromLatin1(format));
        if (parsed.isValid())
            return parsed;
    }
    return value.toDateTime();
}

namespace {

qint64 HoursSinceEpoch(const QDateTime& t)
{
    // Hour boundaries are counted on the wall clock, independent of the time zone rules.
    const QDateTime wall(t.date(), QTime(t.time().hour(), 0), Qt::UTC);
    return wall.toSecsSinceEpoch() / 3600;
}

QDateTime LastRow(Context& c, const QString& key, bool* failed)
{
    SqlResult row = c.db->run(QStringLiteral("SELECT MAX(time_stamp) FROM quorlix_log WHERE log_key = ?"), {key});
    *failed = !row.ok();
    return row.next() ? DateTimeOf(row.value(0)) : QDateTime();
}

} // namespace

qint64 ShiftNumber(const QDateTime& firstShift, const QDateTime& when, double shiftLengthHours)
{
    const qint64 boundaries = std::llabs(HoursSinceEpoch(when) - HoursSinceEpoch(firstShift));
    return static_cast<qint64>(std::floor(static_cast<double>(boundaries) / shiftLengthHours));
}

bool InsertLogRow(Context& c, const QString& key)
{
    return c.db
        ->run(QStringLiteral("INSERT INTO quorlix_log (time_stamp, log_key) VALUES (?, ?)"),
              {c.db->stamp(c.sqlNow()), key})
        .ok();
}

void CheckDayShiftChange(Context& c, const std::function<void(const QString&)>& rearm)
{
    bool failed = false;
    const QDateTime lastDay = LastRow(c, QStringLiteral("d_change"), &failed);
    if (failed)
        return;
    const QDateTime now = c.now();
    if (!lastDay.isValid() || lastDay.date().day() != now.date().day()) {
        rearm(c.settings.AnalyzerId);
        InsertLogRow(c, QStringLiteral("d_change"));
        return;
    }
    if (c.settings.ShiftLength <= 0)
        return; // no shifts configured
    const QDateTime lastShift = LastRow(c, QStringLiteral("s_change"), &failed);
    if (failed)
        return;
    if (!lastShift.isValid()) {
        rearm(c.settings.AnalyzerId);
        InsertLogRow(c, QStringLiteral("s_change"));
        return;
    }
    QDateTime first = ParseLocaleDateTime(c.settings.FirstShift, c.locale);
    if (!first.isValid())
        first = QDateTime(QDate(1899, 12, 30), QTime(0, 0));
    if (ShiftNumber(first, lastShift, c.settings.ShiftLength) != ShiftNumber(first, now, c.settings.ShiftLength)) {
        rearm(c.settings.AnalyzerId);
        InsertLogRow(c, QStringLiteral("s_change"));
    }
}

namespace {

QString SignPosition(int n)
{
    return n >= 0 ? QStringLiteral(" %1").arg(n) : QString::number(n);
}

QString Today(const Context& c)
{
    return ToSqlStamp(c.nowStamp(), c.locale).left(8);
}

} // namespace

QStringList StartupHeader(const Context& c, bool rollover)
{
    const Settings& s = c.settings;
    QStringList lines{
        QStringLiteral("Vandrel Communication Module Started : ") + c.nowStamp(),
        QStringLiteral("Config:"),
        QStringLiteral("Analyser: %1 Type: %2 Com Port: %3")
            .arg(s.AnalyzerId, s.AnalyzerType, SignPosition(s.AnalyzerComPort.value_or(0))),
    };
    if (s.hasLimsSide()) {
        lines << QStringLiteral("Out Analyser: %1 Out Type: %2 Out Com: %3%4")
                     .arg(s.OutId, s.OutType, SignPosition(s.OutComPort.value_or(0)),
                          (rollover ? QStringLiteral(" Autoval: ") : QStringLiteral(": ")) + s.AutoVal);
    }
    return lines;
}

QString OpenDailyLog(Context& c)
{
    const QString path = CommLog::FileName(c.settings.ComLogPath, c.settings.AnalyzerId, Today(c));
    return c.log->open(path);
}

void CheckLogRollover(Context& c)
{
    const QString today = Today(c);
    const QString open = QFileInfo(c.log->filePath()).fileName();
    if (c.log->isOpen() && open.endsWith(QLatin1Char('_') + today + QLatin1String("_log.txt")))
        return;
    if (!OpenDailyLog(c).isEmpty())
        return; // keep the previous file; try again on the next tick
    for (const QString& line : StartupHeader(c, true))
        c.log->writeFileLine(line);
    InsertLogRow(c, QStringLiteral("log_change"));
}

} // namespace Quorlix
