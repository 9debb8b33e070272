#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace Quorlix {

// The frames of the MGC online link toward the LIMS: fixed-width text between STX and ETX. Plain
// text work, no I/O.

// "MMddyyHHmm": month, day, two-digit year, hour, minute.
QString MgcFrameTime(const QDateTime& moment);

// The header of a result frame when the sample has no sample information: ":A", "1", "   1",
// "1", " 1", " ", the sample id right-aligned in 13, "0253", "1", the time, six blanks, and the
// number of results right-aligned in 2.
QString MgcResultHeader(const QString& sampleId, const QDateTime& moment, int count);
// The header when the LIMS gave sample information: ":A1", the text, six blanks, the count in 2.
QString MgcSampleInfoHeader(const QString& sampleInfo, int count);

// A result's value for its 6 characters: "," sent as "."; a wider number rounded to fit; nothing
// when it cannot fit (the field keeps its last 6 characters: 1234.56 would read as 234.56).
std::optional<QString> MgcResultValue(const QString& value);

// One result as reported: the channel right-aligned in 2, the value ("," read as ".")
// right-aligned in 6, one blank.
struct MgcOnlineResult
{
    QString channel;
    QString value;
};
QString MgcResultRecord(const MgcOnlineResult& result);

// STX, the header, the records, "000000", ETX.
QString MgcResultFrame(const QString& header, const QList<MgcOnlineResult>& results);

// STX ";A2    11 15", the sample id right-aligned in 13, "0253", "0", the time, ETX.
QString MgcSampleIdFrame(const QString& sampleId, const QDateTime& moment);

} // namespace Quorlix
