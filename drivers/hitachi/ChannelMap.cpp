#include "ChannelMap.h"

#include "core/Database.h"

namespace Quorlix {

std::optional<QHash<qint16, qint16>> ParametersOfChannels(Database& db, const QString& analyzerId,
                                                          const QList<qint16>& channels, bool ofThisAnalyzer,
                                                          QString* error)
{
    QHash<qint16, qint16> found;
    if (channels.isEmpty())
        return found;
    QStringList marks;
    QVariantList values;
    if (ofThisAnalyzer)
        values << analyzerId;
    for (const qint16 channel : channels) {
        marks << QStringLiteral("?");
        values << channel;
    }
    // Where a channel has several rows, this analyzer's comes first.
    QString sql = QStringLiteral("SELECT channel_id, parameter_id FROM param2channel WHERE ");
    if (ofThisAnalyzer)
        sql += QStringLiteral("analyzer_id = ? AND ");
    sql += QStringLiteral("parameter_id IS NOT NULL AND channel_id IN (%1) ORDER BY channel_id, ")
               .arg(marks.join(QLatin1Char(',')));
    if (ofThisAnalyzer) {
        sql += QStringLiteral("parameter_id");
    } else {
        sql += QStringLiteral("CASE WHEN analyzer_id = ? THEN 0 ELSE 1 END, parameter_id");
        values << analyzerId;
    }
    SqlResult rows = db.run(sql, values);
    if (!rows.ok()) {
        *error = rows.error();
        return std::nullopt;
    }
    while (rows.next()) {
        const qint16 channel = static_cast<qint16>(rows.value(0).toInt());
        if (!found.contains(channel))
            found.insert(channel, static_cast<qint16>(rows.value(1).toInt()));
    }
    return found;
}

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
