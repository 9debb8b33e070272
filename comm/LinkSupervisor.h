#pragma once

#include <QDateTime>

namespace Quorlix {

struct Context;

// Whole seconds between two moments, counted as second boundaries on the clock; a moment that
// never happened (invalid) is infinitely long ago.
qint64 SecondsSince(const QDateTime& then, const QDateTime& now);

constexpr qint64 OfflineAfterSeconds = 10;

// The link part of the Timer1 tick: marks each side online or offline by the age of its last input,
// logs "ANALYZER OFFLINE!" / "LIMS OFFLINE!" once per transition, and sends the wake-up frame
// STX ">" ETX to an MGC240-style LIMS while the line stays silent. The MGC type has no serial
// analyzer and is not supervised. Returns true when a status changed.
bool SuperviseLinks(Context& context);

// The wake-up frame toward the LIMS.
void SendWakeUp(Context& context);

} // namespace Quorlix
