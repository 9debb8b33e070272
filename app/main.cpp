// quorlix: one laboratory analyzer connected to the laboratory database.

#include "app/HeadlessSignals.h"
#include "comm/Engine.h"
#include "core/CommandLine.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/SchemaInit.h"
#include "core/Startup.h"
#include "core/StartupUi.h"
#include "ui/Desktop.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <memory>

using namespace Quorlix;

namespace {

void PrintLine(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stream, "%s\n", bytes.constData());
    std::fflush(stream);
}

QString ApplicationDir(const char* argv0)
{
    return QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
}

int InitDb(const LaunchOptions& options, const QString& commandLine, const QString& appDir)
{
    Settings settings;
    if (const QString error = ParseCommandLine(commandLine, settings); !error.isEmpty()) {
        PrintLine(stderr, QStringLiteral("quorlix: ") + error);
        return ExitConfiguration;
    }
    const QString iniPath = FindIniFile(options.configPath, appDir);
    if (const QString error = ReadIniFile(iniPath, settings); !error.isEmpty()) {
        PrintLine(stderr, QStringLiteral("quorlix: ") + error);
        return ExitConfiguration;
    }
    Database db;
    if (const QString error = db.open(DescribeDatabase(settings, QFileInfo(iniPath).absolutePath())); !error.isEmpty()) {
        PrintLine(stderr, QStringLiteral("quorlix: ") + error);
        return ExitDatabase;
    }
    QString report;
    const QString error = InitDatabase(db, options.demoData, &report);
    PrintLine(stdout, report.trimmed());
    if (!error.isEmpty()) {
        PrintLine(stderr, QStringLiteral("quorlix: ") + error);
        return ExitDatabase;
    }
    return ExitOk;
}

bool HasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

// The program's clock: the system clock, or one moved to --clock-start.
std::unique_ptr<Clock> MakeClock(const LaunchOptions& options)
{
    if (options.clockStart.isValid())
        return std::make_unique<OffsetClock>(options.clockStart);
    return std::make_unique<SystemClock>();
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const LaunchOptions options = TakeLaunchOptions(args);
    if (!options.error.isEmpty()) {
        PrintLine(stderr, QStringLiteral("quorlix: ") + options.error);
        return ExitConfiguration;
    }
    if (options.help) {
        PrintLine(stdout, UsageText());
        return ExitOk;
    }
    if (options.version) {
        PrintLine(stdout, QStringLiteral("quorlix " QUORLIX_VERSION));
        return ExitOk;
    }
    const QString commandLine = args.join(QLatin1Char(' '));
    const QString appDir = ApplicationDir(argv[0]);

    if (options.initDb) {
        QCoreApplication app(argc, argv);
        return InitDb(options, commandLine, appDir);
    }

    if (options.headless) {
        QCoreApplication app(argc, argv);
        const std::unique_ptr<Clock> clock = MakeClock(options);
        Engine engine(*clock);
        // Installed before the start-up, so that a SIGTERM during it still ends the process in order.
        HeadlessSignals stopSignals;
        QObject::connect(&stopSignals, &HeadlessSignals::stopRequested, &engine, &Engine::stop);
        StartupUi none;
        const StartupOutcome outcome = RunStartup(engine, none, options, commandLine, appDir);
        if (!outcome.ok()) {
            PrintLine(stderr, QStringLiteral("quorlix: ") + outcome.message);
            return outcome.exitCode;
        }
        QObject::connect(&engine, &Engine::stopped, &app, [] { QCoreApplication::exit(ExitOk); });
        engine.start();
        return QCoreApplication::exec();
    }

    if (!HasDisplay()) {
        PrintLine(stderr, QStringLiteral("quorlix: no display to show windows on; use --headless to run as a service"));
        return ExitConfiguration;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::unique_ptr<Clock> clock = MakeClock(options);
    Engine engine(*clock);
    HeadlessSignals stopSignals; // SIGTERM stops a desktop instance in order too
    QObject::connect(&stopSignals, &HeadlessSignals::stopRequested, &engine, &Engine::stop);
    return RunDesktop(engine, options, commandLine, appDir);
}
