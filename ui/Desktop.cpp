#include "Desktop.h"

#include "comm/Engine.h"
#include "core/Startup.h"
#include "core/StartupUi.h"

#include <QApplication>

namespace Quorlix {

int RunDesktop(Engine& engine, const LaunchOptions& options, const QString& commandLine, const QString& applicationDir)
{
    StartupUi ui;
    const StartupOutcome outcome = RunStartup(engine, ui, options, commandLine, applicationDir);
    if (!outcome.ok())
        return outcome.exitCode;
    QObject::connect(&engine, &Engine::stopped, qApp, [] { QApplication::exit(0); });
    engine.start();
    return QApplication::exec();
}

} // namespace Quorlix
