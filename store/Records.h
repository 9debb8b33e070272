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

// The result record a driver fills and the store reads: what every analyzer sends about a sample
// or control. Whatever a family's protocol adds is settled by the driver before it hands the
// record over, or by the family's rules (JobRules).
struct SampleRecord
{
    QString SampleId;
    QString SampleDisc; // disc or rack
    QString SamplePos;  // position or cup
    // The analyzer's time of the measurement, when it sends one: the record is stamped with it
    // instead of the time of receipt (the job's stamp carries it into the spool).
    QDateTime MeasuredAt;

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
