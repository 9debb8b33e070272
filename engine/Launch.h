#pragma once

#include "core/Clock.h"
#include "core/CommandLine.h"

#include <QString>

#include <cstdio>
#include <memory>

namespace Quorlix {

// One line on stdout or stderr, in the system's encoding.
void PrintLine(FILE* stream, const QString& text);

// Severities of the lines a service writes for the system journal.
enum class Severity
{
    Error = 3,
    Notice = 5,
};
// A line on stderr; under systemd (the journal reads stderr) it carries the priority prefix the
// journal understands ("<3>" for an error).
void ReportLine(Severity severity, const QString& text);

// The program's clock: the system clock, or one moved to --clock-start.
std::unique_ptr<Clock> MakeClock(const LaunchOptions& options);

// Runs the interface with its windows: splash, hidden main window with tray icon, operator windows.
// Returns the process exit code. A build without windows says so and returns the configuration
// exit code.
int RunDesktop(int& argc, char** argv, const LaunchOptions& options, const QString& commandLine,
               const QString& applicationDir);

// --qc-report: writes the quality-control report of a period and returns the exit code. The program
// with windows also draws the charts into a PDF; the service form writes CSV only.
int RunQcReportCommand(int& argc, char** argv, const LaunchOptions& options, const QString& commandLine,
                       const QString& applicationDir);

} // namespace Quorlix
