#pragma once

#include <QString>

#include <memory>

class QSqlQuery;

namespace Quorlix {

class Database;
class SqlResult;

// How a statement or a group of statements of one store call ended. A failure is either about the
// data (the database refused these values: retrying cannot help) or about the database itself
// (connection gone, table missing, transaction refused: the record waits in the spool).
struct DbOutcome
{
    enum Kind
    {
        Done,
        DataRejected,
        DatabaseFailed
    };

    Kind kind = Done;
    QString error;
    bool connectionLost = false; // the connection has to be opened again
    // The failed statement, released only once the transaction (or savepoint) is rolled back:
    // PostgreSQL refuses to free a statement inside a failed transaction.
    std::shared_ptr<QSqlQuery> statement;

    bool ok() const { return kind == Done; }
    static DbOutcome done() { return {}; }
    static DbOutcome databaseFailed(const QString& error, bool connectionLost = false)
    {
        return {DatabaseFailed, error, connectionLost, nullptr};
    }
    // Done when the statement ran, else the classified failure.
    static DbOutcome of(Database& db, SqlResult& result);
};

} // namespace Quorlix
