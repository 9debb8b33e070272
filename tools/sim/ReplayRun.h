#pragma once

#include <QStringList>

namespace QuorlixSim {

// quorlix-sim replay LOGFILE ...: plays the frames an instance received in a communication log
// back to an instance and compares its answers with the logged ones. Returns the exit code: 0
// when every answer was equal, 1 when any differed, 2 on a bad log or bad arguments.
int RunReplay(const QStringList& arguments);

// The replay's lines for quorlix-sim --help.
QString ReplayHelp();

} // namespace QuorlixSim
