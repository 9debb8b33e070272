#include "MgcOrders.h"

#include "MgcContext.h"
#include "core/Settings.h"
#include "store/DbOutcome.h"
#include "store/Transaction.h"

#include <QPair>
#include <QSet>

#include <optional>

namespace Quorlix {

namespace {

using SampleItem = QPair<QString, qint16>;

DbOutcome Run(Database& db, const QString& sql, const QVariantList& values)
{
    SqlResult result = db.run(sql, values);
    return DbOutcome::of(db, result);
}

// What the work list lacks of one sample's open orders.
struct OrderChange
{
    QString sampleId;
    QList<SampleItem> missing; // items to add
    bool hasOrder = false;     // its samp_odr row is there (and gets the item count)
    int itemCount = 0;
};

// Samples written in one transaction: few commits when many orders come at once.
constexpr qsizetype SamplesPerTransaction = 100;

DbOutcome WriteOrder(MgcContext& ctx, const OrderChange& change, const ItemNames& names, int* nextNumber)
{
    for (const SampleItem& item : change.missing) {
        if (DbOutcome o = InsertSampDat(ctx, change.sampleId, item.second, names.MgcItemName(item.second));
            !o.ok())
            return o;
    }
    return change.hasOrder
               ? Run(ctx.mgc, QStringLiteral("UPDATE samp_odr SET ord_total = ? WHERE samp_id = ?"),
                     {change.itemCount, change.sampleId})
               : InsertSampOdr(ctx, change.sampleId, change.itemCount, nextNumber);
}

// The samples' orders in one transaction: all of them or none.
DbOutcome WriteOrders(MgcContext& ctx, const QList<OrderChange>& changes, const ItemNames& names)
{
    Transaction transaction(ctx.mgc);
    if (DbOutcome o = transaction.begin(); !o.ok())
        return o;
    int nextNumber = 0; // read once, counted on within the transaction
    for (const OrderChange& change : changes) {
        if (DbOutcome o = WriteOrder(ctx, change, names, &nextNumber); !o.ok())
            return o;
    }
    return transaction.commit();
}

} // namespace

QString ReadOpenRequests(MgcContext& ctx, OpenRequests* open)
{
    open->bySample.clear();
    open->rows = 0;
    SqlResult rows =
        ctx.lab.run(QStringLiteral("SELECT sample_id, parameter_id FROM request "
                                   "WHERE result IS NULL AND analyzer_id IS NULL AND time_stamp IS NULL"));
    if (!rows.ok()) {
        ctx.noteFailure(ctx.lab, rows);
        return rows.error().simplified();
    }
    while (rows.next()) {
        const QString sample = rows.value(0).toString();
        if (sample.isEmpty())
            continue; // an order without a sample id cannot be put on the analyzer
        open->bySample[sample] << Int16Of(rows.value(1));
        ++open->rows;
    }
    return {};
}

DbOutcome InsertSampDat(MgcContext& ctx, const QString& id, qint16 item, const QString& itemName)
{
    return Run(
        ctx.mgc,
        QStringLiteral("INSERT INTO samp_dat (samp_id, fdate, s_rnd_NO, ord_state, item_no, item_name, "
                       "autorerun, dil_ord, data_state, rst_Date, p_flag, s_flag, d_flag, od_data, "
                       "conc_data, mon_link, conc_data_re, p_flag_re) "
                       "VALUES (?, ?, 1, 0, ?, ?, 0, 0, 1, NULL, NULL, NULL, NULL, 0, 0, 0, 0, NULL)"),
        {id, ctx.orderDay(), item, itemName});
}

DbOutcome InsertSampOdr(MgcContext& ctx, const QString& id, int itemCount, int* nextNumber)
{
    // The sample number counts the orders of the day: the highest of the day plus 1.
    const QVariant day = ctx.orderDay();
    int number = nextNumber ? *nextNumber : 0;
    if (number <= 0) {
        SqlResult highest =
            ctx.mgc.run(QStringLiteral("SELECT MAX(samp_no) FROM samp_odr WHERE fdate = ?"), {day});
        if (!highest.ok())
            return DbOutcome::of(ctx.mgc, highest);
        number = highest.next() && !highest.value(0).isNull() ? highest.value(0).toInt() + 1 : 1;
        highest.finish();
    }
    if (nextNumber)
        *nextNumber = number + 1;
    return Run(
        ctx.mgc,
        QStringLiteral("INSERT INTO samp_odr (samp_id, fdate, s_rnd_no, samp_mode, samp_no, samp_kind, "
                       "ord_state, autorerun, samp_state, samp_type, ctrl_type, asp_no, asp_date, "
                       "ord_total, reord_total, pati_id, comment1, comment2, r_rnd_no, profile1, profile2, "
                       "profile3, profile4, profile5, profile6, profile7, profile8, profile9, profile10, "
                       "barID) "
                       "VALUES (?, ?, 1, 1, ?, 0, 0, 0, 1, 0, 0, 1, NULL, ?, 0, NULL, NULL, NULL, 1, "
                       "0, 0, 0, 0, 0, 0, 0, 0, 0, 0, ?)"),
        {id, day, number, itemCount, id});
}

DbOutcome RenewOrder(MgcContext& ctx, const ItemNames& names, const OrderRenewal& renewal)
{
    Transaction transaction(ctx.mgc);
    if (DbOutcome o = transaction.begin(); !o.ok())
        return o;
    const QString& id = renewal.id;
    for (const qint16 item : renewal.again) {
        if (DbOutcome o = Run(
                ctx.mgc,
                QStringLiteral("DELETE FROM samp_dat WHERE samp_id = ? AND item_no = ? AND data_state = 3"),
                {id, item});
            !o.ok())
            return o;
    }
    for (const auto& [item, state] : renewal.withdrawn) {
        if (DbOutcome o = Run(
                ctx.mgc,
                QStringLiteral("DELETE FROM samp_dat WHERE samp_id = ? AND item_no = ? AND data_state = ?"),
                {id, item, state});
            !o.ok())
            return o;
    }
    for (const QList<qint16>* items : {&renewal.again, &renewal.added}) {
        for (const qint16 item : *items) {
            if (DbOutcome o = InsertSampDat(ctx, id, item, names.MgcItemName(item)); !o.ok())
                return o;
        }
    }
    if (renewal.reopen) {
        if (DbOutcome o = Run(ctx.mgc, QStringLiteral("DELETE FROM samp_odr WHERE samp_id = ?"), {id});
            !o.ok())
            return o;
        if (DbOutcome o = InsertSampOdr(ctx, id, renewal.itemCount); !o.ok())
            return o;
    } else if (DbOutcome o =
                   Run(ctx.mgc, QStringLiteral("UPDATE samp_odr SET ord_total = ? WHERE samp_id = ?"),
                       {renewal.itemCount, id});
               !o.ok()) {
        return o;
    }
    return transaction.commit();
}

namespace {

// What the work list lacks of the open requests: the missing items of each sample, and its
// samp_odr row where it has none or its item count is off. Nothing when the work list cannot be
// read (reported).
std::optional<QList<OrderChange>> OrderChanges(MgcContext& ctx, const ChannelMap& channels,
                                               const OpenRequests& open)
{
    const QStringList samples = open.bySample.keys();

    // What the work list holds of these samples already.
    QSet<SampleItem> listed;
    QHash<QString, QList<int>> totals;
    QString error = QueryInPieces(
        ctx.mgc, QStringLiteral("SELECT samp_id, item_no FROM samp_dat WHERE samp_id IN (%1)"), {}, samples,
        [&](SqlResult& r) {
            listed.insert({r.value(0).toString(), Int16Of(r.value(1))});
        },
        ctx);
    if (error.isEmpty())
        error = QueryInPieces(
            ctx.mgc, QStringLiteral("SELECT samp_id, ord_total FROM samp_odr WHERE samp_id IN (%1)"), {},
            samples, [&](SqlResult& r) { totals[r.value(0).toString()] << r.value(1).toInt(); }, ctx);
    if (!error.isEmpty()) {
        ctx.problem(
            QStringLiteral("orders"),
            QStringLiteral("orders not written to the MGC240: its work list cannot be read: %1").arg(error));
        return std::nullopt;
    }

    QList<OrderChange> changes;
    for (auto it = open.bySample.cbegin(); it != open.bySample.cend(); ++it) {
        OrderChange change{it.key(), {}, totals.contains(it.key()), int(it.value().size())};
        for (const qint16 parameter : it.value()) {
            // A parameter without a channel on this analyzer goes in as item 0.
            const SampleItem item{it.key(), channels.ChannelOfParameter(parameter)};
            if (!listed.contains(item) && !change.missing.contains(item))
                change.missing << item;
        }
        bool recount = false;
        for (const int total : totals.value(it.key()))
            recount = recount || total != change.itemCount;
        if (!change.missing.isEmpty() || !change.hasOrder || recount)
            changes << change;
    }
    return changes;
}

// Writes the changes, SamplesPerTransaction samples at a time; false when the MGC240 is gone
// (reported).
bool WriteChanges(MgcContext& ctx, const QList<OrderChange>& changes, const ItemNames& names,
                  OrderCounts& counts)
{
    for (qsizetype start = 0; start < changes.size(); start += SamplesPerTransaction) {
        const QList<OrderChange> group = changes.mid(start, SamplesPerTransaction);
        const DbOutcome together = WriteOrders(ctx, group, names);
        if (together.ok()) {
            counts.samples += int(group.size());
            continue;
        }
        ctx.noteFailure(ctx.mgc, together);
        if (ctx.mgcLost) {
            ctx.problem(QStringLiteral("orders"),
                        QStringLiteral("orders not written to the MGC240: %1").arg(together.error));
            return false;
        }
        // The group went back whole; each sample on its own finds the one that fails.
        for (const OrderChange& change : group) {
            const DbOutcome written = WriteOrders(ctx, {change}, names);
            if (!written.ok()) {
                ctx.noteFailure(ctx.mgc, written);
                ctx.problem(QStringLiteral("order:") + change.sampleId,
                            QStringLiteral("sample %1: order not written to the MGC240: %2")
                                .arg(change.sampleId, written.error));
                continue;
            }
            ++counts.samples;
        }
    }
    return true;
}

// The items waiting on the analyzer that a withdrawn request may have left, each once, and their
// sample ids. Ids beginning with "888" stay, and so do this analyzer's controls, which no request
// ever orders. Nothing when a database cannot be read (reported).
struct WithdrawalCandidates
{
    QList<SampleItem> items;
    QStringList sampleIds;
};

std::optional<WithdrawalCandidates> ReadWithdrawalCandidates(MgcContext& ctx)
{
    SqlResult controlRows =
        ctx.lab.run(QStringLiteral("SELECT DISTINCT control_id FROM control_block WHERE analyzer_id = ?"),
                    {ctx.settings.AnalyzerId});
    if (!controlRows.ok()) {
        ctx.noteFailure(ctx.lab, controlRows);
        ctx.problem(QStringLiteral("withdraw"),
                    QStringLiteral("withdrawn orders not removed from the MGC240: %1")
                        .arg(controlRows.error().simplified()));
        return std::nullopt;
    }
    QSet<QString> controls;
    while (controlRows.next())
        controls.insert(controlRows.value(0).toString());
    controlRows.finish();

    SqlResult ordered =
        ctx.mgc.run(QStringLiteral("SELECT samp_id, item_no FROM samp_dat WHERE data_state = 1"));
    if (!ordered.ok()) {
        ctx.noteFailure(ctx.mgc, ordered);
        ctx.problem(QStringLiteral("withdraw"),
                    QStringLiteral("withdrawn orders not removed from the MGC240: %1")
                        .arg(ordered.error().simplified()));
        return std::nullopt;
    }
    WithdrawalCandidates candidates;
    QSet<SampleItem> seen;
    QSet<QString> seenIds;
    while (ordered.next()) {
        const SampleItem item{ordered.value(0).toString(), Int16Of(ordered.value(1))};
        if (item.first.startsWith(QLatin1String("888")) || controls.contains(item.first) ||
            seen.contains(item))
            continue;
        seen.insert(item);
        candidates.items << item;
        if (!seenIds.contains(item.first)) {
            seenIds.insert(item.first);
            candidates.sampleIds << item.first;
        }
    }
    return candidates;
}

// Removes the candidates no request goes to any more; false when the requests cannot be read
// (reported).
bool RemoveWithdrawn(MgcContext& ctx, const ChannelMap& channels, const WithdrawalCandidates& candidates,
                     OrderCounts& counts)
{
    // An item stays while a request of the sample (open or filled) goes to it. Mapped this way
    // round, item 0 stays for a parameter without a channel, and an item that two parameters share
    // stays for either.
    QSet<SampleItem> requested;
    const QString error = QueryInPieces(
        ctx.lab, QStringLiteral("SELECT sample_id, parameter_id FROM request WHERE sample_id IN (%1)"), {},
        candidates.sampleIds,
        [&](SqlResult& r) {
            requested.insert({r.value(0).toString(), channels.ChannelOfParameter(Int16Of(r.value(1)))});
        },
        ctx);
    if (!error.isEmpty()) {
        ctx.problem(QStringLiteral("withdraw"),
                    QStringLiteral("withdrawn orders not removed from the MGC240: %1").arg(error));
        return false;
    }
    for (const SampleItem& item : std::as_const(candidates.items)) {
        if (requested.contains(item))
            continue;
        // Only the item still waiting to be measured: a result already on the analyzer stays.
        SqlResult removed = ctx.mgc.run(
            QStringLiteral("DELETE FROM samp_dat WHERE samp_id = ? AND item_no = ? AND data_state = 1"),
            {item.first, item.second});
        if (!removed.ok()) {
            ctx.noteFailure(ctx.mgc, removed);
            ctx.problem(QStringLiteral("withdraw:%1:%2").arg(item.first).arg(item.second),
                        QStringLiteral("sample %1 item %2: withdrawn order not removed from the MGC240: %3")
                            .arg(item.first)
                            .arg(item.second)
                            .arg(removed.error().simplified()));
            continue;
        }
        ++counts.withdrawn;
    }
    return true;
}

void RemoveOrphanOrders(MgcContext& ctx, OrderCounts& counts)
{
    SqlResult orphans = ctx.mgc.run(QStringLiteral("DELETE FROM samp_odr WHERE NOT EXISTS (SELECT 1 FROM "
                                                   "samp_dat WHERE samp_dat.samp_id = samp_odr.samp_id)"));
    if (!orphans.ok()) {
        ctx.noteFailure(ctx.mgc, orphans);
        ctx.problem(
            QStringLiteral("orphans"),
            QStringLiteral("MGC240 orders without items not removed: %1").arg(orphans.error().simplified()));
        return;
    }
    counts.removed = qMax(0, orphans.rowsAffected());
}

} // namespace

OrderCounts MgcSendOrders(MgcContext& ctx, const ChannelMap& channels, const ItemNames& names,
                          const OpenRequests& open)
{
    OrderCounts counts;
    const std::optional<QList<OrderChange>> changes = OrderChanges(ctx, channels, open);
    if (!changes || !WriteChanges(ctx, *changes, names, counts))
        return counts;

    // Items ordered on the analyzer whose request is gone are withdrawn.
    const std::optional<WithdrawalCandidates> candidates = ReadWithdrawalCandidates(ctx);
    if (!candidates || !RemoveWithdrawn(ctx, channels, *candidates, counts))
        return counts;
    RemoveOrphanOrders(ctx, counts);
    return counts;
}

} // namespace Quorlix
