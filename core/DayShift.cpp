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

const QString DayShift::ArmedKey = QStringLiteral("blocks_armed");

bool DayShift::sameShift(const QDateTime& a, const QDateTime& b) const
{
    if (a.date() != b.date())
        return false;
    const double length = m_settings.ShiftLength;
    return length <= 0 || ShiftNumber(firstShift(), a, length) == ShiftNumber(firstShift(), b, length);
}

void DayShift::CheckDayShiftChange(const Rearm& rearm)
{
    const Settings& s = m_settings;
    bool failed = false;
    const QDateTime lastDay = lastRow(QStringLiteral("d_change"), &failed);
    if (failed)
        return;
    const QDateTime now = m_clock.now();
    if (!lastDay.isValid() || lastDay.date().day() != now.date().day()) {
        InsertLogRow(QStringLiteral("d_change"));
    } else if (s.ShiftLength > 0) {
        const QDateTime lastShift = lastRow(QStringLiteral("s_change"), &failed);
        if (failed)
            return;
        const QDateTime first = firstShift();
        if (!lastShift.isValid() ||
            ShiftNumber(first, lastShift, s.ShiftLength) != ShiftNumber(first, now, s.ShiftLength))
            InsertLogRow(QStringLiteral("s_change"));
    }
    rearmOncePerShift(rearm);
}

void DayShift::rearmOncePerShift(const Rearm& rearm)
{
    const QString analyzer = m_settings.AnalyzerId;
    const QVariantList row{ArmedKey, analyzer.left(255)};
    QDateTime armed;
    {
        SqlResult last = m_db.run(
            QStringLiteral("SELECT MAX(time_stamp) FROM quorlix_log WHERE log_key = ? AND log_val = ?"), row);
        if (!last.next())
            return; // the database fails: the next check tries again
        armed = DateTimeOf(last.value(0));
    }
    const QDateTime now = m_clock.now();
    if (armed.isValid() && sameShift(armed, now))
        return;

    if (!m_db.transaction())
        return;
    QString error = rearm(analyzer);
    if (error.isEmpty()) {
        // One row per analyzer, replaced: a clock set back finds no later row of its own.
        SqlResult gone =
            m_db.run(QStringLiteral("DELETE FROM quorlix_log WHERE log_key = ? AND log_val = ?"), row);
        if (!gone.ok())
            error = gone.error();
        else if (SqlResult kept =
                     m_db.run(QStringLiteral(
                                  "INSERT INTO quorlix_log (time_stamp, log_key, log_val) VALUES (?, ?, ?)"),
                              {m_db.stamp(SqlStamp(now)), ArmedKey, analyzer.left(255)});
                 !kept.ok())
            error = kept.error();
    }
    if (error.isEmpty() && m_db.commit()) {
        if (!m_rearmFailure.isEmpty())
            m_log.monitor(QStringLiteral("the control blocks of %1 are armed again").arg(analyzer));
        m_rearmFailure.clear();
        return;
    }
    m_db.rollback();
    if (error.isEmpty())
        error = QStringLiteral("the transaction cannot be committed");
    if (m_rearmFailure.isEmpty())
        m_log.monitor(QStringLiteral("the control blocks of %1 could not be re-armed: %2")
                          .arg(analyzer, error.simplified()));
    m_rearmFailure = error;
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
