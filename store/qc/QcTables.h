#pragma once

#include <QString>

namespace Quorlix {

class Database;

// The statements of a schema script that create the quality-control tables and their indexes.
QString QcTablesScript(const QString& schemaScript);

// Makes sure the quality-control tables exist, creating the missing ones (a database set up by an
// earlier release). Returns empty when they are there, else why they are not.
QString EnsureQcTables(Database& db);

} // namespace Quorlix
