#pragma once

#include <QString>

#include <functional>

namespace Quorlix {

class Engine;
struct LaunchOptions;

// Runs the engine with its windows: splash, hidden main window with tray icon, operator windows,
// on the running QApplication. Returns the process exit code. A start-up that fails is told on
// stderr and to the operator, who started the program from a desktop and may see no terminal.
using StartupFailureNotice = std::function<void(const QString& message)>;
int RunDesktop(Engine& engine, const LaunchOptions& options, const QString& commandLine,
               const QString& applicationDir, const StartupFailureNotice& tellOperator);

} // namespace Quorlix
