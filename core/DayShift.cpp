#include "DayShift.h"

#include "Clock.h"
#include "CommLog.h"
#include "Database.h"
#include "Settings.h"
#include "Stamps.h"

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

} // namespace

QDateTime DayShift::lastRow(const QString& key, bool* failed)
{
    SqlResult row =
        m_db.run(QStringLiteral("SELECT MAX(time_stamp) FROM quorlix_log WHERE log_key = ?"), {key});
    *failed = !row.ok();
    return row.next() ? DateTimeOf(row.value(0)) : QDateTime();
}

qint64 ShiftNumber(const QDateTime& firstShift, const QDateTime& when, double shiftLengthHours)
{
    const qint64 boundaries = std::llabs(HoursSinceEpoch(when) - HoursSinceEpoch(firstShift));
    return static_cast<qint64>(std::floor(static_cast<double>(boundaries) / shiftLengthHours));
}

bool DayShift::InsertLogRow(const QString& key)
{
    return m_db
        .run(QStringLiteral("INSERT INTO quorlix_log (time_stamp, log_key) VALUES (?, ?)"),
             {m_db.stamp(SqlStamp(m_clock.now())), key})
        .ok();
}

QDateTime DayShift::firstShift() const
{
    const QDateTime first = ParseLocaleDateTime(m_settings.FirstShift, m_locale);
    return first.isValid() ? first : QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

void DayShift::CheckDayShiftChange(const std::function<void(const QString&)>& rearm)
{
    const Settings& s = m_settings;
    bool failed = false;
    const QDateTime lastDay = lastRow(QStringLiteral("d_change"), &failed);
    if (failed)
        return;
    const QDateTime now = m_clock.now();
    if (!lastDay.isValid() || lastDay.date().day() != now.date().day()) {
        rearm(s.AnalyzerId);
        InsertLogRow(QStringLiteral("d_change"));
        return;
    }
    if (s.ShiftLength <= 0)
        return; // no shifts configured
    const QDateTime lastShift = lastRow(QStringLiteral("s_change"), &failed);
    if (failed)
        return;
    if (!lastShift.isValid()) {
        rearm(s.AnalyzerId);
        InsertLogRow(QStringLiteral("s_change"));
        return;
    }
    const QDateTime first = firstShift();
    if (ShiftNumber(first, lastShift, s.ShiftLength) != ShiftNumber(first, now, s.ShiftLength)) {
        rearm(s.AnalyzerId);
        InsertLogRow(QStringLiteral("s_change"));
    }
}

namespace {

QString SignPosition(int n)
{
    return n >= 0 ? QStringLiteral(" %1").arg(n) : QString::number(n);
}

} // namespace

QString DayShift::today() const
{
    return m_clock.now().date().toString(QStringLiteral("yyyyMMdd"));
}

QStringList DayShift::StartupHeader(bool rollover) const
{
    const Settings& s = m_settings;
    QStringList lines{
        QStringLiteral("Vandrel Communication Module Started : ") + NowStamp(m_clock.now(), m_locale),
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

QString DayShift::OpenDailyLog()
{
    const QString path = CommLog::FileName(m_settings.ComLogPath, m_settings.AnalyzerId, today());
    return m_log.open(path);
}

void DayShift::CheckLogRollover()
{
    const QString day = today();
    const QString open = QFileInfo(m_log.filePath()).fileName();
    if (m_log.isOpen() && open.endsWith(QLatin1Char('_') + day + QLatin1String("_log.txt")))
        return;
    if (!OpenDailyLog().isEmpty())
        return; // keep the previous file; try again on the next tick
    for (const QString& line : StartupHeader(true))
        m_log.writeFileLine(line);
    InsertLogRow(QStringLiteral("log_change"));
}

} // namespace Quorlix
