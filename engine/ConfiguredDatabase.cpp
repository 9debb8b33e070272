#include "ConfiguredDatabase.h"

#include "Launch.h"
#include "Startup.h"
#include "core/CommandLine.h"
#include "core/IniFile.h"

#include <QFileInfo>

namespace Quorlix {

ConfiguredDatabase OpenConfiguredDatabase(Database& db, const LaunchOptions& options,
                                          const QString& commandLine, const QString& applicationDir)
{
    ConfiguredDatabase opened;
    const auto fail = [&opened](int code, const QString& error) {
        opened.exitCode = code;
        opened.error = error;
        return opened;
    };
    if (const QString error = ParseCommandLine(commandLine, opened.settings); !error.isEmpty())
        return fail(ExitConfiguration, error);
    const QString iniPath = FindIniFile(options.configPath, applicationDir);
    if (const QString error = ReadIniFile(iniPath, opened.settings); !error.isEmpty())
        return fail(ExitConfiguration, error);
    opened.target = DescribeDatabase(opened.settings, QFileInfo(iniPath).absolutePath());
    if (!opened.target.error.isEmpty())
        return fail(ExitConfiguration, opened.target.error);
    if (const QString error = db.open(opened.target); !error.isEmpty())
        return fail(ExitDatabase, error);
    return opened;
}

} // namespace Quorlix
