#include "LimsOrderStore.h"

#include "LimsOrderFrame.h"
#include "core/Database.h"
#include "core/SqlHelpers.h"
#include "core/Stamps.h"
#include "store/RecordJson.h"
#include "store/SampleIds.h"
#include "store/StoreValues.h"
#include "store/Transaction.h"

#include <QHash>

namespace Quorlix {

namespace {

DbOutcome Run(Database& db, const QString& sql, const QVariantList& values)
{
    SqlResult result = db.run(sql, values);
    return DbOutcome::of(db, result);
}

DbOutcome Count(Database& db, const QString& sql, const QVariantList& values, int* count)
{
    SqlResult result = db.run(sql, values);
    if (!result.next())
        return result.ok() ? DbOutcome::unclassified(QStringLiteral("no row from: %1").arg(sql))
                           : DbOutcome::of(db, result);
    *count = result.value(0).toInt();
    result.finish();
    return DbOutcome::done();
}

// Channel -> parameter of one mapping query (channel, parameter); the first row of a channel wins.
DbOutcome ReadMapping(Database& db, const QString& sql, const QString& name, QHash<int, int>* mapping)
{
    SqlResult rows = db.run(sql, {BoundText(name)});
    if (!rows.ok())
        return DbOutcome::of(db, rows);
    while (rows.next()) {
        const int channel = rows.value(0).toInt();
        if (!mapping->contains(channel))
            mapping->insert(channel, rows.value(1).toInt());
    }
    rows.finish();
    return DbOutcome::done();
}

// The ordered channels as open request rows: an open order of the same pair is replaced, a
// finished one stays. A parameter ordered on two channels gets one row. All of them in two
// statements: the LIMS waits for the analyzer's answer, which waits for these.
DbOutcome OpenOrders(Database& db, const QString& sampleId, const QList<int>& channels,
                     const QHash<int, int>& mapping, const QString& name, const QString& table,
                     QStringList& notes)
{
    QList<int> parameters;
    for (const int channel : channels) {
        const auto found = mapping.constFind(channel);
        if (found == mapping.constEnd()) {
            notes << QStringLiteral(
                         "order of sample %1: channel %2 has no parameter for %3 in %4: not ordered")
                         .arg(sampleId, QString::number(channel), name, table);
        } else if (!parameters.contains(found.value())) {
            parameters << found.value();
        }
    }
    if (parameters.isEmpty())
        return DbOutcome::done();
    QVariantList deleted{sampleId};
    QVariantList inserted;
    for (const int parameter : std::as_const(parameters)) {
        deleted << parameter;
        inserted << sampleId << parameter;
    }
    if (DbOutcome o = Run(db,
                          QStringLiteral("DELETE FROM request WHERE sample_id = ? AND parameter_id IN (%1) "
                                         "AND result IS NULL AND time_stamp IS NULL")
                              .arg(Placeholders(parameters.size())),
                          deleted);
        !o.ok())
        return o;
    return Run(db,
               QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES %1")
                   .arg(Placeholders(parameters.size(), QLatin1StringView("(?, ?)"))),
               inserted);
}

struct Patient
{
    int id = 1;
    QString siId = QStringLiteral("na");
};

DbOutcome FindPatient(Database& db, const LimsOrderPatient& p, Patient* patient, bool* found)
{
    SqlResult row = db.run(
        QStringLiteral("SELECT p_id, si_id FROM patients WHERE surname = ? AND forename = ? AND si_id = ?"),
        {BoundText(p.surname), BoundText(p.forename), BoundText(p.siId)});
    if (!row.ok())
        return DbOutcome::of(db, row);
    *found = row.next();
    if (*found)
        *patient = {row.value(0).toInt(), NullToText(row.value(1))};
    row.finish();
    return DbOutcome::done();
}

DbOutcome SampleFromOrder(Database& db, const StoreJob& job, bool readsCollectionDate, QStringList& notes)
{
    const LimsOrderJob& order = job.data<LimsOrderJob>();
    const QString id = ReadLimsOrder(order.frame).sampleId;
    const LimsOrderPatient p = ReadLimsOrderPatient(order.frame);

    Patient patient;
    if (!p.surname.isEmpty() || !p.forename.isEmpty() || !p.siId.isEmpty()) {
        bool found = false;
        if (DbOutcome o = FindPatient(db, p, &patient, &found); !o.ok())
            return o;
        if (!found) {
            if (DbOutcome o = Run(
                    db, QStringLiteral("INSERT INTO patients (surname, forename, si_id) VALUES (?, ?, ?)"),
                    {BoundText(p.surname), BoundText(p.forename), BoundText(p.siId)});
                !o.ok())
                return o;
            if (DbOutcome o = FindPatient(db, p, &patient, &found); !o.ok())
                return o;
            // The database changed what it was given (a trigger, a shorter column): the order's
            // tests are stored without the patient.
            if (!found)
                return DbOutcome::dataRejected(QStringLiteral("the new patient cannot be read back"));
        }
    }

    QString customerId = QStringLiteral("999");
    if (!p.customerName.isEmpty()) {
        customerId = p.customerId;
        int known = 0;
        if (DbOutcome o = Count(db, QStringLiteral("SELECT COUNT(*) FROM customer WHERE cust_id = ?"),
                                {BoundText(customerId)}, &known);
            !o.ok())
            return o;
        if (known == 0) {
            if (DbOutcome o =
                    Run(db, QStringLiteral("INSERT INTO customer (cust_name, cust_id) VALUES (?, ?)"),
                        {BoundText(p.customerName), BoundText(customerId)});
                !o.ok())
                return o;
        }
    }

    const CollectionDate collected = readsCollectionDate ? ReadCollectionDate(order.frame) : CollectionDate();
    if (!collected.error.isEmpty())
        notes << QStringLiteral("sample %1: %2; stored without it").arg(id, collected.error);

    if (DbOutcome o = LockSample(db, id); !o.ok())
        return o;
    int samples = 0;
    if (DbOutcome o =
            Count(db, QStringLiteral("SELECT COUNT(*) FROM sample_base WHERE sample_id = ?"), {id}, &samples);
        !o.ok() || samples > 0)
        return o; // an existing sample is left as it is
    return Run(
        db,
        QStringLiteral("INSERT INTO sample_base (sample_pos, sample_id, analyzer_id, p_id, si_id, cust_id, "
                       "collector, coll_dat, entry_dat, last_change_dat, add3) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 1)"),
        {NumericOrNull(order.samplePos.trimmed()), id, BoundText(job.AnalyzerId), patient.id,
         BoundText(patient.siId), BoundText(customerId), BoundText(p.collector),
         collected.moment.isValid() ? db.stamp(SqlStamp(collected.moment)) : Database::null(),
         db.stamp(job.receivedAt), db.stamp(job.receivedAt)});
}

void WriteOrder(const StoreJob& job, QJsonObject& object)
{
    const LimsOrderJob& order = job.data<LimsOrderJob>();
    object.insert(QStringLiteral("frame"), order.frame);
    object.insert(QStringLiteral("samplePos"), order.samplePos);
    object.insert(QStringLiteral("mgc240Name"), order.mgc240Name);
}

bool ReadOrder(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader r(object, error);
    LimsOrderJob order;
    order.frame = r.text(QStringLiteral("frame"));
    order.samplePos = r.text(QStringLiteral("samplePos"));
    order.mgc240Name = r.text(QStringLiteral("mgc240Name"));
    job.payload = order;
    return error->isEmpty();
}

QString OrderId(const StoreJob& job)
{
    return ReadLimsOrder(job.data<LimsOrderJob>().frame).sampleId;
}

} // namespace

DbOutcome StoreLimsOrder(Database& db, const QString& frame, const QString& outId, QStringList& notes)
{
    const LimsOrderFrame order = ReadLimsOrder(frame);
    QHash<int, int> mapping;
    if (DbOutcome o = ReadMapping(db,
                                  QStringLiteral("SELECT channel_id, parameter_id FROM param2channel WHERE "
                                                 "analyzer_id = ? AND parameter_id IS NOT NULL "
                                                 "ORDER BY channel_id, parameter_id"),
                                  outId, &mapping);
        !o.ok())
        return o;
    return OpenOrders(db, order.sampleId, order.orderedChannels(), mapping, outId,
                      QStringLiteral("param2channel"), notes);
}

DbOutcome StoreMgc240Order(Database& db, const QString& frame, const QString& mgc240Name, QStringList& notes)
{
    const Mgc240OrderFrame order = ReadMgc240Order(frame);
    QHash<int, int> mapping;
    if (DbOutcome o =
            ReadMapping(db,
                        QStringLiteral("SELECT AssignedChannel, TestDef_Id FROM app_protocols_testmap "
                                       "WHERE Analyzer_id = ? AND TestDef_Id IS NOT NULL "
                                       "ORDER BY AssignedChannel, TestDef_Id"),
                        mgc240Name, &mapping);
        !o.ok())
        return o;
    return OpenOrders(db, order.sampleId, order.orderedChannels(), mapping, mgc240Name,
                      QStringLiteral("app_protocols_testmap"), notes);
}

DbOutcome CreateSampleFromLims(Transaction& transaction, const StoreJob& job, bool readsCollectionDate,
                               QStringList& notes)
{
    Database& db = transaction.db();
    const DbOutcome outcome =
        transaction.skippable([&] { return SampleFromOrder(db, job, readsCollectionDate, notes); });
    if (outcome.kind == DbOutcome::DataRejected) {
        notes << QStringLiteral("sample %1: the database refused the patient and sample data (%2); the "
                                "ordered tests are stored without them")
                     .arg(OrderId(job), outcome.error);
        return DbOutcome::done();
    }
    return outcome;
}

DbOutcome UpdateMgcSampleInfo(Database& db, const QString& frame)
{
    const Mgc240OrderFrame order = ReadMgc240Order(frame);
    return Run(db, QStringLiteral("UPDATE MGC_SampleID SET sample_info = ? WHERE sample_id = ?"),
               {BoundText(order.sampleInfo), order.sampleId});
}

QString DescribeLimsOrderJob(const StoreJob& job)
{
    return QStringLiteral("LIMS order %1").arg(OrderId(job));
}

void WriteLimsOrderJob(const StoreJob& job, QJsonObject& object)
{
    WriteOrder(job, object);
}

bool ReadLimsOrderJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    return ReadOrder(object, job, error);
}

DbOutcome RunLimsOrderJob(const StoreJob& job, JobRun& run)
{
    const QString& frame = job.data<LimsOrderJob>().frame;
    if (DbOutcome o = StoreLimsOrder(run.transaction.db(), frame, job.OutId, run.effects.notes); !o.ok())
        return o;
    return CreateSampleFromLims(run.transaction, job, true, run.effects.notes);
}

QString DescribeMgc240OrderJob(const StoreJob& job)
{
    return QStringLiteral("MGC240 order %1").arg(OrderId(job));
}

void WriteMgc240OrderJob(const StoreJob& job, QJsonObject& object)
{
    WriteOrder(job, object);
}

bool ReadMgc240OrderJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    return ReadOrder(object, job, error);
}

DbOutcome RunMgc240OrderJob(const StoreJob& job, JobRun& run)
{
    const LimsOrderJob& order = job.data<LimsOrderJob>();
    Database& db = run.transaction.db();
    if (DbOutcome o = StoreMgc240Order(db, order.frame, order.mgc240Name, run.effects.notes); !o.ok())
        return o;
    // Positions 32-41 of an MGC240 order carry test flags, not a collection date.
    if (DbOutcome o = CreateSampleFromLims(run.transaction, job, false, run.effects.notes); !o.ok())
        return o;
    return UpdateMgcSampleInfo(db, order.frame);
}

} // namespace Quorlix
