#pragma once

#include "core/Database.h"
#include "core/Settings.h"

#include <QString>

namespace Quorlix {

struct LaunchOptions;

// The laboratory database an interface started with the same command line and configuration file
// would use, opened for a command that reads it and ends (--status, --qc-report).
struct ConfiguredDatabase
{
    Settings settings;
    DatabaseTarget target;
    int exitCode = 0; // ExitConfiguration or ExitDatabase when it could not be opened
    QString error;
    bool ok() const { return exitCode == 0; }
};

// Reads the command line and the configuration file and opens `db` on the database they name.
ConfiguredDatabase OpenConfiguredDatabase(Database& db, const LaunchOptions& options,
                                          const QString& commandLine, const QString& applicationDir);

} // namespace Quorlix
