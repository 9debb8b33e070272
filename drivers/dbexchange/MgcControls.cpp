#include "MgcControls.h"

#include "MgcContext.h"
#include "MgcHandOver.h"
#include "MgcJobs.h"
#include "MgcMarks.h"
#include "MgcOrders.h"
#include "core/DayShift.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "core/Stamps.h"
#include "store/DbOutcome.h"
#include "store/Store.h"

#include <QMap>

#include <algorithm>

namespace Quorlix {

namespace {

// This analyzer's armed controls: control_block rows, each once, in the table's order.
QString ReadArmed(MgcContext& ctx, QList<MgcControlParameter>* armed)
{
    SqlResult block = ctx.lab.run(
        QStringLiteral("SELECT control_id, parameter_id FROM control_block WHERE analyzer_id = ?"),
        {ctx.settings.AnalyzerId});
    if (!block.ok()) {
        ctx.noteFailure(ctx.lab, block);
        return block.error().simplified();
    }
    while (block.next()) {
        const MgcControlParameter row{block.value(0).toString(), Int16Of(block.value(1))};
        if (!row.first.isEmpty() && !armed->contains(row))
            *armed << row;
    }
    return {};
}

bool Finished(const QList<QPair<int, int>>& orders)
{
    return !orders.isEmpty() &&
           std::all_of(orders.cbegin(), orders.cend(), [](const QPair<int, int>& o) { return o.first >= 3; });
}

} // namespace

QString ReadMgcControls(MgcContext& ctx, const ChannelMap& channels, MgcControlsView* view)
{
    if (QString error = ReadArmed(ctx, &view->armed); !error.isEmpty())
        return error;
    for (const MgcControlParameter& row : std::as_const(view->armed)) {
        if (!view->controls.contains(row.first))
            view->controls << row.first;
    }
    if (view->controls.isEmpty())
        return {};
    QString error = QueryInPieces(
        ctx.mgc,
        QStringLiteral(
            "SELECT samp_id, item_no, data_state, rst_Date, conc_data FROM samp_dat WHERE samp_id IN (%1)"),
        {}, view->controls,
        [&](SqlResult& r) {
            view->items[r.value(0).toString()] << MgcControlItem{Int16Of(r.value(1)), r.value(2).toInt(),
                                                                 DateTimeOf(r.value(3)), r.value(4)};
        },
        ctx);
    if (error.isEmpty())
        error = QueryInPieces(
            ctx.mgc,
            QStringLiteral("SELECT samp_id, samp_state, ord_total FROM samp_odr WHERE samp_id IN (%1)"), {},
            view->controls,
            [&](SqlResult& r) {
                view->orders[r.value(0).toString()]
                    << QPair<int, int>{r.value(1).toInt(), r.value(2).toInt()};
            },
            ctx);
    if (!error.isEmpty())
        return error;
    SqlResult stored = ctx.lab.run(QStringLiteral("SELECT control_id, parameter_id, MAX(time_stamp) FROM "
                                                  "control_results WHERE analyzer_id = ? "
                                                  "GROUP BY control_id, parameter_id"),
                                   {ctx.settings.AnalyzerId});
    if (!stored.ok()) {
        ctx.noteFailure(ctx.lab, stored);
        return stored.error().simplified();
    }
    while (stored.next()) {
        const QDateTime when = DateTimeOf(stored.value(2));
        if (when.isValid())
            view->latest.insert({stored.value(0).toString(), Int16Of(stored.value(1))}, SqlStamp(when));
    }
    stored.finish();

    // What is stored already, and what can never be taken, is settled.
    for (const MgcControlParameter& row : std::as_const(view->armed)) {
        const qint16 item = channels.ChannelOfParameter(row.second);
        for (const MgcControlItem& i : view->items.value(row.first)) {
            if (i.item != item || i.dataState != 3)
                continue;
            const bool alreadyStored = i.measuredAt.isValid() && view->latest.contains(row) &&
                                       SqlStamp(i.measuredAt) <= view->latest.value(row);
            if (item == 0 || !i.measuredAt.isValid() || !MgcNumber(i.value) || alreadyStored)
                view->settled.insert(MgcControlsView::key(row.first, item));
        }
    }
    return {};
}

namespace {

// A measured control value the MGC240 holds and the store may not have yet.
struct ControlCandidate
{
    MgcControlParameter row;
    qint16 item;
    QDateTime when;
    double value;
    QString mark;
};

// The measured values of the armed control parameters, each parameter's in order of measurement,
// later than what is stored; a value without a time or a number is reported and left.
QList<ControlCandidate> ControlCandidates(MgcContext& ctx, const ChannelMap& channels,
                                          const MgcControlsView& view)
{
    QList<ControlCandidate> candidates;
    for (const MgcControlParameter& row : std::as_const(view.armed)) {
        // Item 0 stands for "no channel": whatever it holds belongs to no parameter.
        const qint16 item = channels.ChannelOfParameter(row.second);
        if (item == 0)
            continue;
        QList<MgcControlItem> measured;
        for (const MgcControlItem& i : view.items.value(row.first)) {
            if (i.item == item && i.dataState == 3)
                measured << i;
        }
        std::stable_sort(
            measured.begin(), measured.end(),
            [](const MgcControlItem& a, const MgcControlItem& b) { return a.measuredAt < b.measuredAt; });
        for (const MgcControlItem& m : std::as_const(measured)) {
            const QString key = QStringLiteral("control:%1:%2").arg(row.first).arg(item);
            if (!m.measuredAt.isValid()) {
                ctx.problem(
                    key, QStringLiteral("control %1 item %2: the MGC240 gives no measurement time; not taken")
                             .arg(row.first)
                             .arg(item));
                continue;
            }
            // Stored once per measurement: only a result later than every stored one is new.
            const QString when = SqlStamp(m.measuredAt);
            if (view.latest.contains(row) && when <= view.latest.value(row))
                continue;
            const std::optional<double> value = MgcNumber(m.value);
            if (!value) {
                ctx.problem(
                    key, QStringLiteral("control %1 item %2: the MGC240 holds no number (\"%3\"); not taken")
                             .arg(row.first)
                             .arg(item)
                             .arg(NullToText(m.value)));
                continue;
            }
            candidates << ControlCandidate{
                row, item, m.measuredAt, *value,
                MgcControlMark(ctx.settings.AnalyzerId, row.first, row.second, when, *value)};
        }
    }
    return candidates;
}

// Hands the candidates to the store in order; stops at the first that has to wait. Returns how many
// were stored.
int HandOverControls(MgcContext& ctx, const QList<ControlCandidate>& candidates,
                     const QSet<QString>& quarantined, MgcControlsView& view)
{
    const JobKind& kind = ctx.store.kinds().require<MgcControlJobKind>();
    int stored = 0;
    for (const ControlCandidate& c : std::as_const(candidates)) {
        const QString settled = MgcControlsView::key(c.row.first, c.item);
        const QString when = SqlStamp(c.when);
        if (quarantined.contains(c.mark)) {
            view.settled.insert(settled);
            continue;
        }
        if (view.latest.contains(c.row) && when <= view.latest.value(c.row))
            continue;
        const StoreJob job =
            ctx.store.newJob(kind, MgcControlResult{c.row.first, c.row.second, when, c.value});
        const MgcHandOutcome outcome = MgcHand(ctx, job);
        switch (outcome.handed) {
        case MgcHanded::Stored:
            ++stored;
            view.latest.insert(c.row, when);
            view.settled.insert(settled);
            break;
        case MgcHanded::NothingNew:
            view.settled.insert(settled);
            break;
        case MgcHanded::Waiting:
            return stored;
        case MgcHanded::Refused:
            MgcQuarantine(ctx, job, outcome.error, {c.mark});
            view.settled.insert(settled);
            break;
        }
    }
    return stored;
}

} // namespace

int MgcFetchControls(MgcContext& ctx, const ChannelMap& channels, MgcControlsView& view)
{
    const QList<ControlCandidate> candidates = ControlCandidates(ctx, channels, view);
    if (candidates.isEmpty())
        return 0;

    QStringList marks;
    for (const ControlCandidate& c : std::as_const(candidates))
        marks << c.mark;
    QSet<QString> taken;
    QSet<QString> quarantined;
    if (const QString error = FindMgcMarks(ctx, marks, &taken, &quarantined); !error.isEmpty()) {
        ctx.problem(QStringLiteral("controls"),
                    QStringLiteral("control results not taken from the MGC240: %1").arg(error));
        return 0;
    }

    return HandOverControls(ctx, candidates, quarantined, view);
}

void MgcControlOrders::MgcRegisterControls(MgcContext& ctx, const ChannelMap& channels,
                                           const ItemNames& names, const MgcControlsView& view)
{
    // control_block again: a result just booked may have passed a parameter, which is then no longer
    // ordered.
    QList<MgcControlParameter> armed;
    if (const QString error = ReadArmed(ctx, &armed); !error.isEmpty()) {
        ctx.problem(QStringLiteral("register"),
                    QStringLiteral("the controls of %1 were not ordered on the MGC240: %2")
                        .arg(ctx.settings.AnalyzerId, error));
        return;
    }
    QMap<QString, QList<qint16>> parameters;
    for (const MgcControlParameter& row : std::as_const(armed))
        parameters[row.first] << row.second;

    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        const QString& control = it.key();
        // A control armed since the view was read waits for the next tick's view.
        if (!view.controls.contains(control))
            continue;
        const QList<MgcControlItem> rows = view.items.value(control);
        const QList<QPair<int, int>> orders = view.orders.value(control);
        OrderRenewal renewal{control, {}, {}, {}, false, int(it.value().size())};
        QList<qint16> items;
        bool unsettled = false;
        bool measuring = false; // an item the analyzer has yet to measure (item 0 it never does)
        for (const qint16 parameter : it.value()) {
            // A parameter without a channel goes in as item 0.
            const qint16 item = channels.ChannelOfParameter(parameter);
            if (items.contains(item))
                continue;
            items << item;
            const bool listed = std::any_of(rows.cbegin(), rows.cend(),
                                            [&](const MgcControlItem& i) { return i.item == item; });
            const bool measured = std::any_of(rows.cbegin(), rows.cend(), [&](const MgcControlItem& i) {
                return i.item == item && i.dataState == 3;
            });
            if (!listed)
                renewal.added << item;
            else if (measured && view.settled.contains(MgcControlsView::key(control, item)))
                renewal.again << item;
            else if (measured)
                unsettled = true;
            else if (item != 0)
                measuring = true;
        }
        // Rows of items no longer armed go: ordered ones, and measured ones whose result is settled.
        for (const MgcControlItem& i : rows) {
            if (items.contains(i.item))
                continue;
            if (i.dataState == 1 ||
                (i.dataState == 3 && view.settled.contains(MgcControlsView::key(control, i.item))))
                renewal.withdrawn << QPair<qint16, int>{i.item, i.dataState};
        }

        // Nothing is ordered anew while a result waits to be taken or the analyzer is still at work:
        // it has finished the order, or measured every item of it.
        const bool finished = Finished(orders) || !measuring;
        const bool anew = std::any_of(orders.cbegin(), orders.cend(),
                                      [](const QPair<int, int>& o) { return o.second >= 3; });
        const bool due = m_registered.contains(control)
                             ? anew && finished && !unsettled && !renewal.again.isEmpty()
                             : !unsettled && (renewal.again.isEmpty() || finished || orders.isEmpty());
        if (!due)
            continue;
        renewal.reopen = orders.isEmpty() || finished || !renewal.again.isEmpty();
        const DbOutcome outcome = RenewOrder(ctx, names, renewal);
        if (!outcome.ok()) {
            ctx.noteFailure(ctx.mgc, outcome);
            ctx.problem(
                QStringLiteral("control:") + control,
                QStringLiteral("control %1: not ordered on the MGC240: %2").arg(control, outcome.error));
            continue;
        }
        m_registered.insert(control);
    }
}

} // namespace Quorlix
