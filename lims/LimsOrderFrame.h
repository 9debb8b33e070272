#pragma once

#include <QDateTime>
#include <QString>

namespace Quorlix {

// The order frame of a LIMS that plays the Hitachi host (function ";"), read without any input or
// output. Positions count from 1 at the STX:
//
//   14-26   sample id (trimmed)
//   32-37   collection date, month, day, year; six blanks when absent
//   38-41   collection time, hour and minute; four blanks when absent
//   44-91   test selection, one character per channel 1..48 ("1" = ordered)
//   92-97   presence flags of the six text fields ("1" = present)
//   98-127  surname (30), or "*MESSAGE *TUBE NON TROUVE" when the LIMS does not know the tube
//   128-152 forename (25), 153-172 customer id (20), 173-187 customer name (15),
//   188-197 si_id (10), 198 to the end collector
struct LimsOrderFrame
{
    static constexpr int Channels = 48;

    QString sampleId;
    QString selection; // the 48 characters as received
    bool tubeNotFound = false;

    // Whether the selection orders anything: its numeric value is 1 or more.
    bool ordersTests() const;
    // The channels (1..48) whose character is "1".
    QList<int> orderedChannels() const;
};

LimsOrderFrame ReadLimsOrder(const QString& frame);

// The patient, customer and sample fields of an order, as they are stored: a field counts only
// when its presence flag is "1"; each is trimmed and every "'" becomes "´"; in the two names every
// "," becomes a blank.
struct LimsOrderPatient
{
    QString surname;
    QString forename;
    QString customerId;
    QString customerName;
    QString siId;
    QString collector;
};

LimsOrderPatient ReadLimsOrderPatient(const QString& frame);

// The collection date and time of an order ("20" + year, month, day; hour and minute when given).
// Not given: an invalid moment and no error. Given but not a date: an invalid moment and the
// reason.
struct CollectionDate
{
    QDateTime moment;
    QString error;
};

CollectionDate ReadCollectionDate(const QString& frame);

// The MGC240 order frame: the 37 characters from position 5 are at once the sample information
// and the test flags of channels 1..37; the sample id and the 48-character selection stand where
// they stand in the Hitachi order frame.
struct Mgc240OrderFrame
{
    static constexpr int Channels = 37;

    QString sampleId;
    QString sampleInfo; // the 37 characters from position 5
    bool ordersTests = false;

    QList<int> orderedChannels() const;
};

Mgc240OrderFrame ReadMgc240Order(const QString& frame);

} // namespace Quorlix
