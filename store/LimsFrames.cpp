#include "LimsFrames.h"

#include "core/FrameText.h"

namespace Quorlix {

QString ControlResultsFrame(const ControlFrameHeader& header, const QString& controlId, int count,
                            const QList<ChannelResult>& results)
{
    QString frame = Stx;
    frame += RightAligned(header.function, 1);
    frame += RightAligned(header.frameClass.toUpper(), 1);
    frame += QLatin1Char('1');
    frame += RightAligned(header.number, 5);
    frame += QLatin1Char('1');
    frame += RightAligned(header.samplePos, 2);
    frame += QLatin1Char('5');
    frame += RightAligned(controlId, 13);
    frame += RightAligned(header.info1, 4);
    frame += RightAligned(header.info2, 1);
    frame += header.when.toString(QStringLiteral("MMddyyHHmm"));
    frame += QString(6, QLatin1Char(' '));
    frame += RightAligned(QString::number(count), 2);
    for (const ChannelResult& r : results)
        frame += RightAligned(r.channel, 2) + RightAligned(r.result, 6) + QLatin1Char(' ');
    frame += QStringLiteral("000000");
    frame += Etx;
    return frame;
}

QString CalibrationFrame(const CalibrationFrameData& data)
{
    QString frame = Stx;
    frame += QStringLiteral(":G");
    frame += QString(7, QLatin1Char(' '));
    frame += RightAligned(data.channel, 2);
    frame += RightAligned(data.stdCount, 1);
    frame += RightAligned(data.alarm, 1);
    for (size_t j = 0; j < data.standards.size(); ++j) {
        const CalibrationStandardTexts& s = data.standards[j];
        const QString digit = QString::number(j + 1);
        const QString block = digit + RightAligned(s.abs1, 6) + RightAligned(s.ini1, 6) +
                              RightAligned(s.abs2, 6) + RightAligned(s.ini2, 6) +
                              RightAligned(s.dataAlarm, 1) + RightAligned(s.prozone, 6);
        if (block.trimmed() != digit) // a standard without any value is left out
            frame += block;
    }
    frame += (QStringLiteral("N") + QString(7, QLatin1Char(' ')) + data.sdValue).right(8);
    frame += Etx;
    return frame;
}

} // namespace Quorlix
