#include "HitachiQueries.h"

#include "core/Database.h"
#include "core/SqlHelpers.h"

namespace Quorlix {

namespace {

// A date-time column as the database hands it back: a date-time, or text in one of the forms the
// laboratory's servers write.
QDateTime DateTimeOf(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate().startOfDay();
    const QString text = value.toString().trimmed();
    for (const QString& format :
         {QStringLiteral("yyyy-MM-dd HH:mm:ss"), QStringLiteral("yyyy-MM-ddTHH:mm:ss"),
          QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"), QStringLiteral("yyyy-MM-dd HH:mm"),
          QStringLiteral("yyyyMMdd HH:mm:ss"), QStringLiteral("yyyy-MM-dd")}) {
        const QDateTime parsed = QDateTime::fromString(text, format);
        if (parsed.isValid())
            return parsed;
    }
    return QDateTime::fromString(text, Qt::ISODate);
}

// The control_block condition: the control's parameter is armed, for this analyzer (the 902 queries
// take what is armed for any analyzer).
QString ArmedCondition(const QString& alias, OrderQueries queries)
{
    QString condition =
        QStringLiteral("EXISTS (SELECT 1 FROM control_block cb WHERE cb.control_id = %1.control_id "
                       "AND cb.parameter_id = %1.parameter_id")
            .arg(alias);
    if (queries == OrderQueries::Hit911)
        condition += QStringLiteral(" AND cb.analyzer_id = ?");
    return condition + QLatin1Char(')');
}

// The channels of a control's armed parameters on this analyzer, tagged with `tag`: from its open
// control_results rows or from control_def. Binds ControlValues().
QString ControlChannelsSql(bool openRows, OrderQueries queries, int tag)
{
    const QString select = QStringLiteral("SELECT DISTINCT %1, p2c.channel_id FROM ").arg(tag);
    if (openRows) {
        return select +
               QStringLiteral("control_results c "
                              "INNER JOIN param2channel p2c ON c.parameter_id = p2c.parameter_id WHERE ") +
               ArmedCondition(QStringLiteral("c"), queries) +
               QStringLiteral(" AND c.control_id = ? AND p2c.analyzer_id = ? "
                              "AND c.result IS NULL AND c.time_stamp IS NULL");
    }
    return select +
           QStringLiteral("control_def d "
                          "INNER JOIN param2channel p2c ON d.parameter_id = p2c.parameter_id WHERE ") +
           ArmedCondition(QStringLiteral("d"), queries) +
           QStringLiteral(" AND d.control_id = ? AND p2c.analyzer_id = ?");
}

QVariantList ControlValues(OrderQueries queries, const QString& id, const QString& analyzerId)
{
    QVariantList values;
    if (queries == OrderQueries::Hit911)
        values << analyzerId; // of the armed condition
    values << id << analyzerId;
    return values;
}

} // namespace

std::optional<QHash<qint16, qint16>> HitachiQueries::parametersOfChannels(const QList<qint16>& channels,
                                                                          bool ofThisAnalyzer, QString* error)
{
    QHash<qint16, qint16> found;
    if (channels.isEmpty())
        return found;
    QVariantList values;
    if (ofThisAnalyzer)
        values << m_analyzerId;
    for (const qint16 channel : channels)
        values << channel;
    // Where a channel has several rows, this analyzer's comes first.
    QString sql = QStringLiteral("SELECT channel_id, parameter_id FROM param2channel WHERE ");
    if (ofThisAnalyzer)
        sql += QStringLiteral("analyzer_id = ? AND ");
    sql += QStringLiteral("parameter_id IS NOT NULL AND channel_id IN (%1) ORDER BY channel_id, ")
               .arg(Placeholders(channels.size()));
    if (ofThisAnalyzer) {
        sql += QStringLiteral("parameter_id");
    } else {
        sql += QStringLiteral("CASE WHEN analyzer_id = ? THEN 0 ELSE 1 END, parameter_id");
        values << m_analyzerId;
    }
    SqlResult rows = m_db.run(sql, values);
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

bool HitachiQueries::patient(const QString& sampleId, Hit912Patient* patient, QString* error)
{
    SqlResult row =
        m_db.run(QStringLiteral("SELECT p.surname, p.forename, p.si_id, s.cust_id, s.coll_dat, s.entry_dat, "
                                "s.collector, c.cust_name FROM patients p "
                                "INNER JOIN sample_base s ON s.p_id = p.p_id "
                                "INNER JOIN customer c ON c.cust_id = s.cust_id WHERE s.sample_id = ?"),
                 {sampleId});
    if (!row.ok()) {
        *error = row.error();
        return false;
    }
    if (row.next()) {
        patient->surname = row.value(0).toString();
        patient->forename = row.value(1).toString();
        patient->siId = row.value(2).toString();
        patient->custId = row.value(3).toString();
        patient->sampleDate = DateTimeOf(row.value(4));
        if (!patient->sampleDate.isValid())
            patient->sampleDate = DateTimeOf(row.value(5));
        patient->collector = row.value(6).toString();
        patient->custName = row.value(7).toString();
    }
    return true;
}

std::optional<QString> HitachiQueries::controlName(const QString& controlId)
{
    SqlResult control =
        m_db.run(QStringLiteral("SELECT name FROM control_base WHERE control_id = ?"), {controlId});
    if (!control.next())
        return std::nullopt;
    return control.value(0).toString();
}

bool HitachiQueries::deleteOpenControls(const QString& controlId, QString* error)
{
    SqlResult deleted =
        m_db.run(QStringLiteral("DELETE FROM control_results WHERE control_id = ? AND analyzer_id = ? "
                                "AND result IS NULL AND time_stamp IS NULL"),
                 {controlId, m_analyzerId});
    if (!deleted.ok())
        *error = deleted.error();
    return deleted.ok();
}

std::optional<OrderChannels> HitachiQueries::orderChannels(const QString& id, bool control,
                                                           OrderQueries queries, int channelCount,
                                                           QString* error)
{
    // An answer waits on this query, so it is one round trip: each row is tagged with where it comes
    // from, a control brings the channels of both of its sources, and a row tagged OpenTag says
    // that the id has open control_results rows (which choose a control's source).
    enum Tag
    {
        OpenTag = -1,
        RequestTag,
        OpenRowsTag,
        DefinitionTag
    };
    const QString inRange = QStringLiteral(" AND p2c.channel_id >= 1 AND p2c.channel_id <= ?");
    QString sql;
    QVariantList values;
    if (!control) {
        sql = QStringLiteral("SELECT DISTINCT %1, p2c.channel_id FROM request r "
                             "INNER JOIN param2channel p2c ON r.parameter_id = p2c.parameter_id "
                             "WHERE r.sample_id = ? AND p2c.analyzer_id = ?")
                  .arg(RequestTag) +
              inRange;
        values = {id, m_analyzerId, channelCount};
    } else {
        sql = ControlChannelsSql(true, queries, OpenRowsTag) + inRange + QStringLiteral(" UNION ALL ") +
              ControlChannelsSql(false, queries, DefinitionTag) + inRange;
        values = ControlValues(queries, id, m_analyzerId) << channelCount;
        values << ControlValues(queries, id, m_analyzerId) << channelCount;
    }
    sql +=
        QStringLiteral(" UNION ALL SELECT %1, 0 WHERE EXISTS (SELECT 1 FROM control_results "
                       "WHERE control_id = ? AND analyzer_id = ? AND result IS NULL AND time_stamp IS NULL)")
            .arg(OpenTag);
    values << id << m_analyzerId;

    SqlResult rows = m_db.run(sql, values);
    if (!rows.ok()) {
        *error = rows.error();
        return std::nullopt;
    }
    OrderChannels found;
    QList<int> openRowChannels;
    QList<int> definitionChannels;
    while (rows.next()) {
        const int channel = rows.value(1).toInt();
        switch (rows.value(0).toInt()) {
        case OpenTag:
            found.openControls = true;
            break;
        case OpenRowsTag:
            openRowChannels << channel;
            break;
        case DefinitionTag:
            definitionChannels << channel;
            break;
        default:
            found.channels << channel;
        }
    }
    if (control)
        found.channels = found.openControls ? openRowChannels : definitionChannels;
    return found;
}

} // namespace Quorlix
