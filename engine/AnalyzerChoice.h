#pragma once

#include <QString>

namespace Quorlix {

class DriverRegistry;
struct Settings;

// What the /id and /type switches select: the driver entry that serves the analyzer port (empty for
// the types without a line, served from a database or a window), or why nothing can serve
// it. A process without an analyzer it can serve must not start: it would serve nothing, silently.
struct AnalyzerChoice
{
    QString entry;
    QString error; // a configuration error, one line
};

AnalyzerChoice ChooseAnalyzer(const Settings& settings, const DriverRegistry& drivers);

} // namespace Quorlix
