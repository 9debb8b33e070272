#pragma once

#include <QString>

namespace Quorlix {

class Engine;
struct LaunchOptions;

// Runs the engine with its windows: splash, hidden main window with tray icon, operator windows,
// on the running QApplication. Returns the process exit code.
int RunDesktop(Engine& engine, const LaunchOptions& options, const QString& commandLine,
               const QString& applicationDir);

} // namespace Quorlix
