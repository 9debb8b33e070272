#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <optional>

namespace Quorlix {

class Database;

// What the DSX driver reads from the laboratory database, for one analyzer. Every value is bound.
// A call that fails says so (nothing, or false) and hands back the database's error.
class DsxQueries
{
public:
    DsxQueries(Database& db, QString analyzerId) : m_db(db), m_analyzerId(std::move(analyzerId)) {}

    // This analyzer's test code (testiddsx) of each parameter; a parameter's first row, in channel
    // order, counts.
    std::optional<QHash<int, QString>> testCodes(QString* error);

    // A requested parameter of a sample, with the sample's patient.
    struct Request
    {
        QString sampleId;
        std::optional<int> parameterId;
        QString patientId;
        QString siId;
        QString surname;
        QString forename;
    };
    // The requests of a sample ("ALL": of every sample), by sample and parameter, handed to take one
    // by one until it returns false.
    bool requests(const QString& sampleId, const std::function<bool(const Request&)>& take, QString* error);

private:
    Database& m_db;
    const QString m_analyzerId;
};

} // namespace Quorlix
