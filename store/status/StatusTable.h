#pragma once

#include <QString>

namespace Quorlix {

class Database;

// Makes sure the analyzer_status table exists, creating it when missing (a database set up by an
// earlier release). Returns empty when it is there, else why it is not.
QString EnsureStatusTable(Database& db);

} // namespace Quorlix
