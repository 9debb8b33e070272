#pragma once

#include "LinkState.h"

#include <QDateTime>

namespace Quorlix {

class Clock;
class CommLog;
class Line;
struct Settings;

// Whole seconds between two moments, counted as second boundaries on the clock; a moment that
// never happened (invalid) is infinitely long ago.
qint64 SecondsSince(const QDateTime& then, const QDateTime& now);

constexpr qint64 OfflineAfterSeconds = 10;

// The link part of the housekeeping tick: marks each side online or offline by the age of its last input,
// logs "ANALYZER OFFLINE!" / "LIMS OFFLINE!" once per transition, and sends the wake-up frame
// STX ">" ETX to a LIMS that wants it while the line stays silent. Returns true when a status
// changed.
class LinkSupervisor
{
public:
    LinkSupervisor(LinkState& link, const Settings& settings, const Clock& clock, CommLog& log,
                   Line& limsLine)
        : m_link(link), m_settings(settings), m_clock(clock), m_log(log), m_limsLine(limsLine)
    {
    }

    // Whether the analyzer's link is supervised at all (a type without a line is not), and how many
    // wake-up frames the silent LIMS gets per check.
    void configure(bool supervised, int wakeUps)
    {
        m_supervised = supervised;
        m_wakeUps = wakeUps;
    }

    bool SuperviseLinks();
    // The wake-up frame toward the LIMS.
    void SendWakeUp();

private:
    void wakeUpIfWanted();

    LinkState& m_link;
    const Settings& m_settings;
    const Clock& m_clock;
    CommLog& m_log;
    Line& m_limsLine;
    bool m_supervised = true;
    int m_wakeUps = 0;
};

} // namespace Quorlix
