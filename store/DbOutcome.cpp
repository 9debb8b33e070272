#include "DbOutcome.h"

#include "core/Database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace Quorlix {

DbOutcome DbOutcome::ofError(Database& db, const QSqlError& error)
{
    // A closed connection fails without any error text: say what happened. Server messages span
    // several lines; the log wants one.
    const QString text = error.text().trimmed().isEmpty()
                             ? QStringLiteral("the database connection is closed")
                             : error.text().simplified();
    if (!db.isOpen())
        return databaseFailed(text, true);
    switch (db.dialect().classify(error)) {
    case SqlDialect::Failure::Permanent:
        return dataRejected(text);
    case SqlDialect::Failure::Transient:
        return databaseFailed(text, error.type() == QSqlError::ConnectionError &&
                                        db.dialect().kind() != SqlDialect::SQLite);
    case SqlDialect::Failure::Unknown:
        break;
    }
    return unclassified(text);
}

DbOutcome DbOutcome::of(Database& db, SqlResult& result)
{
    if (result.ok())
        return done();
    DbOutcome outcome = ofError(db, result.query().lastError());
    if (outcome.kind == DatabaseFailed && result.connectionLost())
        outcome.connectionLost = true;
    outcome.statement = result.statement();
    return outcome;
}

DbOutcome DbOutcome::decided(Database& db) const
{
    if (kind != Unclassified)
        return *this;
    if (db.isOpen() && db.answers())
        return dataRejected(error);
    return databaseFailed(error, true);
}

} // namespace Quorlix
