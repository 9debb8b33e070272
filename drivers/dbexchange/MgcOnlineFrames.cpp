#include "MgcOnlineFrames.h"

#include "core/FrameText.h"

namespace Quorlix {

QString MgcFrameTime(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("MMddyyHHmm"));
}

QString MgcResultHeader(const QString& sampleId, const QDateTime& moment, int count)
{
    return QStringLiteral(":A") + QStringLiteral("1") + QStringLiteral("   1") + QStringLiteral("1") +
           QStringLiteral(" 1") + QStringLiteral(" ") + RightAligned(sampleId, 13) + QStringLiteral("0253") +
           QStringLiteral("1") + MgcFrameTime(moment) + QString(6, QLatin1Char(' ')) +
           RightAligned(QString::number(count), 2);
}

QString MgcSampleInfoHeader(const QString& sampleInfo, int count)
{
    return QStringLiteral(":A1") + sampleInfo + QString(6, QLatin1Char(' ')) +
           RightAligned(QString::number(count), 2);
}

std::optional<QString> MgcResultValue(const QString& value)
{
    return FittedNumber(QString(value).replace(QLatin1Char(','), QLatin1Char('.')), 6);
}

QString MgcResultRecord(const MgcOnlineResult& result)
{
    return RightAligned(result.channel, 2) +
           RightAligned(QString(result.value).replace(QLatin1Char(','), QLatin1Char('.')), 6) +
           QLatin1Char(' ');
}

QString MgcResultFrame(const QString& header, const QList<MgcOnlineResult>& results)
{
    QString text = header;
    for (const MgcOnlineResult& result : results)
        text += MgcResultRecord(result);
    return Stx + text + QStringLiteral("000000") + Etx;
}

QString MgcSampleIdFrame(const QString& sampleId, const QDateTime& moment)
{
    return Stx + QStringLiteral(";A") + QStringLiteral("2") + QStringLiteral("    1") + QStringLiteral("1") +
           QStringLiteral(" 1") + QStringLiteral("5") + RightAligned(sampleId, 13) + QStringLiteral("0253") +
           QStringLiteral("0") + MgcFrameTime(moment) + Etx;
}

} // namespace Quorlix
