#include "AuOrder.h"

#include "core/FrameText.h"

namespace Quorlix {

QString BuildAuOrder(const QString& code, const AuIdentification& id, const QList<int>& channels,
                     QStringList& problems)
{
    QString order = QLatin1Char('S') + LeftAligned(MidOneBased(code, 2, 1), 1) + LeftAligned(id.rackNo, 4) +
                    LeftAligned(id.cupPos, 2) + LeftAligned(id.field1, 1) + LeftAligned(id.field2, 4) +
                    LeftAligned(id.sampleId, 20) + QString(4, QLatin1Char(' ')) + QLatin1Char('E');
    for (const int channel : channels) {
        if (channel < 0 || channel > 99) {
            problems << QStringLiteral("order for sample \"%1\": channel %2 does not fit the two digits of "
                                       "an order: not ordered")
                            .arg(id.sampleId.trimmed())
                            .arg(channel);
            continue;
        }
        order += QStringLiteral("%1").arg(channel, 2, 10, QLatin1Char('0'));
    }
    return order;
}

QString BuildAuControlFrame(const QString& frame, const QString& controlName)
{
    // A control character in the name would end or break the frame on the line.
    QString name = LeftAligned(controlName.left(8), 8);
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    return Stx + QLatin1String("DQ") + FramePayload(frame).mid(3) + name + Etx;
}

} // namespace Quorlix
