#pragma once

#include "drivers/au/AuFrame.h"
#include "store/Records.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

#include <optional>

namespace Quorlix {

// The standards of a calibration arrive in several "DA" frames. They wait here until every
// standard the test is set up for has arrived; the complete calibration is then taken out once.
//
// A standard received again for the same channel replaces the earlier one. Entries that wait
// longer than StaleMinutes (whole minutes between the time of their frame and that of a later
// frame, either way should the clock have been set back) belong to a calibration that will not
// be completed and are dropped. At most Limit entries wait; beyond that the oldest goes. Every
// entry dropped or replaced is named with its readings in a monitor line.
class PendingCalibrations
{
public:
    static constexpr qsizetype Limit = MaxResults * MaxStandards;
    static constexpr qint64 StaleMinutes = 60;

    // Adds the entries of one frame received at `at`; returns the monitor lines.
    QStringList add(const QList<AuCalibrationEntry>& entries, const QDateTime& at);

    // The calibration of the channel once standards 1 to `expectedStandards` (from the test's
    // calibration settings) are all waiting: they leave the list, together with any further
    // standards following them without a gap, so that a count above the settings reaches the
    // store. Parameter, alarm and SD value are left empty (the frames carry none of them).
    std::optional<CalibrationRecord> takeComplete(qint16 channel, int expectedStandards);

    // How many standards of the channel are waiting (for a test without calibration settings).
    int waiting(qint16 channel) const;
    // Drops every standard of the channel (a channel without a test); returns how many went.
    int drop(qint16 channel);
    qsizetype size() const { return m_entries.size(); }

private:
    struct Pending
    {
        AuCalibrationEntry entry;
        QDateTime at;
    };
    qsizetype find(qint16 channel, qint16 standardNo) const;
    static QString Describe(const Pending& p);

    QList<Pending> m_entries; // oldest first
};

} // namespace Quorlix
