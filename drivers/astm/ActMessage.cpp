#include "ActMessage.h"

#include "core/FrameText.h"

namespace Quorlix {

QString ActTime(const QString& field)
{
    return MidOneBased(field, 1, 8) + QLatin1Char(' ') + MidOneBased(field, 9, 2) + QLatin1Char(':') +
           MidOneBased(field, 11, 2) + QLatin1Char(':') + MidOneBased(field, 13, 2);
}

QString ActValue(const QString& value)
{
    return value.section(QLatin1Char('!'), 0, 0);
}

ActMessage ParseActMessage(const QStringList& records)
{
    ActMessage message;
    for (const QString& record : records) {
        const QStringList fields = record.split(QLatin1Char('|'));
        const QString type = fields.value(0).left(1);
        if (type == QLatin1String("H")) {
            message.messageTime = ActTime(fields.value(13));
        } else if (type == QLatin1String("R")) {
            if (message.results.size() >= ActMessage::MaxResults) {
                ++message.surplusResults;
                continue;
            }
            ActResult result;
            result.shortName = fields.value(2).remove(QLatin1Char('!'));
            result.value = fields.value(3);
            result.time = ActTime(fields.value(12));
            message.results << result;
        }
    }
    return message;
}

} // namespace Quorlix
