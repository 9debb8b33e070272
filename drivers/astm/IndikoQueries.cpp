#include "IndikoQueries.h"

#include "core/Database.h"
#include "core/FrameText.h"
#include "core/SqlHelpers.h"
#include "store/ControlStore.h"

namespace Quorlix {

namespace {

// The distinct non-empty codes of the first column, in the order of the rows.
QString ReadCodes(SqlResult& rows, QStringList& codes)
{
    if (!rows.ok())
        return rows.error();
    while (rows.next()) {
        const QString code = NullToText(rows.value(0)).trimmed();
        if (!code.isEmpty() && !codes.contains(code))
            codes << code;
    }
    return {};
}

} // namespace

IndikoQueries::IndikoQueries(Database& db, const QString& analyzerId, const QString& controlMask)
    : m_db(db), m_analyzerId(analyzerId), m_controlMask(controlMask)
{
}

bool IndikoQueries::isControl(const QString& id) const
{
    return MatchesMask(id.trimmed(), m_controlMask);
}

IndikoQueries::Names IndikoQueries::namesFor(const QString& id)
{
    Names names;
    const QString id2 = WithoutBlanks(id);
    if (isControl(id)) {
        SqlResult row = m_db.run(QStringLiteral("SELECT name FROM control_base WHERE control_id = ?"), {id2});
        if (!row.ok())
            names.error = row.error();
        else if (row.next())
            names.surname = NullToText(row.value(0));
        return names;
    }
    SqlResult row =
        m_db.run(QStringLiteral("SELECT p.surname, p.forename FROM sample_base sb "
                                "INNER JOIN patients p ON sb.p_id = p.p_id WHERE sb.sample_id = ?"),
                 {id2});
    if (!row.ok()) {
        names.error = row.error();
    } else if (row.next()) {
        names.surname = NullToText(row.value(0));
        names.forename = NullToText(row.value(1));
    }
    return names;
}

IndikoQueries::Tests IndikoQueries::testsFor(const QString& id)
{
    Tests tests;
    const QString id2 = WithoutBlanks(id);
    if (!isControl(id)) {
        SqlResult material =
            m_db.run(QStringLiteral("SELECT sample_mat FROM sample_base WHERE sample_id = ?"), {id2});
        if (!material.ok()) {
            tests.error = material.error();
            return tests;
        }
        if (material.next() && NullToText(material.value(0)).toUpper() != QLatin1String("U"))
            tests.specimenCode = QStringLiteral("1");
        material.finish();
        SqlResult rows =
            m_db.run(QStringLiteral(
                         "SELECT DISTINCT p2c.testiddsx FROM request r INNER JOIN param2channel p2c "
                         "ON r.parameter_id = p2c.parameter_id WHERE r.sample_id = ? AND p2c.analyzer_id = ? "
                         "ORDER BY p2c.testiddsx"),
                     {id2, m_analyzerId});
        tests.error = ReadCodes(rows, tests.codes);
        return tests;
    }

    // A control: its open control rows decide, else its definition; only armed pairs.
    SqlResult open = m_db.run(QStringLiteral("SELECT COUNT(*) FROM control_results WHERE control_id = ? "
                                             "AND analyzer_id = ? AND result IS NULL AND time_stamp IS NULL"),
                              {id2, m_analyzerId});
    if (!open.next()) {
        tests.error = open.ok() ? QStringLiteral("no count of control_results") : open.error();
        return tests;
    }
    const bool hasOpen = open.value(0).toInt() > 0;
    open.finish();
    SqlResult rows =
        hasOpen
            ? m_db.run(
                  QStringLiteral(
                      "SELECT DISTINCT p2c.testiddsx FROM control_results c INNER JOIN param2channel p2c "
                      "ON c.parameter_id = p2c.parameter_id WHERE c.control_id = ? "
                      "AND p2c.analyzer_id = ? AND c.result IS NULL AND c.time_stamp IS NULL "
                      "AND EXISTS (SELECT 1 FROM control_block b WHERE b.control_id = c.control_id "
                      "AND b.parameter_id = c.parameter_id AND b.analyzer_id = ?) "
                      "ORDER BY p2c.testiddsx"),
                  {id2, m_analyzerId, m_analyzerId})
            : m_db.run(QStringLiteral(
                           "SELECT DISTINCT p2c.testiddsx FROM control_def d INNER JOIN param2channel p2c "
                           "ON d.parameter_id = p2c.parameter_id WHERE d.control_id = ? "
                           "AND p2c.analyzer_id = ? "
                           "AND EXISTS (SELECT 1 FROM control_block b WHERE b.control_id = d.control_id "
                           "AND b.parameter_id = d.parameter_id AND b.analyzer_id = ?) "
                           "ORDER BY p2c.testiddsx"),
                       {id2, m_analyzerId, m_analyzerId});
    tests.error = ReadCodes(rows, tests.codes);
    return tests;
}

} // namespace Quorlix
