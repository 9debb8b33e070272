#pragma once

#include "drivers/au/AuFrame.h"
#include "store/Records.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

#include <optional>

namespace Quorlix {

// One standard of a calibration as a "DA" frame reported it, and when that frame arrived.
struct WaitingStandard
{
    AuCalibrationEntry entry;
    QDateTime at;
};

// The standards of a calibration arrive in several "DA" frames. They wait here until every
// standard the test is set up for has arrived; the complete calibration is then taken out once.
// Plain bookkeeping: the caller loads the waiting standards and keeps what is left.
//
// A standard received again for the same channel replaces the earlier one. A channel none of
// whose standards arrived within StaleMinutes (either way, should the clock have been set back) has
// finished calibrating: what waits for it will not be completed any more. At most Limit standards
// wait; beyond that the oldest goes. Every standard dropped or replaced is named with its readings
// in a monitor line.
class PendingCalibrations
{
public:
    static constexpr qsizetype Limit = MaxResults * MaxStandards;
    static constexpr qint64 StaleMinutes = 60;

    explicit PendingCalibrations(QList<WaitingStandard> waiting = {}) : m_waiting(std::move(waiting)) {}

    // Adds the entries of one frame received at `at`; returns the monitor lines.
    QStringList add(const QList<AuCalibrationEntry>& entries, const QDateTime& at);

    // The calibration of the channel once standards 1 to `expectedStandards` (from the test's
    // calibration settings) are all waiting: they leave the list, together with any further
    // standards following them without a gap, so that a count above the settings reaches the
    // store. Parameter, alarm and SD value are left empty (the frames carry none of them).
    std::optional<CalibrationRecord> takeComplete(qint16 channel, int expectedStandards);

    // The channels, in the order their first standard arrived, and those among them whose
    // calibration is over at `now`.
    QList<qint16> channels() const;
    QList<qint16> finishedChannels(const QDateTime& now) const;
    // Every standard of the channel leaves the list: standards 1 to k without a gap (none when
    // standard 1 is missing), and those beyond a gap.
    struct Taken
    {
        QList<WaitingStandard> run;
        QList<WaitingStandard> beyondGap;
    };
    Taken takeAll(qint16 channel);
    // Drops every standard of the channel; returns how many went.
    int drop(qint16 channel);
    int waiting(qint16 channel) const;

    const QList<WaitingStandard>& standards() const { return m_waiting; } // oldest first
    qsizetype size() const { return m_waiting.size(); }

    // "calibration of channel 3: standard 1 received 2026-12-07 10:39 (readings ..., flags ...)".
    static QString Describe(const WaitingStandard& w);
    // The calibration of a run of standards 1 to n of one channel.
    static CalibrationRecord CalibrationOf(const QList<WaitingStandard>& run);

private:
    qsizetype find(qint16 channel, qint16 standardNo) const;
    // Standards 1 to n of the channel without a gap, taken out of the list.
    QList<WaitingStandard> takeRun(qint16 channel, int n);
    int runLength(qint16 channel) const;

    QList<WaitingStandard> m_waiting;
};

} // namespace Quorlix
