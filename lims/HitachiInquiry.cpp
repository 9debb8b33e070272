#include "HitachiInquiry.h"

#include "comm/LinePort.h"
#include "core/Context.h"
#include "core/FrameText.h"

namespace Quorlix {


QString BuildLimsInquiryFrame(const HitachiFrameRecord& frame, const SampleRecord& sample)
{
    return Stx + frame.CurFunction + frame.CurFrameClass.toUpper() + QLatin1Char('1') +
           RightAligned(frame.CurNumber, 5) + QLatin1Char('1') + RightAligned(sample.CurSamplePos, 2) +
           QLatin1Char('5') + RightAligned(sample.CurSampleId, 13) + RightAligned(frame.CurInfo1, 4) +
           QLatin1Char('0') + RightAligned(frame.CurDate, 6) + RightAligned(frame.CurTime, 4) + Etx;
}

void ForwardInquiryToLims(Context& context)
{
    if (context.limsPort)
        context.limsPort->send(BuildLimsInquiryFrame(context.frame, context.sample), Direction::HostToLims);
}

} // namespace Quorlix
