#include "engine/Launch.h"
#include "engine/QcReport.h"
#include "engine/Startup.h"

#include <QCoreApplication>

namespace Quorlix {

// The service form of the program is built without windows.
int RunDesktop(int&, char**, const LaunchOptions&, const QString&, const QString&)
{
    ReportLine(Severity::Error,
               QStringLiteral("quorlix: this build has no windows; use --headless to run as a service"));
    return ExitConfiguration;
}

int RunQcReportCommand(int& argc, char** argv, const LaunchOptions& options, const QString& commandLine,
                       const QString& applicationDir)
{
    QCoreApplication app(argc, argv);
    return RunQcReport(options, commandLine, applicationDir, {});
}

} // namespace Quorlix
