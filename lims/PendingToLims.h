#pragma once

#include "store/Records.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace Quorlix {

class Database;
class DriverRegistry;
struct DbOutcome;

// The result groups toward a LIMS that plays the Hitachi host: channels 1 and 24 carry their value,
// channel 9 its suspicious flag and then, as channel 10, its value; any other channel its
// suspicious flag.
struct StoredResult
{
    int channel = 0;
    QString suspicious;
    QString result;
};
QList<std::pair<QString, QString>> LimsResultGroups(const QList<StoredResult>& results);

// SendPendingToLims: the results frame of one finished sample, built from the results table and
// the identification of the analyzer's last frame. Empty when the sample has no results; the
// count n is the number of its results plus the number of those of parameter 8.
DbOutcome PendingResultsFrame(Database& db, const HitachiFrameRecord& frame, const SampleRecord& sample,
                              const QString& sampleId, const QString& outId, const QDateTime& now,
                              QString* out);

// Timer3, with a LIMS side: req2send rows of samples that are neither ordered nor validated any
// more are cleared, and one finished sample per tick (none of its pairs still in request) is sent
// to a LIMS that plays the Hitachi host (out-types invH902, invH911, invH912). Its req2send rows go
// only once the frame was handed to an open LIMS line.
void RegisterLimsForwarding(DriverRegistry& registry);

} // namespace Quorlix
