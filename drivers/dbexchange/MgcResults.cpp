#include "MgcResults.h"

#include "MgcContext.h"
#include "MgcJobs.h"
#include "MgcOrders.h"
#include "core/DayShift.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "core/Stamps.h"
#include "store/Store.h"

#include <QPair>
#include <QSet>

#include <algorithm>

namespace Quorlix {

namespace {

using SampleItem = QPair<QString, qint16>;
using ControlParameter = QPair<QString, qint16>;

// Samples stored in one transaction: few commits for a tick with many results, and a spool file
// of moderate size when the database fails.
constexpr qsizetype SamplesPerRecord = 100;

struct Measurement
{
    QDateTime when;
    QVariant value;
};

} // namespace

int MgcFetchResults(MgcContext& ctx, const ChannelMap& channels, const OpenRequests& open)
{
    QHash<SampleItem, QVariant> finished;
    const QString error = QueryInPieces(
        ctx.mgc,
        QStringLiteral(
            "SELECT samp_id, item_no, conc_data FROM samp_dat WHERE data_state = 3 AND samp_id IN (%1) "
            "AND samp_id IN (SELECT samp_id FROM samp_odr WHERE samp_state >= 3)"),
        {}, open.bySample.keys(),
        [&](SqlResult& r) {
            finished.insert({r.value(0).toString(), Int16Of(r.value(1))}, r.value(2));
        },
        ctx);
    if (!error.isEmpty()) {
        ctx.problem(QStringLiteral("results"),
                    QStringLiteral("results not taken from the MGC240: %1").arg(error));
        return 0;
    }
    if (finished.isEmpty())
        return 0;

    const JobKind& kind = ctx.store.kinds().require<MgcResultsJobKind>();
    int samples = 0;
    MgcResultBatch batch;
    const auto submit = [&] {
        if (!batch.samples.isEmpty())
            ctx.store.submit(ctx.store.newJob(kind, batch));
        batch.samples.clear();
    };
    for (auto it = open.bySample.cbegin(); it != open.bySample.cend(); ++it) {
        MgcSampleResults record{it.key(), {}};
        QSet<qint16> taken;
        for (const qint16 parameter : it.value()) {
            // Item 0 stands for "no channel": whatever it holds belongs to no parameter.
            const qint16 item = channels.ChannelOfParameter(parameter);
            const auto found = finished.constFind({it.key(), item});
            if (item == 0 || found == finished.constEnd() || taken.contains(parameter))
                continue;
            bool malformed = false;
            const std::optional<double> value = MgcNumber(*found, &malformed);
            if (!value) {
                // An empty result is not a result: the order stays open.
                ctx.problem(
                    QStringLiteral("value:%1:%2").arg(it.key()).arg(item),
                    QStringLiteral("sample %1 item %2: the MGC240 holds no number (\"%3\"); not taken")
                        .arg(it.key())
                        .arg(item)
                        .arg(NullToText(*found)));
                continue;
            }
            taken.insert(parameter);
            record.results << MgcValue{parameter, *value};
        }
        if (record.results.isEmpty())
            continue;
        batch.samples << record;
        if (batch.samples.size() == SamplesPerRecord)
            submit();
        ++samples;
    }
    submit();
    return samples;
}

int MgcFetchControls(MgcContext& ctx, const ChannelMap& channels, const ItemNames& names)
{
    SqlResult block = ctx.lab.run(
        QStringLiteral("SELECT control_id, parameter_id FROM control_block WHERE analyzer_id = ?"),
        {ctx.settings.AnalyzerId});
    if (!block.ok()) {
        ctx.noteFailure(ctx.lab, block);
        ctx.problem(
            QStringLiteral("controls"),
            QStringLiteral("control results not taken from the MGC240: %1").arg(block.error().simplified()));
        return 0;
    }
    QList<ControlParameter> armed;
    QStringList controls;
    while (block.next()) {
        const ControlParameter row{block.value(0).toString(), Int16Of(block.value(1))};
        if (row.first.isEmpty() || armed.contains(row))
            continue;
        armed << row;
        if (!controls.contains(row.first))
            controls << row.first;
    }
    block.finish();
    if (controls.isEmpty())
        return 0;

    QHash<SampleItem, QList<Measurement>> measured;
    QString error = QueryInPieces(
        ctx.mgc,
        QStringLiteral("SELECT samp_id, item_no, conc_data, rst_Date FROM samp_dat WHERE data_state = 3 "
                       "AND samp_id IN (%1)"),
        {}, controls,
        [&](SqlResult& r) {
            measured[{r.value(0).toString(), Int16Of(r.value(1))}]
                << Measurement{DateTimeOf(r.value(3)), r.value(2)};
        },
        ctx);
    QHash<ControlParameter, QString> latest;
    if (error.isEmpty()) {
        SqlResult stored = ctx.lab.run(QStringLiteral("SELECT control_id, parameter_id, MAX(time_stamp) FROM "
                                                      "control_results WHERE analyzer_id = ? "
                                                      "GROUP BY control_id, parameter_id"),
                                       {ctx.settings.AnalyzerId});
        if (!stored.ok()) {
            ctx.noteFailure(ctx.lab, stored);
            error = stored.error().simplified();
        }
        while (stored.next()) {
            const QDateTime when = DateTimeOf(stored.value(2));
            if (when.isValid())
                latest.insert({stored.value(0).toString(), Int16Of(stored.value(1))}, SqlStamp(when));
        }
    }
    if (!error.isEmpty()) {
        ctx.problem(QStringLiteral("controls"),
                    QStringLiteral("control results not taken from the MGC240: %1").arg(error));
        return 0;
    }

    const JobKind& kind = ctx.store.kinds().require<MgcControlJobKind>();
    int taken = 0;
    for (const ControlParameter& row : std::as_const(armed)) {
        const qint16 item = channels.ChannelOfParameter(row.second);
        if (item == 0)
            continue;
        QList<Measurement> results = measured.value({row.first, item});
        std::stable_sort(results.begin(), results.end(),
                         [](const Measurement& a, const Measurement& b) { return a.when < b.when; });
        for (const Measurement& m : std::as_const(results)) {
            const QString key = QStringLiteral("control:%1:%2").arg(row.first).arg(item);
            if (!m.when.isValid()) {
                ctx.problem(
                    key, QStringLiteral("control %1 item %2: the MGC240 gives no measurement time; not taken")
                             .arg(row.first)
                             .arg(item));
                continue;
            }
            // Stored once per measurement: only a result later than every stored one is new.
            const QString when = SqlStamp(m.when);
            if (latest.contains(row) && when <= latest.value(row))
                continue;
            bool malformed = false;
            const std::optional<double> value = MgcNumber(m.value, &malformed);
            if (!value) {
                ctx.problem(
                    key, QStringLiteral("control %1 item %2: the MGC240 holds no number (\"%3\"); not taken")
                             .arg(row.first)
                             .arg(item)
                             .arg(NullToText(m.value)));
                continue;
            }
            ctx.store.submit(ctx.store.newJob(kind, MgcControlResult{row.first, row.second, when, *value}));
            latest.insert(row, when);
            ++taken;
        }
    }

    // A control whose order counts three items or more is ordered anew.
    QSet<QString> renew;
    error = QueryInPieces(
        ctx.mgc, QStringLiteral("SELECT samp_id FROM samp_odr WHERE ord_total >= 3 AND samp_id IN (%1)"), {},
        controls, [&](SqlResult& r) { renew.insert(r.value(0).toString()); }, ctx);
    if (!error.isEmpty()) {
        ctx.problem(QStringLiteral("renew"),
                    QStringLiteral("controls not ordered anew on the MGC240: %1").arg(error));
        return taken;
    }
    for (const QString& control : std::as_const(controls)) {
        if (renew.contains(control))
            MgcReRegisterControl(ctx, channels, names, control);
    }
    return taken;
}

} // namespace Quorlix
