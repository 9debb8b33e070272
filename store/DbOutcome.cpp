#include "DbOutcome.h"

#include "core/Database.h"

#include <QSqlError>
#include <QSqlQuery>

namespace Quorlix {

DbOutcome DbOutcome::of(Database& db, SqlResult& result)
{
    if (result.ok())
        return done();
    const QSqlError error = result.query().lastError();
    // A closed connection fails without any error text: say what happened. Server messages span
    // several lines; the log wants one.
    const QString text = error.text().trimmed().isEmpty()
                             ? QStringLiteral("the database connection is closed")
                             : error.text().simplified();
    DbOutcome outcome;
    // The error code first: SQLite reports refused values as connection errors too.
    if (db.dialect().isDataError(error))
        outcome = {DataRejected, text, false, nullptr};
    else
        outcome = databaseFailed(text, result.connectionLost() || !db.isOpen());
    outcome.statement = result.statement();
    return outcome;
}

} // namespace Quorlix
