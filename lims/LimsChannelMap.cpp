#include "LimsChannelMap.h"

#include "core/Database.h"
#include "store/StoreValues.h"

namespace Quorlix {

DbOutcome LimsChannelMap::refresh(Database& db, const QString& limsId, const QString& analyzerId)
{
    SqlResult rows = db.run(QStringLiteral("SELECT analyzer_id, channel_id, parameter_id FROM param2channel "
                                           "WHERE analyzer_id IN (?, ?) AND parameter_id IS NOT NULL "
                                           "ORDER BY channel_id, parameter_id"),
                            {BoundText(limsId), BoundText(analyzerId)});
    if (!rows.ok())
        return DbOutcome::of(db, rows);
    QHash<int, int> limsParameter;
    QMultiHash<int, int> analyzerChannels;
    while (rows.next()) {
        const QString owner = rows.value(0).toString();
        const int channel = rows.value(1).toInt();
        const int parameter = rows.value(2).toInt();
        if (owner == limsId && !limsParameter.contains(channel))
            limsParameter.insert(channel, parameter);
        if (owner == analyzerId)
            analyzerChannels.insert(parameter, channel);
    }
    m_limsParameter = limsParameter;
    m_analyzerChannels = analyzerChannels;
    return DbOutcome::done();
}

QString LimsChannelMap::analyzerSelection(const QList<int>& limsChannels, int channelCount) const
{
    QString selection(channelCount, QLatin1Char('0'));
    for (const int limsChannel : limsChannels) {
        const auto parameter = m_limsParameter.constFind(limsChannel);
        if (parameter == m_limsParameter.constEnd())
            continue;
        for (const int channel : m_analyzerChannels.values(parameter.value())) {
            if (channel >= 1 && channel <= channelCount)
                selection[channel - 1] = QLatin1Char('1');
        }
    }
    return selection;
}

} // namespace Quorlix
