// quorlix: one laboratory analyzer connected to the laboratory database.

#include "core/CommandLine.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/SchemaInit.h"
#include "core/Timer.h"
#include "engine/CheckConfig.h"
#include "engine/Drivers.h"
#include "engine/Engine.h"
#include "engine/HeadlessSignals.h"
#include "engine/Launch.h"
#include "engine/Startup.h"
#include "engine/StartupUi.h"
#include "engine/StatusReport.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace Quorlix;

namespace {

// Qt asks glibc to re-read the time zone before every local-time conversion, and with TZ unset
// glibc then looks at /etc/localtime again each time: a file system call on every clock reading,
// which a busy line makes many times a frame. Naming the same file keeps the rules glibc has
// read; the zone is the system's as before (a change of it is seen after a restart).
void KeepTimeZoneRules()
{
    if (!qEnvironmentVariableIsSet("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
}

QString ApplicationDir(const char* argv0)
{
    return QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath();
}

int InitDb(const LaunchOptions& options, const QString& commandLine, const QString& appDir)
{
    Settings settings;
    if (const QString error = ParseCommandLine(commandLine, settings); !error.isEmpty()) {
        ReportLine(Severity::Error, QStringLiteral("quorlix: ") + error);
        return ExitConfiguration;
    }
    const QString iniPath = FindIniFile(options.configPath, appDir);
    if (const QString error = ReadIniFile(iniPath, settings); !error.isEmpty()) {
        ReportLine(Severity::Error, QStringLiteral("quorlix: ") + error);
        return ExitConfiguration;
    }
    const DatabaseTarget target = DescribeDatabase(settings, QFileInfo(iniPath).absolutePath());
    if (!target.error.isEmpty()) {
        ReportLine(Severity::Error, QStringLiteral("quorlix: ") + target.error);
        return ExitConfiguration;
    }
    Database db;
    if (const QString error = db.open(target); !error.isEmpty()) {
        ReportLine(Severity::Error, QStringLiteral("quorlix: ") + error);
        return ExitDatabase;
    }
    QString report;
    const QString error = InitDatabase(db, options.demoData, &report);
    PrintLine(stdout, report.trimmed());
    if (!error.isEmpty()) {
        ReportLine(Severity::Error, QStringLiteral("quorlix: ") + error);
        return ExitDatabase;
    }
    return ExitOk;
}

int RunHeadless(int& argc, char** argv, const LaunchOptions& options, const QString& commandLine,
                const QString& appDir)
{
    QCoreApplication app(argc, argv);
    const std::unique_ptr<Clock> clock = MakeClock(options);
    EventLoopTimers timers;
    Engine engine(*clock, timers);
    // Installed before the start-up, so that a SIGTERM during it still ends the process in order.
    HeadlessSignals stopSignals;
    QObject::connect(&stopSignals, &HeadlessSignals::stopRequested, &engine, &Engine::stop);
    StartupUi none;
    const StartupOutcome outcome = RunStartup(engine, none, options, commandLine, appDir);
    if (!outcome.ok()) {
        ReportLine(Severity::Error, QStringLiteral("quorlix: ") + outcome.message);
        return outcome.exitCode;
    }
    QObject::connect(&engine, &Engine::stopped, &app, [] { QCoreApplication::exit(ExitOk); });
    if (qEnvironmentVariableIsSet("JOURNAL_STREAM")) {
        // A service under systemd: the status notes go to the journal too.
        QObject::connect(&engine.log(), &CommLog::windowLine, &app, [](const QString& line) {
            if (line.startsWith(QLatin1String("Monitor: ")))
                ReportLine(Severity::Notice, QStringLiteral("quorlix: ") + line.mid(9));
        });
    }
    engine.start();
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    KeepTimeZoneRules();
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const LaunchOptions options = TakeLaunchOptions(args);
    if (!options.error.isEmpty()) {
        ReportLine(Severity::Error, QStringLiteral("quorlix: ") + options.error);
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

    if (options.qcReport)
        return RunQcReportCommand(argc, argv, options, commandLine, appDir);
    if (options.status) {
        // The same in both builds: a table for a terminal, no window.
        QCoreApplication app(argc, argv);
        return RunStatusReport(options, commandLine, appDir, MakeClock(options)->now());
    }
    if (options.initDb) {
        QCoreApplication app(argc, argv);
        return InitDb(options, commandLine, appDir);
    }
    if (options.checkConfig) {
        QCoreApplication app(argc, argv);
        QStringList lines;
        const int code = CheckConfig(options, commandLine, appDir, &lines);
        for (const QString& line : std::as_const(lines))
            PrintLine(stdout, line);
        return code;
    }
    if (options.headless)
        return RunHeadless(argc, argv, options, commandLine, appDir);
    return RunDesktop(argc, argv, options, commandLine, appDir);
}
