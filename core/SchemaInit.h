#pragma once

#include <QString>
#include <QStringList>

namespace Quorlix {

class Database;

// Creates the laboratory tables the program uses that the database does not have yet (existing
// tables are never dropped or altered). With demoData, also loads a small demonstration reference
// set, unless the database already holds tests. Returns an error text, or empty on success; report
// receives one line per step.
QString InitDatabase(Database& db, bool demoData, QString* report);

// The schema script of the database's dialect (tables of the MGC240's own database when mgc240).
QString SchemaScript(const Database& db, bool mgc240 = false);

// The statements of a schema script that mention one of the names (a table created on its own at
// start-up, in a database set up by an earlier release).
QString SchemaStatementsMentioning(const QString& schemaScript, const QStringList& names);

} // namespace Quorlix
