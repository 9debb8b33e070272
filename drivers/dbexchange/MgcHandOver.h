#pragma once

#include <QString>
#include <QStringList>

namespace Quorlix {

class MgcContext;
struct StoreJob;

// What became of a record the exchange handed to the store.
enum class MgcHanded
{
    Stored,     // committed
    NothingNew, // stored before, or nothing left to fill
    Waiting,    // the database failed: the record waits in the spool (or, without one, in its source)
    Refused,    // the database refuses its values: retrying cannot help
};

struct MgcHandOutcome
{
    MgcHanded handed = MgcHanded::Stored;
    QString error;
};

// The exchange's records reach the store only here, so that what the store hands back decides
// what happens to their source in the MGC240's database:
// - stored: the source is taken;
// - waiting: the source stays as it is; the exchange takes nothing more while the spool holds records;
// - refused: the caller quarantines the record (a group of samples is first tried sample by sample).
MgcHandOutcome MgcHand(MgcContext& ctx, const StoreJob& job);

// A record refused for good goes into the quarantine, and the marks of its measurements say so: they
// are not taken again, and nothing waits behind the record.
void MgcQuarantine(MgcContext& ctx, const StoreJob& job, const QString& error, const QStringList& marks);

} // namespace Quorlix
