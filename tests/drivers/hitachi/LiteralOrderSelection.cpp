#include "LiteralOrderSelection.h"

#include "core/Database.h"

namespace Quorlix::Test {

namespace {

enum class Source
{
    Requests,
    OpenControls,
    ControlDefinitions
};

// The queries of one channel. The 902 takes what control_block holds for any analyzer and compares
// the channel as text.
QString QueryFor(Source source, OrderQueries queries)
{
    const bool hit902 = queries == OrderQueries::Hit902;
    const QString armed =
        hit902 ? QStringLiteral("(x.control_id, x.parameter_id) IN (SELECT control_id, parameter_id "
                                "FROM control_block)")
               : QStringLiteral("(x.control_id, x.parameter_id) IN (SELECT control_id, parameter_id "
                                "FROM control_block WHERE analyzer_id = ?)");
    const QString channel =
        hit902 ? QStringLiteral("CAST(p2c.channel_id AS TEXT) = ?") : QStringLiteral("p2c.channel_id = ?");
    switch (source) {
    case Source::Requests:
        return QStringLiteral(
            "SELECT * FROM request r INNER JOIN param2channel p2c ON r.parameter_id = p2c.parameter_id "
            "WHERE p2c.channel_id = ? AND r.sample_id = ? AND p2c.analyzer_id = ?");
    case Source::OpenControls:
        return QStringLiteral(
                   "SELECT p2c.channel_id FROM (SELECT control_id, parameter_id, result, time_stamp "
                   "FROM control_results) x INNER JOIN param2channel p2c ON x.parameter_id = "
                   "p2c.parameter_id "
                   "WHERE ") +
               armed +
               QStringLiteral(" AND x.control_id = ? AND p2c.analyzer_id = ? AND x.result IS NULL "
                              "AND x.time_stamp IS NULL AND ") +
               channel;
    case Source::ControlDefinitions:
        return QStringLiteral(
                   "SELECT p2c.channel_id FROM (SELECT control_id, parameter_id FROM control_def) x "
                   "INNER JOIN param2channel p2c ON x.parameter_id = p2c.parameter_id WHERE ") +
               armed + QStringLiteral(" AND x.control_id = ? AND p2c.analyzer_id = ? AND ") + channel;
    }
    return {};
}

} // namespace

bool LiteralOrderSelection::read(const QString& id, bool control, OrderChannels& found, QString& error)
{
    SqlResult open = m_db.run(QStringLiteral("SELECT 1 FROM control_results WHERE control_id = ? AND "
                                             "analyzer_id = ? AND result IS NULL AND time_stamp IS NULL"),
                              {id, m_rules.analyzerId});
    if (!open.ok()) {
        error = open.error();
        return false;
    }
    found.openControls = open.next();
    open.finish();
    const Source source = !control             ? Source::Requests
                          : found.openControls ? Source::OpenControls
                                               : Source::ControlDefinitions;
    const OrderQueries queries = m_rules.queries;
    const QString sql = QueryFor(source, queries);
    for (int c = 1; c <= m_rules.channelCount(); ++c) {
        QVariantList values;
        if (source == Source::Requests) {
            values = {c, id, m_rules.analyzerId};
        } else {
            if (queries == OrderQueries::Hit911)
                values << m_rules.analyzerId;
            values << id << m_rules.analyzerId;
            values << (queries == OrderQueries::Hit902 ? QVariant(QString::number(c)) : QVariant(c));
        }
        SqlResult rows = m_db.run(sql, values);
        if (!rows.ok()) {
            error = QStringLiteral("orders of %1 on channel %2 could not be read: %3")
                        .arg(id)
                        .arg(c)
                        .arg(rows.error());
            return false;
        }
        if (rows.next())
            found.channels << c;
    }
    return true;
}

} // namespace Quorlix::Test
