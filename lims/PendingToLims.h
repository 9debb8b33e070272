#pragma once

#include "store/LimsFrames.h"
#include "store/Records.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace Quorlix {

class Database;
class DriverRegistry;
struct DbOutcome;

// One validated result of a sample as the results frame toward the LIMS reads it.
struct StoredResult
{
    int channel = 0;    // the LIMS side's channel of the parameter
    QString suspicious; // the suspicious flag as text
    QString result;     // the value, with a decimal point
};

// The result groups toward a LIMS that plays the Hitachi host: channels 1 and 24 carry their value,
// channel 9 its suspicious flag and then, as channel 10, its value; any other channel its
// suspicious flag. A value wider than its 6 characters is rounded to fit; one that cannot fit goes
// without value, with a note.
QList<ChannelResult> LimsResultGroups(const QList<StoredResult>& results, QStringList* notes);

// SendPendingToLims: the results frame of one finished sample, built from the results table and
// the identification of the analyzer's last frame (always sent as a results frame ":"). Empty when
// the sample has no results; the count n is the number of its results plus the number of those of
// parameter 8.
DbOutcome PendingResultsFrame(Database& db, const HitachiFrameRecord& frame, const SampleRecord& sample,
                              const QString& sampleId, const QString& outId, const QDateTime& now,
                              QString* out, QStringList* notes);

// Each forwarding tick, with a LIMS side: req2send rows of samples that are neither ordered nor validated any
// more are cleared, and one finished sample per tick is sent to a LIMS that plays the Hitachi host
// (out-types invH902, invH911, invH912).
//
// A sample is finished when it has results to send (rows in results) and none of its req2send
// pairs is still in request: every parameter reported for it has left request (validated, or
// dropped by autovalidation for want of a validation interval). A sample with a test still
// ordered waits for it, so that its results go out once, complete.
//
// Its req2send rows go only once the LIMS has answered its frame (ResultsDelivery); until then it
// is sent again, and no other sample goes.
void RegisterLimsForwarding(DriverRegistry& registry);

} // namespace Quorlix
