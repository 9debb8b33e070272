#pragma once

#include "store/Records.h"

#include <QDateTime>
#include <QString>

namespace Quorlix {

// The order replies the host sends after an inquiry (and, with no tests, after a real-time routine
// result), without STX and ETX. They echo the identification of the last frame and carry the test
// selection: one character per channel, "1" for a test to run. The selection comes from the
// database (OrderSelection); these builders only lay the fields out.

// Hitachi 911: 92 characters with a 48-character selection.
QString BuildHit911Order(const HitachiFrameRecord& frame, const SampleRecord& sample,
                         const QString& selection);

// Hitachi 902: number and position exactly as received, 85 characters with a 37-character
// selection (the reply announces 37 channels even when an ISE character follows).
QString BuildHit902Order(const HitachiFrameRecord& frame, const SampleRecord& sample,
                         const QString& selection);

// The patient and sample data a 912 order reply carries.
struct Hit912Patient
{
    QString siId; // for a control: the control's name
    QString surname;
    QString forename;
    QString custName;
    QString custId;
    QString collector;
    QDateTime sampleDate; // collection date, else entry date; invalid: sent as blanks
};

// Hitachi 912: 216 characters with a 48-character selection.
QString BuildHit912Order(const HitachiFrameRecord& frame, const SampleRecord& sample,
                         const QString& selection, const Hit912Patient& patient);

// The analyzer's order inquiry as a Hitachi 912 sends it to its host, from the last parsed frame:
// STX, function, class in upper case, "1", number (5), "1", position (2), "5", sample id (13),
// info (4), "0", date (6), time (4), ETX; fields right-aligned. 42 characters. A LIMS that plays
// the host receives it.
QString BuildLimsInquiryFrame(const HitachiFrameRecord& frame, const SampleRecord& sample);

} // namespace Quorlix
