#pragma once

#include <QString>
#include <QStringList>

namespace Quorlix {

class Engine;
class StartupUi;
struct LaunchOptions;

// Exit codes of a start-up that cannot go on.
enum ExitCode
{
    ExitOk = 0,
    ExitConfiguration = 2,
    ExitDatabase = 3,
    ExitPort = 4,
};

struct StartupOutcome
{
    int exitCode = ExitOk;
    QString message; // what failed (never a password)
    bool ok() const { return exitCode == ExitOk; }
};

// The start-up of one analyzer process, in order: command line and configuration, splash and main
// window, database, LIMS port, analyzer port, the day's log file with its header, the start-up rows,
// and the operator window of some types. A step that fails ends the start-up with its outcome.
StartupOutcome RunStartup(Engine& engine, StartupUi& ui, const LaunchOptions& options,
                          const QString& commandLine, const QString& applicationDir);

// The main window caption: analyzer and port number ("Hitachi911 at serial port: com1").
QString WindowCaption(const QString& analyzerId, int port);
// The icon of an analyzer type: AppPath & "icons/" & its icon file (the type's name & ".ico").
QString IconPath(const QString& appPath, const QString& iconFile);

// Makes sure the placeholder patient 1 exists.
bool EnsurePatientOne(Engine& engine);

} // namespace Quorlix
