#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>

namespace Quorlix {

// Frames the store sends toward the LIMS, in the layout of a Hitachi host: built from plain values,
// without any input or output.

// The identification of the analyzer frame a control came in, echoed in the header.
struct ControlFrameHeader
{
    QString function;   // CurFunction
    QString frameClass; // CurFrameClass (sent in upper case)
    QString number;     // CurNumber
    QString samplePos;  // SamplePos
    QString info1;      // CurInfo1
    QString info2;      // CurInfo2 (its last character is sent)
    QDateTime when;     // month, day, year, hour and minute of the header
};

struct ChannelResult
{
    QString channel;
    QString result;
};

// STX, header, one 9-character group per result (channel in 2, result in 6, a blank), "000000",
// ETX. count is the number of stored results, which may exceed the groups sent.
QString ControlResultsFrame(const ControlFrameHeader& header, const QString& controlId, int count,
                            const QList<ChannelResult>& results);

// One standard of a calibration frame, as texts of the stored columns.
struct CalibrationStandardTexts
{
    QString abs1;      // sN1abs
    QString ini1;      // sN1ini
    QString abs2;      // sN2abs
    QString ini2;      // sN2ini
    QString dataAlarm; // sNdataalarm
    QString prozone;   // sNprozone_val
};

struct CalibrationFrameData
{
    QString channel;
    QString stdCount;
    QString alarm;
    std::array<CalibrationStandardTexts, 6> standards;
    QString sdValue;
};

// STX ":G", seven blanks, channel in 2, standard count in 1, alarm in 1, a 32-character block per
// standard that carries anything, the SD value in the last 8 of "N" and seven blanks, ETX.
QString CalibrationFrame(const CalibrationFrameData& data);

} // namespace Quorlix
