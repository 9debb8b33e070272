#include "PendingCalibrations.h"

#include <algorithm>
#include <cstdlib>

namespace Quorlix {

qsizetype PendingCalibrations::find(qint16 channel, qint16 standardNo) const
{
    for (qsizetype i = 0; i < m_waiting.size(); ++i)
        if (m_waiting[i].entry.channel == channel && m_waiting[i].entry.standardNo == standardNo)
            return i;
    return -1;
}

QString PendingCalibrations::Describe(const WaitingStandard& w)
{
    QStringList readings;
    for (const QString& r : w.entry.readings)
        readings << QLatin1Char('"') + r + QLatin1Char('"');
    return QStringLiteral("calibration of channel %1: standard %2 received %3 (readings %4, flags \"%5\")")
        .arg(w.entry.channel)
        .arg(w.entry.standardNo)
        .arg(w.at.toString(QStringLiteral("yyyy-MM-dd HH:mm")), readings.join(QLatin1Char(' ')),
             w.entry.dataAlarm);
}

QStringList PendingCalibrations::add(const QList<AuCalibrationEntry>& entries, const QDateTime& at)
{
    QStringList problems;
    for (const AuCalibrationEntry& entry : entries) {
        const qsizetype earlier = find(entry.channel, entry.standardNo);
        if (earlier >= 0) {
            problems << QStringLiteral("%1 replaced by the same standard received again")
                            .arg(Describe(m_waiting[earlier]));
            m_waiting.removeAt(earlier);
        } else if (m_waiting.size() >= Limit) {
            problems << QStringLiteral("%1 dropped: %2 standards are already waiting")
                            .arg(Describe(m_waiting.first()))
                            .arg(Limit);
            m_waiting.removeFirst();
        }
        m_waiting.append({entry, at});
    }
    return problems;
}

int PendingCalibrations::runLength(qint16 channel) const
{
    int count = 0;
    while (count < MaxStandards && find(channel, qint16(count + 1)) >= 0)
        ++count;
    return count;
}

QList<WaitingStandard> PendingCalibrations::takeRun(qint16 channel, int n)
{
    QList<WaitingStandard> run;
    for (int s = 1; s <= n; ++s)
        run << m_waiting.takeAt(find(channel, qint16(s)));
    return run;
}

CalibrationRecord PendingCalibrations::CalibrationOf(const QList<WaitingStandard>& run)
{
    CalibrationRecord cal;
    cal.CalChannel = run.isEmpty() ? qint16(0) : run.first().entry.channel;
    cal.CalStdCount = qint16(std::min<qsizetype>(run.size(), MaxStandards));
    for (int s = 0; s < cal.CalStdCount; ++s) {
        const AuCalibrationEntry& e = run[s].entry;
        CalStandard& standard = cal.CalStandards[static_cast<size_t>(s)];
        standard.StdNo = QString::number(e.standardNo);
        standard.Readings = e.readings;
        standard.DataAlarm = e.dataAlarm;
    }
    return cal;
}

std::optional<CalibrationRecord> PendingCalibrations::takeComplete(qint16 channel, int expectedStandards)
{
    if (expectedStandards < 1 || expectedStandards > MaxStandards)
        return std::nullopt;
    const int count = runLength(channel);
    if (count < expectedStandards)
        return std::nullopt;
    return CalibrationOf(takeRun(channel, count));
}

QList<qint16> PendingCalibrations::channels() const
{
    QList<qint16> channels;
    for (const WaitingStandard& w : m_waiting)
        if (!channels.contains(w.entry.channel))
            channels << w.entry.channel;
    return channels;
}

QList<qint16> PendingCalibrations::finishedChannels(const QDateTime& now) const
{
    QList<qint16> finished = channels();
    for (const WaitingStandard& w : m_waiting) {
        const qint64 minutes = w.at.secsTo(now) / 60;
        if (std::llabs(minutes) <= StaleMinutes)
            finished.removeAll(w.entry.channel);
    }
    return finished;
}

PendingCalibrations::Taken PendingCalibrations::takeAll(qint16 channel)
{
    Taken taken;
    taken.run = takeRun(channel, runLength(channel));
    for (qsizetype i = 0; i < m_waiting.size();) {
        if (m_waiting[i].entry.channel == channel)
            taken.beyondGap << m_waiting.takeAt(i);
        else
            ++i;
    }
    return taken;
}

int PendingCalibrations::waiting(qint16 channel) const
{
    int n = 0;
    for (const WaitingStandard& w : m_waiting)
        n += w.entry.channel == channel ? 1 : 0;
    return n;
}

int PendingCalibrations::drop(qint16 channel)
{
    return int(
        m_waiting.removeIf([channel](const WaitingStandard& w) { return w.entry.channel == channel; }));
}

} // namespace Quorlix
