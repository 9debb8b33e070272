#include "HitachiReply.h"

#include "core/FrameText.h"

namespace Quorlix {

QString BuildHit911Order(const HitachiFrameRecord& frame, const SampleRecord& sample,
                         const QString& selection)
{
    return QLatin1String(";A ") + RightAligned(frame.CurNumber, 3) + RightAligned(sample.SampleDisc, 1) +
           RightAligned(sample.SamplePos, 2) + RightAligned(sample.SampleId, 13) +
           RightAligned(frame.CurInfo1, 4) + RightAligned(frame.CurInfo2, 1) +
           RightAligned(frame.CurDate, 6) + RightAligned(frame.CurTime, 4) + QLatin1String("48") + selection +
           QLatin1String("00000");
}

QString BuildHit902Order(const HitachiFrameRecord& frame, const SampleRecord& sample,
                         const QString& selection)
{
    return QLatin1String(";A ") + frame.CurNumber + QLatin1Char(' ') + sample.SamplePos +
           RightAligned(sample.SampleId, 13) + QString(15, QLatin1Char(' ')) + QLatin1String(" 37") +
           selection + QLatin1String("00000");
}

QString BuildHit912Order(const HitachiFrameRecord& frame, const SampleRecord& sample,
                         const QString& selection, const Hit912Patient& patient)
{
    // Month, day, year, hour and minute of the sample date, two digits each.
    const QString date = patient.sampleDate.isValid()
                             ? patient.sampleDate.toString(QStringLiteral("MMddyyHHmm"))
                             : QString(10, QLatin1Char(' '));
    return QLatin1Char(';') + frame.CurFrameClass + frame.CurFlag1 + frame.CurNumber + sample.SampleDisc +
           sample.SamplePos + frame.CurFlag2 + RightAligned(sample.SampleId, 13) +
           QString(4, QLatin1Char(' ')) + QLatin1Char(' ') + date + QLatin1String("48") + selection +
           QLatin1String("111111") + LeftAligned(patient.siId, 30) + LeftAligned(patient.surname, 25) +
           LeftAligned(patient.forename, 20) + LeftAligned(patient.custName, 15) +
           LeftAligned(patient.custId, 10) + LeftAligned(patient.collector, 20);
}

QString BuildLimsInquiryFrame(const HitachiFrameRecord& frame, const SampleRecord& sample)
{
    return Stx + frame.CurFunction + frame.CurFrameClass.toUpper() + QLatin1Char('1') +
           RightAligned(frame.CurNumber, 5) + QLatin1Char('1') + RightAligned(sample.SamplePos, 2) +
           QLatin1Char('5') + RightAligned(sample.SampleId, 13) + RightAligned(frame.CurInfo1, 4) +
           QLatin1Char('0') + RightAligned(frame.CurDate, 6) + RightAligned(frame.CurTime, 4) + Etx;
}

} // namespace Quorlix
