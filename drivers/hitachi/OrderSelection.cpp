#include "OrderSelection.h"

#include "core/Database.h"
#include "core/FrameText.h"
#include "store/ControlStore.h"

namespace Quorlix {

namespace {

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

// The channels of a control's armed parameters on this analyzer: from its open control_results rows
// or from control_def. Binds ControlValues().
QString ControlChannelsSql(bool openRows, OrderQueries queries)
{
    if (openRows) {
        return QStringLiteral("SELECT DISTINCT p2c.channel_id FROM control_results c "
                              "INNER JOIN param2channel p2c ON c.parameter_id = p2c.parameter_id WHERE ") +
               ArmedCondition(QStringLiteral("c"), queries) +
               QStringLiteral(" AND c.control_id = ? AND p2c.analyzer_id = ? "
                              "AND c.result IS NULL AND c.time_stamp IS NULL");
    }
    return QStringLiteral("SELECT DISTINCT p2c.channel_id FROM control_def d "
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

SelectionOutcome OrderSelector::select(const QString& sampleId)
{
    const QString id = WithoutBlanks(sampleId);
    const bool control = MatchesMask(sampleId, m_rules.controlMask);

    bool openControls = false;
    {
        SqlResult open =
            m_db.run(m_db.dialect().selectTop(1, QStringLiteral("1 FROM control_results WHERE control_id = ? "
                                                                "AND analyzer_id = ? AND result IS NULL "
                                                                "AND time_stamp IS NULL")),
                     {id, m_rules.analyzerId});
        if (!open.ok())
            return {
                false, {}, QStringLiteral("open controls of %1 could not be read: %2").arg(id, open.error())};
        openControls = open.next();
    }

    const Source source = !control       ? Source::Requests
                          : openControls ? Source::OpenControls
                                         : Source::ControlDefinitions;
    SelectionOutcome outcome;
    outcome.selection = QString(m_rules.channelCount(), QLatin1Char('0'));
    if (!channels(source, id, outcome.selection, outcome.error))
        return {false, {}, outcome.error};
    outcome.ok = true;

    if (openControls) {
        SqlResult deleted =
            m_db.run(QStringLiteral("DELETE FROM control_results WHERE control_id = ? AND analyzer_id = ? "
                                    "AND result IS NULL AND time_stamp IS NULL"),
                     {id, m_rules.analyzerId});
        if (!deleted.ok())
            outcome.error =
                QStringLiteral("open controls of %1 could not be deleted: %2").arg(id, deleted.error());
    }
    return outcome;
}

bool OrderSelection::channels(Source source, const QString& id, QString& selection, QString& error)
{
    QString sql;
    QVariantList values;
    if (source == Source::Requests) {
        sql = QStringLiteral("SELECT DISTINCT p2c.channel_id FROM request r "
                             "INNER JOIN param2channel p2c ON r.parameter_id = p2c.parameter_id "
                             "WHERE r.sample_id = ? AND p2c.analyzer_id = ?");
        values = {id, m_rules.analyzerId};
    } else {
        sql = ControlChannelsSql(source == Source::OpenControls, m_rules.queries);
        values = ControlValues(m_rules.queries, id, m_rules.analyzerId);
    }
    sql += QStringLiteral(" AND p2c.channel_id >= 1 AND p2c.channel_id <= ?");
    values << m_rules.channelCount();

    SqlResult rows = m_db.run(sql, values);
    if (!rows.ok()) {
        error = QStringLiteral("orders of %1 could not be read: %2").arg(id, rows.error());
        return false;
    }
    while (rows.next()) {
        const int channel = rows.value(0).toInt();
        if (channel >= 1 && channel <= selection.size())
            selection[channel - 1] = QLatin1Char('1');
    }
    return true;
}

} // namespace Quorlix
