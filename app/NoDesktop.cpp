#include "engine/Launch.h"
#include "engine/Startup.h"

namespace Quorlix {

// The service form of the program is built without windows.
int RunDesktop(int&, char**, const LaunchOptions&, const QString&, const QString&)
{
    ReportLine(Severity::Error,
               QStringLiteral("quorlix: this build has no windows; use --headless to run as a service"));
    return ExitConfiguration;
}

} // namespace Quorlix
