#include "AuStandardsJob.h"

#include "AuQueries.h"
#include "PendingCalibrations.h"
#include "WaitingStandards.h"
#include "core/Stamps.h"
#include "store/CalibrationStore.h"
#include "store/Transaction.h"

#include <QHash>

namespace Quorlix {

namespace {

// What one job learns about the channels it settles, each read once, inside its transaction.
class Settling
{
public:
    Settling(const StoreJob& job, JobRun& run)
        : m_job(job), m_run(run), m_queries(run.transaction.db(), job.AnalyzerId)
    {
    }

    // Stores the channel's calibration when its standards are complete; a channel without a test is
    // dropped. `report`: say so when the test has no standard count.
    DbOutcome complete(PendingCalibrations& pending, qint16 channel, bool report)
    {
        std::optional<qint16> parameter;
        if (DbOutcome o = parameterOf(channel, &parameter); !o.ok())
            return o;
        if (!parameter) {
            notes() << QStringLiteral("calibration of channel %1: no parameter for the channel in "
                                      "param2channel: %2 standards not stored")
                           .arg(channel)
                           .arg(pending.drop(channel));
            return DbOutcome::done();
        }
        std::optional<int> count;
        if (DbOutcome o = countOf(*parameter, &count); !o.ok())
            return o;
        if (!count) {
            if (report)
                notes() << QStringLiteral("calibration of parameter %1 (channel %2): calib_base gives no "
                                          "standard count for it on this analyzer: its %3 standards wait, "
                                          "and are not stored as a calibration without one")
                               .arg(*parameter)
                               .arg(channel)
                               .arg(pending.waiting(channel));
            return DbOutcome::done();
        }
        std::optional<CalibrationRecord> calibration = pending.takeComplete(channel, *count);
        if (!calibration)
            return DbOutcome::done();
        calibration->CalParameterId = *parameter;
        return store(*calibration);
    }

    // The channel's standards stopped coming: complete, it is stored; else it goes to the operator
    // or is dropped.
    DbOutcome finish(PendingCalibrations& pending, qint16 channel)
    {
        if (DbOutcome o = complete(pending, channel, false); !o.ok() || pending.waiting(channel) == 0)
            return o;
        const PendingCalibrations::Taken taken = pending.takeAll(channel);
        const qint16 parameter = m_parameters.value(channel);
        const std::optional<int> count = m_counts.value(parameter);
        const QString settings = count ? QStringLiteral("calib_base names %1 standards").arg(*count)
                                       : QStringLiteral("calib_base gives no standard count");
        QList<WaitingStandard> dropped = taken.beyondGap;
        if (!taken.run.isEmpty() && m_job.ShowCalibChart == QLatin1String("1") && m_run.dialogsAvailable) {
            notes() << QStringLiteral("calibration of parameter %1 (channel %2): no standard came for %3 "
                                      "minutes after the %4 received (%5): shown to the operator")
                           .arg(parameter)
                           .arg(channel)
                           .arg(PendingCalibrations::StaleMinutes)
                           .arg(taken.run.size())
                           .arg(settings);
            CalibrationRecord calibration = PendingCalibrations::CalibrationOf(taken.run);
            calibration.CalParameterId = parameter;
            if (DbOutcome o = store(calibration); !o.ok())
                return o;
        } else {
            dropped = taken.run + dropped;
        }
        for (const WaitingStandard& w : std::as_const(dropped))
            notes() << QStringLiteral("%1: no standard followed for %2 minutes and the calibration is not "
                                      "complete (%3): not stored")
                           .arg(PendingCalibrations::Describe(w))
                           .arg(PendingCalibrations::StaleMinutes)
                           .arg(settings);
        return DbOutcome::done();
    }

    bool storedAny() const { return m_storedAny; }

private:
    QStringList& notes() { return m_run.effects.notes; }

    DbOutcome parameterOf(qint16 channel, std::optional<qint16>* out)
    {
        if (!m_mapped) {
            if (DbOutcome o = m_queries.parameters(&m_parameters); !o.ok())
                return o;
            m_mapped = true;
        }
        const auto found = m_parameters.constFind(channel);
        *out = found == m_parameters.constEnd() ? std::nullopt : std::optional<qint16>(found.value());
        return DbOutcome::done();
    }

    // The standard count of calib_base when it is one a calibration can have.
    DbOutcome countOf(qint16 parameter, std::optional<int>* out)
    {
        if (!m_counts.contains(parameter)) {
            std::optional<int> count;
            if (DbOutcome o = m_queries.standardCount(parameter, &count); !o.ok())
                return o;
            if (count && (*count < 1 || *count > MaxStandards))
                count.reset();
            m_counts.insert(parameter, count);
        }
        *out = m_counts.value(parameter);
        return DbOutcome::done();
    }

    DbOutcome store(const CalibrationRecord& calibration)
    {
        static const CalibrationJobKind calibrationKind;
        StoreJob mapped = m_job;
        mapped.kind = &calibrationKind;
        mapped.payload = CalibrationJob{calibration, false};
        m_storedAny = true;
        return StoreCalibrationJob(m_run.transaction, mapped, m_run.dialogsAvailable, m_run.effects);
    }

    const StoreJob& m_job;
    JobRun& m_run;
    AuQueries m_queries;
    bool m_mapped = false;
    QHash<qint16, qint16> m_parameters;
    QHash<qint16, std::optional<int>> m_counts;
    bool m_storedAny = false;
};

} // namespace

DbOutcome StoreAuStandards(const StoreJob& job, const QList<AuCalibrationEntry>& received, JobRun& run)
{
    WaitingStandards rows(run.transaction.db(), job.AnalyzerId);
    QList<WaitingStandard> before;
    if (DbOutcome o = rows.load(&before); !o.ok())
        return o;
    PendingCalibrations pending(before);
    Settling settling(job, run);
    const QDateTime at = FromSqlStamp(job.receivedAt);

    // Calibrations whose standards stopped coming are over before this frame's standards join.
    for (const qint16 channel : pending.finishedChannels(at))
        if (DbOutcome o = settling.finish(pending, channel); !o.ok())
            return o;

    run.effects.notes << pending.add(received, at);
    QList<qint16> frameChannels;
    for (const AuCalibrationEntry& e : received)
        frameChannels << e.channel;
    for (const qint16 channel : pending.channels())
        if (DbOutcome o = settling.complete(pending, channel, frameChannels.contains(channel)); !o.ok())
            return o;

    const bool unchanged = received.isEmpty() && pending.size() == before.size();
    run.nothingToStore = unchanged && !settling.storedAny() && run.effects.notes.isEmpty();
    return rows.save(before, pending.standards());
}

} // namespace Quorlix
