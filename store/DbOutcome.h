#pragma once

#include <QString>

#include <memory>

class QSqlError;
class QSqlQuery;

namespace Quorlix {

class Database;
class SqlResult;

// How a statement or a group of statements of one store call ended. A failure is permanent or
// transient. Permanent (DataRejected): the database refuses this record, its values or a statement
// it needs (a constraint, a conversion, a missing table or column, a trigger's error, a row that
// cannot be read back): retrying cannot help, the record is set aside and the next one goes on.
// Transient (DatabaseFailed): the server or the connection failed (gone, shutting down, busy or
// locked, a deadlock, a timeout): the record waits and is tried again, in order. Unclassified: the
// error says neither; once the statements are undone, a connection that still answers makes it
// permanent, one that does not transient.
struct DbOutcome
{
    enum Kind
    {
        Done,
        DataRejected,
        DatabaseFailed,
        Unclassified
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
    static DbOutcome dataRejected(const QString& error) { return {DataRejected, error, false, nullptr}; }
    static DbOutcome unclassified(const QString& error) { return {Unclassified, error, false, nullptr}; }
    // Done when the statement ran, else the classified failure.
    static DbOutcome of(Database& db, SqlResult& result);
    // The classified failure of an error the connection reported (a commit that failed).
    static DbOutcome ofError(Database& db, const QSqlError& error);
    // An unclassified failure decided by whether the connection answers now; any other outcome
    // as it is.
    DbOutcome decided(Database& db) const;
};

} // namespace Quorlix
