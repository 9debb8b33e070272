#pragma once

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

namespace Quorlix {

class ChannelMap;
class Database;
class ItemNames;
class MgcContext;
struct DbOutcome;

// The open laboratory orders (request rows whose result, analyzer_id and time_stamp are all NULL),
// by sample id in order, each with its parameters as read.
struct OpenRequests
{
    QMap<QString, QList<qint16>> bySample;
    int rows = 0;
};
// Empty on success, else the error.
QString ReadOpenRequests(MgcContext& ctx, OpenRequests* open);

// What a tick changed in the MGC240's work list.
struct OrderCounts
{
    int samples = 0;   // samples whose order was written or renewed
    int withdrawn = 0; // items withdrawn
    int removed = 0;   // samp_odr rows left without items, removed
};

// The rows of the MGC240's work list, with the values its own program writes: samp_dat one per
// sample and item (ordered: data_state 1), samp_odr one per sample with its number of the day and
// the number of its items.
DbOutcome InsertSampDat(MgcContext& ctx, const QString& id, qint16 item, const QString& itemName);
// nextNumber (when given and above 0) is the sample number to use, and comes back as the next one.
DbOutcome InsertSampOdr(MgcContext& ctx, const QString& id, int itemCount, int* nextNumber = nullptr);

// One order anew, in one transaction: the measured rows of `again` (whose results are taken)
// replaced by ordered ones, the items of `added` ordered, the rows of `withdrawn` (item and the
// data_state seen) removed; with reopen the samp_odr row is replaced by a new one (the day's next
// number, ordered again: the analyzer measures what is ordered), otherwise it gets the item count.
struct OrderRenewal
{
    QString id;
    QList<qint16> again;
    QList<qint16> added;
    QList<QPair<qint16, int>> withdrawn;
    bool reopen = false;
    int itemCount = 0;
};
DbOutcome RenewOrder(MgcContext& ctx, const ItemNames& names, const OrderRenewal& renewal);

// Each MGC240 cycle: every open order into the work list (one transaction per sample: its missing items and
// its samp_odr row, inserted or with the new item count); ordered items whose request is gone
// withdrawn (never those of ids beginning with "888", nor of this analyzer's controls); samp_odr
// rows left without items removed.
OrderCounts MgcSendOrders(MgcContext& ctx, const ChannelMap& channels, const ItemNames& names,
                          const OpenRequests& open);

} // namespace Quorlix
