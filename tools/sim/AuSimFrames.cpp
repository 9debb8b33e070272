#include "AuSimFrames.h"

#include "core/FrameText.h"

namespace QuorlixSim {

namespace {

const QString STX = QStringLiteral("\x02");
const QString ETX = QStringLiteral("\x03");

QString Number(int n, int width)
{
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

QString Decimal(QString text, bool comma)
{
    if (comma)
        text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text;
}

// Code, rack, cup, field 1 ("N"), field 2 (the cup again, as a sequence number), id, five unread.
QString Head(const QString& code, const AuSample& s)
{
    return STX + Quorlix::LeftAligned(code, 2) + Number(s.rack % 10000, 4) + Number(s.cup % 100, 2) +
           QLatin1Char('N') + Number(s.cup % 10000, 4) + Quorlix::LeftAligned(s.id, 20) +
           QString(5, QLatin1Char(' '));
}

} // namespace

QString AuRequestFrame(const QString& code, const AuSample& sample)
{
    return Head(code, sample) + ETX;
}

QString AuResultFrame(const QString& code, const AuSample& sample, const QList<AuResult>& results,
                      bool decimalComma)
{
    QString blocks;
    for (const AuResult& r : results)
        blocks += Number(r.channel % 100, 2) + Quorlix::RightAligned(Decimal(r.value, decimalComma), 6) +
                  Quorlix::LeftAligned(r.flags, 2);
    return Head(code, sample) + blocks + ETX;
}

QString AuCalibrationFrame(const QList<AuStandard>& standards, bool decimalComma)
{
    QString blocks;
    for (const AuStandard& s : standards) {
        blocks += Number(s.channel % 100, 2) + QString::number(s.standard % 10);
        for (const QString& reading : s.readings)
            blocks += Quorlix::RightAligned(Decimal(reading, decimalComma), 6);
        blocks += Quorlix::LeftAligned(s.flags, 2);
    }
    return Head(QStringLiteral("DA"), AuSample{QStringLiteral("CALIBRATION"), 1, 1}) + blocks + ETX;
}

QString AuIdentificationOf(const QString& frame)
{
    return Quorlix::LeftAligned(Quorlix::MidOneBased(frame, 4, 31), 31);
}

QString AuCodeOf(const QString& frame)
{
    return Quorlix::MidOneBased(frame, 2, 2);
}

QString AuOrderFrame(const QString& request, const QString& channels)
{
    return STX + QLatin1Char('S') + Quorlix::LeftAligned(Quorlix::MidOneBased(request, 3, 1), 1) +
           AuIdentificationOf(request) + QStringLiteral("    E") + channels + ETX;
}

} // namespace QuorlixSim
