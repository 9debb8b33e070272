#include "ChannelParameters.h"

namespace Quorlix {

void ApplyParameters(SampleRecord& sample, const QHash<qint16, qint16>& parameters,
                     const QString& sampleLabel, QStringList& notes)
{
    qint16 kept = 0;
    for (qint16 k = 0; k < sample.ResultCount; ++k) {
        ResultEntry entry = sample.Results[static_cast<size_t>(k)];
        const auto found = parameters.constFind(entry.Channel);
        if (found == parameters.constEnd()) {
            const QString flags = entry.DataAlarm.trimmed().isEmpty()
                                      ? QString()
                                      : QStringLiteral(" flags \"%1\"").arg(entry.DataAlarm);
            notes << QStringLiteral(
                         "sample \"%1\": no parameter for channel %2 in param2channel: value \"%3\"%4 "
                         "not stored")
                         .arg(sampleLabel)
                         .arg(entry.Channel)
                         .arg(entry.Value, flags);
            continue;
        }
        entry.ParameterId = found.value();
        sample.Results[static_cast<size_t>(kept++)] = entry;
    }
    sample.ResultCount = kept;
}

} // namespace Quorlix
