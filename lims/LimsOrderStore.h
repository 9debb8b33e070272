#pragma once

#include "store/StoreJob.h"

#include <QString>
#include <QStringList>

namespace Quorlix {

class Database;
class Transaction;

// An order the LIMS sent, as it waits to be stored (at once, or in the spool while the database
// fails): the complete frame, the position of the analyzer's last frame (the sample's position)
// and, for the MGC240 emulation, the analyzer name of app_protocols_testmap.
struct LimsOrderJob
{
    QString frame;
    QString samplePos;
    QString mgc240Name;
};

// StoreLimsOrder: every channel the frame orders becomes an open request row of the sample, with
// the parameter that param2channel gives the channel for the LIMS side (outId). An open order of
// the same sample and parameter is replaced; a finished one stays. A channel without a parameter
// is left out with a note.
DbOutcome StoreLimsOrder(Database& db, const QString& frame, const QString& outId, QStringList& notes);

// CreateSampleFromLims: the patient (found by surname, forename and si_id, or created; patient 1
// "na" when the order names none), the customer (created when unknown; "999" when the order names
// none) and the sample_base row when the sample has none. An existing sample_base row is left as it
// is. The group is undone, with a note, when the database refuses its values: the order's tests
// stay. readsCollectionDate: the frame carries a collection date at positions 32-41.
DbOutcome CreateSampleFromLims(Transaction& transaction, const StoreJob& job, bool readsCollectionDate,
                               QStringList& notes);

// StoreMgc240Order: as StoreLimsOrder for the 37 test flags of an MGC240 order, with the channel
// mapping of app_protocols_testmap for the analyzer name.
DbOutcome StoreMgc240Order(Database& db, const QString& frame, const QString& mgc240Name, QStringList& notes);

// UpdateMgcSampleInfo: the sample information of an existing MGC_SampleID row; never inserts.
DbOutcome UpdateMgcSampleInfo(Database& db, const QString& frame);

// A LIMS order of the Hitachi 912 emulation: StoreLimsOrder and CreateSampleFromLims in one
// transaction.
QString DescribeLimsOrderJob(const StoreJob& job);
void WriteLimsOrderJob(const StoreJob& job, QJsonObject& object);
bool ReadLimsOrderJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunLimsOrderJob(const StoreJob& job, JobRun& run);
using LimsOrderJobKind =
    FunctionJobKind<"lims-order", DescribeLimsOrderJob, WriteLimsOrderJob, ReadLimsOrderJob, RunLimsOrderJob>;

// An order of the MGC240 emulation: StoreMgc240Order, CreateSampleFromLims and UpdateMgcSampleInfo
// in one transaction.
QString DescribeMgc240OrderJob(const StoreJob& job);
void WriteMgc240OrderJob(const StoreJob& job, QJsonObject& object);
bool ReadMgc240OrderJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunMgc240OrderJob(const StoreJob& job, JobRun& run);
using Mgc240OrderJobKind = FunctionJobKind<"mgc240-order", DescribeMgc240OrderJob, WriteMgc240OrderJob,
                                           ReadMgc240OrderJob, RunMgc240OrderJob>;

} // namespace Quorlix
