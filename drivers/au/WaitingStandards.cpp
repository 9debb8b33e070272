#include "WaitingStandards.h"

#include "core/Database.h"
#include "core/DayShift.h"
#include "core/FrameText.h"
#include "core/Stamps.h"

namespace Quorlix {

namespace {

// Channel 2, standard 1, four readings of 6, flags 2: the width of a "DA" block.
constexpr qsizetype BlockWidth = 29;

bool Digits(const QString& text)
{
    for (const QChar c : text)
        if (!c.isDigit())
            return false;
    return !text.isEmpty();
}

QString Key(const WaitingStandard& w, const QString& analyzerId)
{
    return WaitingStandards::Encode(w.entry, analyzerId) + QLatin1Char('@') + SqlStamp(w.at);
}

} // namespace

const QString WaitingStandards::LogKey = QStringLiteral("au_standard");

QString WaitingStandards::Encode(const AuCalibrationEntry& entry, const QString& analyzerId)
{
    QString value =
        QStringLiteral("%1").arg(entry.channel, 2, 10, QLatin1Char('0')) + QString::number(entry.standardNo);
    for (const QString& reading : entry.readings)
        value += LeftAligned(reading, 6);
    return value + LeftAligned(entry.dataAlarm, 2) + analyzerId;
}

bool WaitingStandards::Decode(const QString& value, const QString& analyzerId, AuCalibrationEntry* entry)
{
    // A database may drop the trailing blanks of a value without an analyzer id after them.
    const QString padded = LeftAligned(value, std::max(value.size(), BlockWidth));
    if (padded.mid(BlockWidth) != analyzerId || !Digits(padded.left(3)))
        return false;
    entry->channel = qint16(padded.left(2).toInt());
    entry->standardNo = qint16(padded.mid(2, 1).toInt());
    if (entry->standardNo < 1 || entry->standardNo > MaxStandards)
        return false;
    for (qsizetype r = 0; r < 4; ++r)
        entry->readings[static_cast<size_t>(r)] = padded.mid(3 + r * 6, 6);
    entry->dataAlarm = padded.mid(27, 2);
    return true;
}

DbOutcome WaitingStandards::load(QList<WaitingStandard>* out)
{
    out->clear();
    SqlResult rows = m_db.run(
        QStringLiteral("SELECT time_stamp, log_val FROM quorlix_log WHERE log_key = ? ORDER BY time_stamp"),
        {LogKey});
    if (!rows.ok())
        return DbOutcome::of(m_db, rows);
    while (rows.next()) {
        WaitingStandard w;
        w.at = DateTimeOf(rows.value(0));
        if (w.at.isValid() && Decode(rows.value(1).toString(), m_analyzerId, &w.entry))
            out->append(w);
    }
    return DbOutcome::done();
}

DbOutcome WaitingStandards::save(const QList<WaitingStandard>& before, const QList<WaitingStandard>& now)
{
    QStringList kept;
    for (const WaitingStandard& w : now)
        kept << Key(w, m_analyzerId);
    QStringList was;
    for (const WaitingStandard& w : before) {
        was << Key(w, m_analyzerId);
        if (kept.contains(was.last()))
            continue;
        SqlResult gone = m_db.run(QStringLiteral("DELETE FROM quorlix_log WHERE log_key = ? AND log_val = ?"),
                                  {LogKey, Encode(w.entry, m_analyzerId)});
        if (!gone.ok())
            return DbOutcome::of(m_db, gone);
    }
    for (const WaitingStandard& w : now) {
        if (was.contains(Key(w, m_analyzerId)))
            continue;
        SqlResult added = m_db.run(
            QStringLiteral("INSERT INTO quorlix_log (time_stamp, log_key, log_val) VALUES (?, ?, ?)"),
            {m_db.stamp(SqlStamp(w.at)), LogKey, Encode(w.entry, m_analyzerId)});
        if (!added.ok())
            return DbOutcome::of(m_db, added);
    }
    return DbOutcome::done();
}

} // namespace Quorlix
