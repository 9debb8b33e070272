#pragma once

#include "PendingCalibrations.h"
#include "store/DbOutcome.h"

#include <QList>
#include <QString>

namespace Quorlix {

class Database;

// The calibration standards of one analyzer that wait for the rest of their calibration, kept in
// quorlix_log (key "au_standard", one row per standard, the time of its frame as time_stamp) so
// that a restart between two "DA" frames loses none that the analyzer was told we have. They are
// read and written inside the transaction of the frame that changes them.
//
// The row's value is the standard as the frame's block holds it (channel 2, standard 1, four
// readings of 6, flags 2) followed by the analyzer id.
class WaitingStandards
{
public:
    static const QString LogKey;

    WaitingStandards(Database& db, QString analyzerId) : m_db(db), m_analyzerId(std::move(analyzerId)) {}

    // The analyzer's waiting standards, oldest first. A row that is not a standard is left alone.
    DbOutcome load(QList<WaitingStandard>* out);
    // Makes the rows those of `now`, given that they were `before`: rows of standards that left are
    // deleted, rows of new ones inserted.
    DbOutcome save(const QList<WaitingStandard>& before, const QList<WaitingStandard>& now);

    static QString Encode(const AuCalibrationEntry& entry, const QString& analyzerId);
    // The standard of a row of this analyzer; false for a row of another analyzer or no standard.
    static bool Decode(const QString& value, const QString& analyzerId, AuCalibrationEntry* entry);

private:
    Database& m_db;
    const QString m_analyzerId;
};

} // namespace Quorlix
