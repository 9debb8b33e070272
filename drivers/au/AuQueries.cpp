#include "AuQueries.h"

#include "core/Database.h"
#include "core/FrameText.h"
#include "store/DbOutcome.h"

#include <cmath>

namespace Quorlix {

namespace {

std::optional<double> NumberOrNothing(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    return ok ? std::optional<double>(number) : std::nullopt;
}

// Both keys of control_block are compared separately: joined into one text, control "QC1" with
// parameter 23 and control "QC12" with parameter 3 would meet.
QString ArmedOnThisAnalyzer(const QString& alias)
{
    return QStringLiteral("EXISTS (SELECT 1 FROM control_block cb WHERE cb.control_id = %1.control_id "
                          "AND cb.parameter_id = %1.parameter_id AND cb.analyzer_id = ?)")
        .arg(alias);
}

} // namespace

DbOutcome AuQueries::parameters(QHash<qint16, qint16>* byChannel)
{
    SqlResult rows = m_db.run(QStringLiteral("SELECT channel_id, parameter_id FROM param2channel WHERE "
                                             "analyzer_id = ? AND channel_id IS NOT NULL AND parameter_id IS "
                                             "NOT NULL ORDER BY channel_id, parameter_id"),
                              {m_analyzerId});
    if (!rows.ok())
        return DbOutcome::of(m_db, rows);
    byChannel->clear();
    while (rows.next()) {
        const int channel = rows.value(0).toInt();
        const int parameter = rows.value(1).toInt();
        if (channel < 0 || channel > 99 || parameter < 1 || parameter > 32767)
            continue; // no AU block can carry the channel, or no result record the parameter
        if (!byChannel->contains(qint16(channel)))
            byChannel->insert(qint16(channel), qint16(parameter));
    }
    return DbOutcome::done();
}

DbOutcome AuQueries::testDef(qint16 parameterId, TestDef* out)
{
    SqlResult row =
        m_db.run(QStringLiteral("SELECT method FROM test_def WHERE parameter_id = ?"), {parameterId});
    if (!row.ok())
        return DbOutcome::of(m_db, row);
    *out = {};
    if (row.next()) {
        out->found = true;
        out->method = row.value(0).toString();
    }
    return DbOutcome::done();
}

DbOutcome AuQueries::latestCalibration(qint16 parameterId, std::optional<CalibratedRange>* out)
{
    SqlResult row =
        m_db.run(m_db.dialect().selectTop(
                     1, QStringLiteral("std_count, s11abs, s21abs, s31abs, s41abs, s51abs, s61abs "
                                       "FROM calibrations WHERE analyzer_id = ? AND parameter_id = ? "
                                       "ORDER BY calib_dat DESC")),
                 {m_analyzerId, parameterId});
    if (!row.ok())
        return DbOutcome::of(m_db, row);
    out->reset();
    if (!row.next())
        return DbOutcome::done();
    CalibratedRange range;
    range.lowest = NumberOrNothing(row.value(1));
    const std::optional<double> count = NumberOrNothing(row.value(0));
    if (count && *count >= 1 && *count <= 6 && *count == std::floor(*count))
        range.highest = NumberOrNothing(row.value(int(*count)));
    *out = range;
    return DbOutcome::done();
}

DbOutcome AuQueries::standardCount(qint16 parameterId, std::optional<int>* out)
{
    SqlResult row =
        m_db.run(QStringLiteral("SELECT stdcount FROM calib_base WHERE param_id = ? AND analyzer_id = ?"),
                 {parameterId, m_analyzerId});
    if (!row.ok())
        return DbOutcome::of(m_db, row);
    out->reset();
    if (row.next()) {
        const std::optional<double> count = NumberOrNothing(row.value(0));
        if (count)
            *out = int(*count);
    }
    return DbOutcome::done();
}

DbOutcome AuQueries::orderChannels(const QString& sampleId, bool isControl, QList<int>* channels)
{
    const QString id = WithoutBlanks(sampleId);
    QString sql;
    QVariantList values;
    if (!isControl) {
        sql = QStringLiteral("SELECT DISTINCT p2c.channel_id FROM request r "
                             "INNER JOIN param2channel p2c ON r.parameter_id = p2c.parameter_id "
                             "WHERE r.sample_id = ? AND p2c.analyzer_id = ? ORDER BY p2c.channel_id");
        values = {id, m_analyzerId};
    } else {
        SqlResult open =
            m_db.run(m_db.dialect().selectTop(
                         1, QStringLiteral("1 FROM control_results WHERE control_id = ? AND "
                                           "analyzer_id = ? AND result IS NULL AND time_stamp IS NULL")),
                     {id, m_analyzerId});
        if (!open.ok())
            return DbOutcome::of(m_db, open);
        const bool openRows = open.next();
        open.finish();
        if (openRows) {
            sql = QStringLiteral("SELECT DISTINCT p2c.channel_id FROM control_results c "
                                 "INNER JOIN param2channel p2c ON c.parameter_id = p2c.parameter_id WHERE ") +
                  ArmedOnThisAnalyzer(QStringLiteral("c")) +
                  QStringLiteral(" AND c.control_id = ? AND p2c.analyzer_id = ? AND c.result IS NULL "
                                 "AND c.time_stamp IS NULL ORDER BY p2c.channel_id");
        } else {
            sql = QStringLiteral("SELECT DISTINCT p2c.channel_id FROM control_def d "
                                 "INNER JOIN param2channel p2c ON d.parameter_id = p2c.parameter_id WHERE ") +
                  ArmedOnThisAnalyzer(QStringLiteral("d")) +
                  QStringLiteral(" AND d.control_id = ? AND p2c.analyzer_id = ? ORDER BY p2c.channel_id");
        }
        values = {m_analyzerId, id, m_analyzerId};
    }
    SqlResult rows = m_db.run(sql, values);
    if (!rows.ok())
        return DbOutcome::of(m_db, rows);
    channels->clear();
    while (rows.next()) {
        if (!rows.value(0).isNull())
            *channels << rows.value(0).toInt();
    }
    return DbOutcome::done();
}

DbOutcome AuQueries::controlName(const QString& controlId, QString* name)
{
    SqlResult row =
        m_db.run(QStringLiteral("SELECT name FROM control_base WHERE control_id = ?"), {controlId});
    if (!row.ok())
        return DbOutcome::of(m_db, row);
    name->clear();
    if (row.next())
        *name = row.value(0).toString();
    return DbOutcome::done();
}

} // namespace Quorlix
