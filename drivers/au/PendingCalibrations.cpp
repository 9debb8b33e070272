#include "PendingCalibrations.h"

#include <cstdlib>

namespace Quorlix {

qsizetype PendingCalibrations::find(qint16 channel, qint16 standardNo) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].entry.channel == channel && m_entries[i].entry.standardNo == standardNo)
            return i;
    return -1;
}

QString PendingCalibrations::Describe(const Pending& p)
{
    QStringList readings;
    for (const QString& r : p.entry.readings)
        readings << QLatin1Char('"') + r + QLatin1Char('"');
    return QStringLiteral("calibration of channel %1: standard %2 received %3 (readings %4, flags \"%5\")")
        .arg(p.entry.channel)
        .arg(p.entry.standardNo)
        .arg(p.at.toString(QStringLiteral("yyyy-MM-dd HH:mm")), readings.join(QLatin1Char(' ')),
             p.entry.dataAlarm);
}

QStringList PendingCalibrations::add(const QList<AuCalibrationEntry>& entries, const QDateTime& at)
{
    QStringList problems;
    for (qsizetype i = 0; i < m_entries.size();) {
        const qint64 minutes = m_entries[i].at.secsTo(at) / 60;
        if (std::llabs(minutes) > StaleMinutes) {
            problems << QStringLiteral("%1 waited more than %2 minutes for the other standards: dropped")
                            .arg(Describe(m_entries[i]))
                            .arg(StaleMinutes);
            m_entries.removeAt(i);
        } else {
            ++i;
        }
    }
    for (const AuCalibrationEntry& entry : entries) {
        const qsizetype earlier = find(entry.channel, entry.standardNo);
        if (earlier >= 0) {
            problems << QStringLiteral("%1 replaced by the same standard received again")
                            .arg(Describe(m_entries[earlier]));
            m_entries.removeAt(earlier);
        } else if (m_entries.size() == Limit) {
            problems << QStringLiteral("%1 dropped: %2 standards are already waiting")
                            .arg(Describe(m_entries.first()))
                            .arg(Limit);
            m_entries.removeFirst();
        }
        m_entries.append({entry, at});
    }
    return problems;
}

std::optional<CalibrationRecord> PendingCalibrations::takeComplete(qint16 channel, int expectedStandards)
{
    if (expectedStandards < 1 || expectedStandards > MaxStandards)
        return std::nullopt;
    int count = 0;
    while (count < MaxStandards && find(channel, qint16(count + 1)) >= 0)
        ++count;
    if (count < expectedStandards)
        return std::nullopt;

    CalibrationRecord cal;
    cal.CalChannel = channel;
    cal.CalStdCount = qint16(count);
    for (int s = 0; s < count; ++s) {
        const qsizetype i = find(channel, qint16(s + 1));
        const AuCalibrationEntry& e = m_entries[i].entry;
        CalStandard& standard = cal.CalStandards[static_cast<size_t>(s)];
        standard.StdNo = QString::number(e.standardNo);
        standard.Readings = e.readings;
        standard.DataAlarm = e.dataAlarm;
        m_entries.removeAt(i);
    }
    return cal;
}

int PendingCalibrations::waiting(qint16 channel) const
{
    int n = 0;
    for (const Pending& p : m_entries)
        n += p.entry.channel == channel ? 1 : 0;
    return n;
}

int PendingCalibrations::drop(qint16 channel)
{
    return int(m_entries.removeIf([channel](const Pending& p) { return p.entry.channel == channel; }));
}

} // namespace Quorlix
