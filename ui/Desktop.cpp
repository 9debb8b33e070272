#include "Desktop.h"

#include "DesktopUi.h"
#include "frmKalibError.h"
#include "comm/Engine.h"
#include "core/CommandLine.h"
#include "core/Startup.h"

#include <QApplication>

#include <cstdio>

namespace Quorlix {

int RunDesktop(Engine& engine, const LaunchOptions& options, const QString& commandLine,
               const QString& applicationDir)
{
    DesktopUi ui(engine);
    // A calibration that does not fit the settings is shown to the operator in its own window.
    KalibErrorDialogs calibrationDialogs(engine.context());
    engine.context().calibrationDialogs = &calibrationDialogs;
    const StartupOutcome outcome = RunStartup(engine, ui, options, commandLine, applicationDir);
    if (!outcome.ok()) {
        const QByteArray line = (QStringLiteral("quorlix: ") + outcome.message).toLocal8Bit();
        std::fprintf(stderr, "%s\n", line.constData());
        std::fflush(stderr);
        return outcome.exitCode;
    }
    QObject::connect(&engine, &Engine::stopped, qApp, [] { QApplication::exit(ExitOk); });
    engine.start();
    const int code = QApplication::exec();
    engine.context().calibrationDialogs = nullptr;
    return code;
}

} // namespace Quorlix
