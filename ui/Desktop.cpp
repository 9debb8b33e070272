#include "Desktop.h"

#include "DesktopUi.h"
#include "QcPdf.h"
#include "core/Timer.h"
#include "engine/Drivers.h"
#include "engine/Engine.h"
#include "engine/HeadlessSignals.h"
#include "engine/Launch.h"
#include "engine/QcReport.h"
#include "engine/Startup.h"
#include "frmKalibError.h"

#include <QApplication>
#include <QMessageBox>

namespace Quorlix {

namespace {

bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int RunDesktop(int& argc, char** argv, const LaunchOptions& options, const QString& commandLine,
               const QString& applicationDir)
{
    if (!HasDisplay()) {
        PrintLine(stderr, QStringLiteral(
                              "quorlix: no display to show windows on; use --headless to run as a service"));
        return ExitConfiguration;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::unique_ptr<Clock> clock = MakeClock(options);
    EventLoopTimers timers;
    Engine engine(*clock, timers);
    HeadlessSignals stopSignals; // SIGTERM stops a desktop instance in order too
    QObject::connect(&stopSignals, &HeadlessSignals::stopRequested, &engine, &Engine::stop);
    return RunDesktop(engine, options, commandLine, applicationDir, [](const QString& message) {
        QMessageBox::critical(nullptr, QStringLiteral("Quorlix"),
                              QStringLiteral("Quorlix cannot start:\n%1").arg(message));
    });
}

int RunQcReportCommand(int& argc, char** argv, const LaunchOptions& options, const QString& commandLine,
                       const QString& applicationDir)
{
    if (!options.qcOut.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        QCoreApplication app(argc, argv);
        return RunQcReport(options, commandLine, applicationDir, {});
    }
    // The charts are drawn without a window: a supervisor's terminal needs no display for a PDF.
    if (!HasDisplay())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RunQcReport(options, commandLine, applicationDir, WriteQcPdf);
}

int RunDesktop(Engine& engine, const LaunchOptions& options, const QString& commandLine,
               const QString& applicationDir, const StartupFailureNotice& tellOperator)
{
    DesktopUi ui(engine);
    // A calibration that does not fit the settings is shown to the operator in its own window.
    KalibErrorDialogs calibrationDialogs(engine.store());
    engine.store().setCalibrationDialogs(&calibrationDialogs);
    const StartupOutcome outcome = RunStartup(engine, ui, options, commandLine, applicationDir);
    if (!outcome.ok()) {
        PrintLine(stderr, QStringLiteral("quorlix: ") + OneLine(outcome.message));
        tellOperator(outcome.message);
        return outcome.exitCode;
    }
    QObject::connect(&engine, &Engine::stopped, qApp, [] { QApplication::exit(ExitOk); });
    engine.start();
    const int code = QApplication::exec();
    engine.store().setCalibrationDialogs(nullptr);
    return code;
}

} // namespace Quorlix
