#include "MgcResults.h"

#include "MgcContext.h"
#include "MgcHandOver.h"
#include "MgcJobs.h"
#include "MgcMarks.h"
#include "MgcOrders.h"
#include "core/DayShift.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "core/Stamps.h"
#include "store/Store.h"

#include <QPair>
#include <QSet>

namespace Quorlix {

namespace {

using SampleItem = QPair<QString, qint16>;

// Samples stored in one transaction: few commits for a tick with many results, and a spool file
// of moderate size when the database fails.
constexpr qsizetype SamplesPerRecord = 100;

struct Measurement
{
    QVariant value;
    QString measuredAt;
};

QStringList MarksOf(const QString& analyzerId, const MgcSampleResults& sample)
{
    QStringList marks;
    for (const MgcValue& v : sample.results)
        marks << MgcResultMark(analyzerId, sample.sampleId, v.parameterId, v.measuredAt, v.value);
    return marks;
}

// A record of samples into the store; a refused one is tried sample by sample, and a sample
// refused on its own is quarantined. Returns false once the database fails (the rest waits).
bool Hand(MgcContext& ctx, const MgcResultBatch& batch, int* stored)
{
    const JobKind& kind = ctx.store.kinds().require<MgcResultsJobKind>();
    const StoreJob job = ctx.store.newJob(kind, batch);
    const MgcHandOutcome outcome = MgcHand(ctx, job);
    switch (outcome.handed) {
    case MgcHanded::Stored:
        *stored += int(batch.samples.size());
        return true;
    case MgcHanded::NothingNew:
        return true;
    case MgcHanded::Waiting:
        return false;
    case MgcHanded::Refused:
        break;
    }
    if (batch.samples.size() == 1) {
        MgcQuarantine(ctx, job, outcome.error, MarksOf(ctx.settings.AnalyzerId, batch.samples.first()));
        return true;
    }
    for (const MgcSampleResults& sample : batch.samples) {
        if (!Hand(ctx, MgcResultBatch{{sample}}, stored))
            return false;
    }
    return true;
}

// The finished items (data_state 3) of the open samples whose order is done on the MGC240, with
// their measurement; an error text when they cannot be read.
QString ReadFinished(MgcContext& ctx, const OpenRequests& open, QHash<SampleItem, Measurement>* finished)
{
    return QueryInPieces(
        ctx.mgc,
        QStringLiteral(
            "SELECT samp_id, item_no, conc_data, rst_Date FROM samp_dat WHERE data_state = 3 "
            "AND samp_id IN (%1) AND samp_id IN (SELECT samp_id FROM samp_odr WHERE samp_state >= 3)"),
        {}, open.bySample.keys(),
        [&](SqlResult& r) {
            const QDateTime measured = DateTimeOf(r.value(3));
            finished->insert({r.value(0).toString(), Int16Of(r.value(1))},
                             {r.value(2), measured.isValid() ? SqlStamp(measured) : QString()});
        },
        ctx);
}

// The results of the open requests the finished items answer, one record per sample, with the
// item and mark of each value.
struct ReadResults
{
    QList<MgcSampleResults> records;
    QHash<QString, QList<qint16>> items; // the item of each value of the records
    QStringList marks;
};

ReadResults ResultsOfRequests(MgcContext& ctx, const ChannelMap& channels, const OpenRequests& open,
                              const QHash<SampleItem, Measurement>& finished)
{
    ReadResults read;
    for (auto it = open.bySample.cbegin(); it != open.bySample.cend(); ++it) {
        MgcSampleResults record{it.key(), {}};
        QSet<qint16> taken;
        for (const qint16 parameter : it.value()) {
            // Item 0 stands for "no channel": whatever it holds belongs to no parameter.
            const qint16 item = channels.ChannelOfParameter(parameter);
            const auto found = finished.constFind({it.key(), item});
            if (item == 0 || found == finished.constEnd() || taken.contains(parameter))
                continue;
            const std::optional<double> value = MgcNumber(found->value);
            if (!value) {
                // An empty result is not a result: the order stays open.
                ctx.problem(
                    QStringLiteral("value:%1:%2").arg(it.key()).arg(item),
                    QStringLiteral("sample %1 item %2: the MGC240 holds no number (\"%3\"); not taken")
                        .arg(it.key())
                        .arg(item)
                        .arg(NullToText(found->value)));
                continue;
            }
            taken.insert(parameter);
            record.results << MgcValue{parameter, *value, found->measuredAt};
            read.items[it.key()] << item;
            read.marks << MgcResultMark(ctx.settings.AnalyzerId, it.key(), parameter, found->measuredAt,
                                        *value);
        }
        if (!record.results.isEmpty())
            read.records << record;
    }
    return read;
}

// The results not taken before, for the store. A measurement taken before fills no second order
// of the same test: that test is ordered again, and the sample's other results wait for it. One
// quarantined is not taken again.
QList<MgcSampleResults> FreshResults(MgcContext& ctx, const ItemNames& names, const OpenRequests& open,
                                     const ReadResults& read, const QSet<QString>& takenMarks,
                                     const QSet<QString>& quarantined, ResultCounts& counts)
{
    QList<MgcSampleResults> fresh;
    for (const MgcSampleResults& record : std::as_const(read.records)) {
        MgcSampleResults kept{record.sampleId, {}};
        OrderRenewal again{
            record.sampleId, {}, {}, {}, true, int(open.bySample.value(record.sampleId).size())};
        for (qsizetype i = 0; i < record.results.size(); ++i) {
            const MgcValue& v = record.results.at(i);
            const QString mark =
                MgcResultMark(ctx.settings.AnalyzerId, record.sampleId, v.parameterId, v.measuredAt, v.value);
            if (takenMarks.contains(mark))
                again.again << read.items.value(record.sampleId).at(i);
            else if (!quarantined.contains(mark))
                kept.results << v;
        }
        if (!again.again.isEmpty()) {
            if (const DbOutcome o = RenewOrder(ctx, names, again); !o.ok()) {
                ctx.noteFailure(ctx.mgc, o);
                ctx.problem(QStringLiteral("again:") + record.sampleId,
                            QStringLiteral("sample %1: tests ordered again not written to the MGC240: %2")
                                .arg(record.sampleId, o.error));
            } else {
                ++counts.again;
            }
            // The sample's other results wait for its new measurement: it is one record.
            continue;
        }
        if (!kept.results.isEmpty())
            fresh << kept;
    }

    return fresh;
}

} // namespace

ResultCounts MgcFetchResults(MgcContext& ctx, const ChannelMap& channels, const ItemNames& names,
                             const OpenRequests& open)
{
    ResultCounts counts;
    QHash<SampleItem, Measurement> finished;
    QString error = ReadFinished(ctx, open, &finished);
    if (!error.isEmpty()) {
        ctx.problem(QStringLiteral("results"),
                    QStringLiteral("results not taken from the MGC240: %1").arg(error));
        return counts;
    }
    if (finished.isEmpty())
        return counts;

    const ReadResults read = ResultsOfRequests(ctx, channels, open, finished);
    if (read.records.isEmpty())
        return counts;

    QSet<QString> takenMarks;
    QSet<QString> quarantined;
    if (error = FindMgcMarks(ctx, read.marks, &takenMarks, &quarantined); !error.isEmpty()) {
        ctx.problem(QStringLiteral("results"),
                    QStringLiteral("results not taken from the MGC240: %1").arg(error));
        return counts;
    }
    const QList<MgcSampleResults> fresh =
        FreshResults(ctx, names, open, read, takenMarks, quarantined, counts);
    for (qsizetype start = 0; start < fresh.size(); start += SamplesPerRecord) {
        if (!Hand(ctx, MgcResultBatch{fresh.mid(start, SamplesPerRecord)}, &counts.stored))
            break;
    }
    return counts;
}

} // namespace Quorlix
