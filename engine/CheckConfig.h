#pragma once

#include "Drivers.h"

#include <QString>
#include <QStringList>

namespace Quorlix {

struct LaunchOptions;

// quorlix --check-config: reads the switches and the configuration file, opens the database,
// looks for the tables the program uses, opens and closes the ports, and says what it found, one
// line per check ("ok: ..." or "FAILED: ..."). Serves nothing. Returns 0, or the exit code the
// start-up would end with at the first failure (2 configuration, 3 database, 4 port). No line
// carries a password.
int CheckConfig(const LaunchOptions& options, const QString& commandLine, const QString& applicationDir,
                QStringList* lines, const DriverRegistry& drivers = AllDrivers());

} // namespace Quorlix
