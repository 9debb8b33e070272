#include "ChannelMap.h"

namespace Quorlix {

QList<qint16> ChannelsOf(const SampleRecord& sample)
{
    QList<qint16> channels;
    for (qint16 k = 0; k < sample.ResultCount; ++k) {
        const qint16 channel = sample.Results[static_cast<size_t>(k)].Channel;
        if (!channels.contains(channel))
            channels << channel;
    }
    return channels;
}

} // namespace Quorlix
