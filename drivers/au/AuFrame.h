#pragma once

#include "store/Records.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

namespace Quorlix {

// The identification fields every AU request, result and calibration frame carries, as received
// (blanks kept). Positions count the STX as 1.
struct AuIdentification
{
    QString rackNo;   // 4-7, stored as the sample's disc
    QString cupPos;   // 8-9, stored as the sample's position
    QString field1;   // 10, echoed in the order frame
    QString field2;   // 11-14, echoed in the order frame
    QString sampleId; // 15-34, 20 characters
};

// One standard of a calibration as a "DA" frame reports it. The four readings are kept in the
// order of the calibration record: first absorbance, first initial reading, second absorbance,
// second initial reading.
struct AuCalibrationEntry
{
    qint16 channel = 0;
    qint16 standardNo = 0; // 1 to MaxStandards
    std::array<QString, 4> readings;
    QString dataAlarm; // the block's two flag characters
};

// What one complete AU frame (STX through ETX) holds. Result blocks keep channel, value and
// flags together; the driver maps each channel to its parameter (and skips a channel without
// one), so `ParameterId` is 0 here and `DataAlarm` holds the two flag characters as received.
struct AuFrame
{
    enum class Content
    {
        Other, // acknowledged only
        Results,
        Calibration,
        OrderRequest
    };

    Content content = Content::Other;
    QString code; // characters 2-3, compared case-sensitively
    AuIdentification id;
    qint16 resultCount = 0;
    std::array<ResultEntry, MaxResults> results;
    QList<AuCalibrationEntry> calibration;

    // The frame cannot be used (cut short inside its identification): nothing of it is stored, the
    // analyzer is still acknowledged.
    bool rejected = false;
    // What was wrong with the frame, one monitor line each. Blocks that could not be read are named
    // here with their text.
    QStringList problems;
};

// The analyzers that speak the AU line protocol.
enum class AuModel
{
    Au400,
    Au600,
    Au680
};

// How an analyzer writes the decimal sign of values and readings.
enum class AuDecimals
{
    Point,       // AU400, AU600
    CommaToPoint // AU680: "," is read as "."
};

AuFrame ParseAuFrame(const QString& frame, AuDecimals decimals = AuDecimals::Point);
inline AuFrame ParseAu680Frame(const QString& frame)
{
    return ParseAuFrame(frame, AuDecimals::CommaToPoint);
}

// What the frame code asks for; "DQ" counts as results (the AU600 driver only acknowledges it).
AuFrame::Content AuContentOf(const QString& code);

// Result flags. "!": the absorbance was out of the calibrated range and the value is to be checked
// against the latest calibration.
bool WantsAbsorbanceCheck(const QString& flags);
// The flags carry a letter ("F" above, "G" below the range): the trimmed flags are that letter, or
// the flags begin or end with it.
bool HasFlagLetter(const QString& flags, QChar letter);

} // namespace Quorlix
