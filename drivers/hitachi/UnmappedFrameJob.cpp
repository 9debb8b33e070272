#include "UnmappedFrameJob.h"

#include "ChannelMap.h"
#include "HitachiQueries.h"
#include "store/ControlStore.h"
#include "store/RecordJson.h"
#include "store/Transaction.h"

namespace Quorlix {

namespace {

QString TargetName(UnmappedFrame::Target target)
{
    switch (target) {
    case UnmappedFrame::Target::Sample:
        return QStringLiteral("sample");
    case UnmappedFrame::Target::Control:
        return QStringLiteral("control");
    case UnmappedFrame::Target::Calibration:
        return QStringLiteral("calibration");
    }
    return {};
}

} // namespace

QString DescribeUnmappedFrameJob(const StoreJob& job)
{
    const UnmappedFrame& frame = job.data<UnmappedFrame>();
    if (frame.target == UnmappedFrame::Target::Calibration)
        return QStringLiteral("calibration of channel %1").arg(frame.calibration.calibration.CalChannel);
    return QStringLiteral("%1 %2").arg(TargetName(frame.target), frame.sample.sample.SampleId.trimmed());
}

void WriteUnmappedFrameJob(const StoreJob& job, QJsonObject& object)
{
    const UnmappedFrame& frame = job.data<UnmappedFrame>();
    object.insert(QStringLiteral("target"), TargetName(frame.target));
    object.insert(QStringLiteral("ofThisAnalyzer"), frame.ofThisAnalyzer);
    object.insert(QStringLiteral("sample"), SampleToJson(frame.sample.sample));
    object.insert(QStringLiteral("frame"), FrameToJson(frame.sample.frame));
    object.insert(QStringLiteral("calibration"), CalibrationToJson(frame.calibration.calibration));
}

bool ReadUnmappedFrameJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader r(object, error);
    UnmappedFrame frame;
    const QString target = r.text(QStringLiteral("target"));
    if (target == QLatin1String("sample"))
        frame.target = UnmappedFrame::Target::Sample;
    else if (target == QLatin1String("control"))
        frame.target = UnmappedFrame::Target::Control;
    else if (target == QLatin1String("calibration"))
        frame.target = UnmappedFrame::Target::Calibration;
    else
        r.fail(QStringLiteral("target"));
    frame.ofThisAnalyzer = r.boolean(QStringLiteral("ofThisAnalyzer"));
    frame.sample.sample = SampleFromJson(r.object(QStringLiteral("sample")), error);
    frame.sample.frame = FrameFromJson(r.object(QStringLiteral("frame")), error);
    frame.calibration.calibration = CalibrationFromJson(r.object(QStringLiteral("calibration")), error);
    job.payload = frame;
    return error->isEmpty();
}

DbOutcome RunUnmappedFrameJob(const StoreJob& job, JobRun& run)
{
    static const SampleJobKind sampleKind;
    static const ControlJobKind controlKind;
    static const CalibrationJobKind calibrationKind;
    const UnmappedFrame& frame = job.data<UnmappedFrame>();
    Database& db = run.transaction.db();
    QString error;
    StoreJob mapped = job;
    if (frame.target == UnmappedFrame::Target::Calibration) {
        CalibrationJob calibration = frame.calibration;
        CalibrationRecord& cal = calibration.calibration;
        const std::optional<QHash<qint16, qint16>> found =
            HitachiQueries(db, job.AnalyzerId).parametersOfChannels({cal.CalChannel}, false, &error);
        if (!found)
            return DbOutcome::databaseFailed(QStringLiteral("param2channel cannot be read: %1").arg(error));
        if (!found->contains(cal.CalChannel)) {
            run.effects.notes << QStringLiteral("calibration of channel %1: no parameter for the channel in "
                                                "param2channel: not stored")
                                     .arg(cal.CalChannel);
            run.nothingToStore = true;
            return DbOutcome::done();
        }
        cal.CalParameterId = found->value(cal.CalChannel);
        mapped.kind = &calibrationKind;
        mapped.payload = calibration;
        return calibrationKind.run(mapped, run);
    }
    SampleJob sample = frame.sample;
    const std::optional<QHash<qint16, qint16>> found =
        HitachiQueries(db, job.AnalyzerId)
            .parametersOfChannels(ChannelsOf(sample.sample), frame.ofThisAnalyzer, &error);
    if (!found)
        return DbOutcome::databaseFailed(QStringLiteral("param2channel cannot be read: %1").arg(error));
    ApplyParameters(sample.sample, *found, sample.sample.SampleId, run.effects.notes);
    const JobKind& kind = frame.target == UnmappedFrame::Target::Control
                              ? static_cast<const JobKind&>(controlKind)
                              : sampleKind;
    mapped.kind = &kind;
    mapped.payload = sample;
    return kind.run(mapped, run);
}

} // namespace Quorlix
