#include "DsxQueries.h"

#include "core/Database.h"
#include "core/SqlHelpers.h"

namespace Quorlix {

std::optional<QHash<int, QString>> DsxQueries::testCodes(QString* error)
{
    SqlResult mapped = m_db.run(
        QStringLiteral(
            "SELECT parameter_id, testiddsx FROM param2channel WHERE analyzer_id = ? ORDER BY channel_id"),
        {m_analyzerId});
    if (!mapped.ok()) {
        *error = mapped.error();
        return std::nullopt;
    }
    QHash<int, QString> codes;
    while (mapped.next()) {
        const int parameter = mapped.value(0).toInt();
        if (!mapped.value(0).isNull() && !codes.contains(parameter))
            codes.insert(parameter, NullToText(mapped.value(1)));
    }
    return codes;
}

bool DsxQueries::requests(const QString& sampleId, const std::function<bool(const Request&)>& take,
                          QString* error)
{
    SqlResult rows =
        sampleId == QLatin1String("ALL")
            ? m_db.run(QStringLiteral(
                  "SELECT r.sample_id, r.parameter_id, sb.p_id, sb.si_id, p.surname, p.forename FROM "
                  "request r "
                  "INNER JOIN sample_base sb ON sb.sample_id = r.sample_id "
                  "INNER JOIN patients p ON p.p_id = sb.p_id ORDER BY r.sample_id, r.parameter_id"))
            : m_db.run(QStringLiteral(
                           "SELECT r.sample_id, r.parameter_id, sb.p_id, sb.si_id, p.surname, p.forename "
                           "FROM request r INNER JOIN sample_base sb ON sb.sample_id = r.sample_id "
                           "INNER JOIN patients p ON p.p_id = sb.p_id WHERE r.sample_id = ? "
                           "ORDER BY r.sample_id, r.parameter_id"),
                       {sampleId});
    if (!rows.ok()) {
        *error = rows.error();
        return false;
    }
    while (rows.next()) {
        Request request;
        request.sampleId = NullToText(rows.value(0));
        if (!rows.value(1).isNull())
            request.parameterId = rows.value(1).toInt();
        request.patientId = NullToText(rows.value(2));
        request.siId = NullToText(rows.value(3));
        request.surname = NullToText(rows.value(4));
        request.forename = NullToText(rows.value(5));
        if (!take(request))
            break;
    }
    return true;
}

} // namespace Quorlix
