#pragma once

#include "core/Database.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace Quorlix {

struct Settings;

// The MGC240's control software keeps its work list and results in a database of its own: an
// Access file on the analyzer's computer. `mgcdriver` says how to reach it: "access" (the default
// on Windows) through the Access ODBC driver with the file `AccessPath`; "sqlite" (the default
// elsewhere) a SQLite file `AccessPath` with the same tables, as the simulator and the tests use;
// "odbc" any ODBC data source, with the complete connection string in `mgcodbc`. A relative
// `AccessPath` is taken relative to the configuration file's folder.
DatabaseTarget DescribeMgcDatabase(const Settings& settings);

// The mgcdriver of this platform when the key is not given.
QString DefaultMgcDriver();

// A date-time as the MGC240's database takes it in a bound value. An ODBC driver converts a typed
// timestamp for every data source (the Access driver reads no server text form); SQLite keeps the
// one text form every other time stamp of the program has.
QVariant MgcDateValue(const Database& mgc, const QDateTime& moment);

} // namespace Quorlix
