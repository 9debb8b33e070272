#pragma once

#include <QDateTime>
#include <QString>

#include <array>

namespace Quorlix {

// One received result: the database parameter, the analyzer channel, the value text as received
// and the data alarm (one blank: no alarm).
struct ResultEntry
{
    qint16 ParameterId = 0;
    qint16 Channel = 0;
    QString Value;
    QString DataAlarm;
};

constexpr int MaxResults = 48;
constexpr int MaxStandards = 6;

// The result record a driver fills and the store reads. Which fields the store reads depends on
// the analyzer type.
struct SampleRecord
{
    // Hitachi frames
    QString CurSampleId;
    QString CurSampleDisc;
    QString CurSamplePos;
    // Olympus AU frames
    QString AuSampleId;
    QString AuRackNo;
    QString AuCupPos;
    // Indiko ASTM records
    QString IndSampleId;
    QString IndSampleDisc;
    QString IndSamplePos;
    qint16 IndParameterId = 0;
    QString IndResult;
    QDateTime IndMeasTime; // the message time of the last header, invalid when none

    qint16 ResultCount = 0;
    std::array<ResultEntry, MaxResults> Results;
};

// The identification fields of the last parsed Hitachi frame; the order reply and the frames
// toward a LIMS echo them.
struct HitachiFrameRecord
{
    QString CurFrameStart;
    QString CurFunction;
    QString CurFrameClass;
    QString CurMark;
    QString CurFlag1;
    QString CurFlag2;
    QString CurNumber;
    QString CurInfo1;
    QString CurInfo2;
    QString CurDate;
    QString CurTime;
    QString CurFrameEnd;
};

struct CalStandard
{
    QString StdNo;
    std::array<QString, 4> Readings;
    QString Concentration;
    QString DataAlarm;
    QString ProzoneValue;
};

struct CalibrationRecord
{
    qint16 CalChannel = 0;
    qint16 CalParameterId = 0;
    qint16 CalStdCount = 0;
    QString CalAlarm;
    QString CalSdValue;
    std::array<CalStandard, MaxStandards> CalStandards;
};

} // namespace Quorlix
