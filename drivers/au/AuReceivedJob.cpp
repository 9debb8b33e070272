#include "AuReceivedJob.h"

#include "AuQueries.h"
#include "store/CalibrationStore.h"
#include "store/ChannelParameters.h"
#include "store/ControlStore.h"
#include "store/RecordJson.h"
#include "store/SampleStore.h"
#include "store/Transaction.h"

namespace Quorlix {

namespace {

QString TargetName(AuReceived::Target target)
{
    switch (target) {
    case AuReceived::Target::Sample:
        return QStringLiteral("sample");
    case AuReceived::Target::Control:
        return QStringLiteral("control");
    case AuReceived::Target::Calibration:
        return QStringLiteral("calibration");
    }
    return {};
}

QString ModelName(AuModel model)
{
    switch (model) {
    case AuModel::Au400:
        return QStringLiteral("AU400");
    case AuModel::Au600:
        return QStringLiteral("AU600");
    case AuModel::Au680:
        return QStringLiteral("AU680");
    }
    return {};
}

DbOutcome MapResults(AuQueries& queries, SampleRecord& sample, QStringList& notes)
{
    QHash<qint16, qint16> parameters;
    if (DbOutcome o = queries.parameters(&parameters); !o.ok())
        return o;
    ApplyParameters(sample, parameters, sample.AuSampleId.trimmed(), notes);
    return DbOutcome::done();
}

} // namespace

DbOutcome CheckAuFlags(AuQueries& queries, AuModel model, ResultEntry& entry)
{
    QString flags = entry.DataAlarm;
    QString value = entry.Value;
    const qint16 p = entry.ParameterId;

    if (WantsAbsorbanceCheck(flags)) {
        flags = QStringLiteral("!");
        AbsorbanceRule rule = AbsorbanceRule::Au600;
        if (model != AuModel::Au600) {
            AuQueries::TestDef test;
            if (DbOutcome o = queries.testDef(p, &test); !o.ok())
                return o;
            rule = test.method.trimmed().toUpper() == QLatin1String("QMS") ? AbsorbanceRule::Qms
                                                                           : AbsorbanceRule::Other;
        }
        std::optional<CalibratedRange> range;
        if (DbOutcome o = queries.latestCalibration(p, &range); !o.ok())
            return o;
        if (range)
            value = ValueAgainstCalibration(value, rule, *range);
    }

    if (model != AuModel::Au600) {
        if (HasFlagLetter(flags, QLatin1Char('F'))) {
            AuQueries::TestDef test;
            if (DbOutcome o = queries.testDef(p, &test); !o.ok())
                return o;
            if (test.found) {
                value = QStringLiteral("99999");
                flags = QStringLiteral("F");
            }
        }
        if (HasFlagLetter(flags, QLatin1Char('G'))) {
            value = QStringLiteral("0");
            flags = QStringLiteral("G");
        }
    }

    entry.Value = value;
    const QString trimmed = flags.trimmed();
    entry.DataAlarm = trimmed.isEmpty() ? QStringLiteral(" ") : trimmed;
    return DbOutcome::done();
}

QString AuReceivedJobKind::describe(const StoreJob& job) const
{
    const AuReceived& r = job.data<AuReceived>();
    if (r.target == AuReceived::Target::Calibration)
        return QStringLiteral("calibration of channel %1").arg(r.calibration.CalChannel);
    return QStringLiteral("%1 %2").arg(TargetName(r.target), r.sample.AuSampleId.trimmed());
}

void AuReceivedJobKind::write(const StoreJob& job, QJsonObject& object) const
{
    const AuReceived& r = job.data<AuReceived>();
    object.insert(QStringLiteral("target"), TargetName(r.target));
    object.insert(QStringLiteral("model"), ModelName(r.model));
    object.insert(QStringLiteral("sample"), SampleToJson(r.sample));
    object.insert(QStringLiteral("calibration"), CalibrationToJson(r.calibration));
}

bool AuReceivedJobKind::read(const QJsonObject& object, StoreJob& job, QString* error) const
{
    JsonReader reader(object, error);
    AuReceived r;
    const QString target = reader.text(QStringLiteral("target"));
    bool known = false;
    for (const auto t :
         {AuReceived::Target::Sample, AuReceived::Target::Control, AuReceived::Target::Calibration})
        if (target == TargetName(t)) {
            r.target = t;
            known = true;
        }
    if (!known)
        reader.fail(QStringLiteral("target"));
    const QString model = reader.text(QStringLiteral("model"));
    known = false;
    for (const auto m : {AuModel::Au400, AuModel::Au600, AuModel::Au680})
        if (model == ModelName(m)) {
            r.model = m;
            known = true;
        }
    if (!known)
        reader.fail(QStringLiteral("model"));
    r.sample = SampleFromJson(reader.object(QStringLiteral("sample")), error);
    r.calibration = CalibrationFromJson(reader.object(QStringLiteral("calibration")), error);
    job.payload = r;
    return error->isEmpty();
}

DbOutcome AuReceivedJobKind::run(const StoreJob& job, JobRun& run) const
{
    static const SampleJobKind sampleKind;
    static const ControlJobKind controlKind;
    static const CalibrationJobKind calibrationKind;
    const AuReceived& r = job.data<AuReceived>();
    AuQueries queries(run.transaction.db(), job.AnalyzerId);
    StoreJob mapped = job;

    if (r.target == AuReceived::Target::Calibration) {
        CalibrationJob calibration{r.calibration, false};
        CalibrationRecord& cal = calibration.calibration;
        QHash<qint16, qint16> parameters;
        if (DbOutcome o = queries.parameters(&parameters); !o.ok())
            return o;
        if (!parameters.contains(cal.CalChannel)) {
            run.effects.notes << QStringLiteral("calibration of channel %1: no parameter for the channel in "
                                                "param2channel: not stored")
                                     .arg(cal.CalChannel);
            run.nothingToStore = true;
            return DbOutcome::done();
        }
        cal.CalParameterId = parameters.value(cal.CalChannel);
        mapped.kind = &calibrationKind;
        mapped.payload = calibration;
        return calibrationKind.run(mapped, run);
    }

    SampleJob sample{r.sample, {}};
    if (DbOutcome o = MapResults(queries, sample.sample, run.effects.notes); !o.ok())
        return o;
    for (qint16 k = 0; k < sample.sample.ResultCount; ++k)
        if (DbOutcome o = CheckAuFlags(queries, r.model, sample.sample.Results[static_cast<size_t>(k)]);
            !o.ok())
            return o;
    const JobKind& kind =
        r.target == AuReceived::Target::Control ? static_cast<const JobKind&>(controlKind) : sampleKind;
    mapped.kind = &kind;
    mapped.payload = sample;
    return kind.run(mapped, run);
}

} // namespace Quorlix
