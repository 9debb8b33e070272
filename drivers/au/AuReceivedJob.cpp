#include "AuReceivedJob.h"

#include "AuOrder.h"
#include "AuQueries.h"
#include "AuStandardsJob.h"
#include "core/FrameText.h"
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
    case AuReceived::Target::Standards:
        return QStringLiteral("standards");
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

QJsonArray StandardsToJson(const QList<AuCalibrationEntry>& standards)
{
    QJsonArray array;
    for (const AuCalibrationEntry& e : standards) {
        QJsonArray readings;
        for (const QString& r : e.readings)
            readings.append(r);
        array.append(QJsonObject{{QStringLiteral("channel"), e.channel},
                                 {QStringLiteral("standardNo"), e.standardNo},
                                 {QStringLiteral("readings"), readings},
                                 {QStringLiteral("dataAlarm"), e.dataAlarm}});
    }
    return array;
}

QList<AuCalibrationEntry> StandardsFromJson(const QJsonArray& array, QString* error)
{
    QList<AuCalibrationEntry> standards;
    for (const QJsonValue& value : array) {
        JsonReader reader(value.toObject(), error);
        AuCalibrationEntry e;
        e.channel = reader.int16(QStringLiteral("channel"));
        e.standardNo = reader.int16(QStringLiteral("standardNo"));
        const QJsonArray readings = reader.array(QStringLiteral("readings"));
        if (readings.size() != 4)
            reader.fail(QStringLiteral("readings"));
        for (qsizetype r = 0; r < 4 && r < readings.size(); ++r)
            e.readings[static_cast<size_t>(r)] = readings[r].toString();
        e.dataAlarm = reader.text(QStringLiteral("dataAlarm"));
        if (e.standardNo < 1 || e.standardNo > MaxStandards)
            reader.fail(QStringLiteral("standardNo"));
        standards << e;
    }
    return standards;
}

// A calibration spooled by an earlier version, which took it whole from its waiting standards:
// its standards join those that wait.
QList<AuCalibrationEntry> StandardsOfCalibration(const CalibrationRecord& cal)
{
    QList<AuCalibrationEntry> standards;
    for (int s = 0; s < cal.CalStdCount && s < MaxStandards; ++s) {
        const CalStandard& standard = cal.CalStandards[static_cast<size_t>(s)];
        standards << AuCalibrationEntry{cal.CalChannel, qint16(s + 1), standard.Readings, standard.DataAlarm};
    }
    return standards;
}

// Earlier releases wrote the sample's id, rack and cup under names of their own.
QJsonObject UpgradedSample(QJsonObject sample)
{
    const std::pair<const char*, const char*> renamed[] = {
        {"AuSampleId", "CurSampleId"}, {"AuRackNo", "CurSampleDisc"}, {"AuCupPos", "CurSamplePos"}};
    for (const auto& [before, now] : renamed) {
        if (sample.contains(QLatin1String(before)))
            sample.insert(QLatin1String(now), sample.take(QLatin1String(before)));
    }
    return sample;
}

DbOutcome MapResults(AuQueries& queries, SampleRecord& sample, QStringList& notes)
{
    QHash<qint16, qint16> parameters;
    if (DbOutcome o = queries.parameters(&parameters); !o.ok())
        return o;
    ApplyParameters(sample, parameters, sample.SampleId.trimmed(), notes);
    return DbOutcome::done();
}

} // namespace

void SetAuStoreRules(JobKinds& kinds)
{
    FamilyRules au;
    au.decide = [](const StoreJob& job, JobRules& rules) {
        const QString& type = job.AnalyzerType;
        if (type == QLatin1String("OAU400") || type == QLatin1String("OAU600") ||
            type == QLatin1String("OAU680"))
            rules.readingScale = 10000;
        if (type == QLatin1String("OAU600") && !job.OutType.isEmpty())
            rules.mapsSampleIds = true;
        if (job.OutType == QLatin1String("invOAU400") || job.OutType == QLatin1String("invOAU600"))
            rules.limsTakesReports = false;
    };
    kinds.setFamily(QStringLiteral("au"), au);
}

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

QString DescribeAuReceivedJob(const StoreJob& job)
{
    const AuReceived& r = job.data<AuReceived>();
    if (r.target == AuReceived::Target::Standards) {
        QStringList channels;
        for (const AuCalibrationEntry& e : r.standards)
            if (!channels.contains(QString::number(e.channel)))
                channels << QString::number(e.channel);
        return channels.isEmpty() ? QStringLiteral("waiting calibration standards")
                                  : QStringLiteral("calibration standards of channel %1")
                                        .arg(channels.join(QStringLiteral(", ")));
    }
    return QStringLiteral("%1 %2").arg(TargetName(r.target), r.sample.SampleId.trimmed());
}

void WriteAuReceivedJob(const StoreJob& job, QJsonObject& object)
{
    const AuReceived& r = job.data<AuReceived>();
    object.insert(QStringLiteral("target"), TargetName(r.target));
    object.insert(QStringLiteral("model"), ModelName(r.model));
    object.insert(QStringLiteral("sample"), SampleToJson(r.sample));
    object.insert(QStringLiteral("standards"), StandardsToJson(r.standards));
    if (!r.limsRelay.isEmpty())
        object.insert(QStringLiteral("limsRelay"), r.limsRelay);
}

bool ReadAuReceivedJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader reader(object, error);
    AuReceived r;
    const QString target = reader.text(QStringLiteral("target"));
    bool known = false;
    for (const auto t :
         {AuReceived::Target::Sample, AuReceived::Target::Control, AuReceived::Target::Standards})
        if (target == TargetName(t)) {
            r.target = t;
            known = true;
        }
    if (target == QLatin1String("calibration")) {
        r.target = AuReceived::Target::Standards;
        r.standards =
            StandardsOfCalibration(CalibrationFromJson(reader.object(QStringLiteral("calibration")), error));
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
    r.sample = SampleFromJson(UpgradedSample(reader.object(QStringLiteral("sample"))), error);
    if (object.contains(QStringLiteral("standards")))
        r.standards = StandardsFromJson(reader.array(QStringLiteral("standards")), error);
    if (object.contains(QStringLiteral("limsRelay")))
        r.limsRelay = reader.text(QStringLiteral("limsRelay"));
    job.payload = r;
    return error->isEmpty();
}

DbOutcome RunAuReceivedJob(const StoreJob& job, JobRun& run)
{
    static const SampleJobKind sampleKind;
    static const ControlJobKind controlKind;
    const AuReceived& r = job.data<AuReceived>();
    if (r.target == AuReceived::Target::Standards)
        return StoreAuStandards(job, r.standards, run);

    AuQueries queries(run.transaction.db(), job.AnalyzerId);
    StoreJob mapped = job;
    SampleJob sample{r.sample, {}};
    if (DbOutcome o = MapResults(queries, sample.sample, run.effects.notes); !o.ok())
        return o;
    for (qint16 k = 0; k < sample.sample.ResultCount; ++k)
        if (DbOutcome o = CheckAuFlags(queries, r.model, sample.sample.Results[static_cast<size_t>(k)]);
            !o.ok())
            return o;
    if (!r.limsRelay.isEmpty()) {
        // The LIMS gets the control before the store's own frame about it.
        const QString id = WithoutBlanks(r.sample.SampleId);
        QString name;
        const DbOutcome named = run.transaction.skippable([&] { return queries.controlName(id, &name); });
        if (named.kind == DbOutcome::DatabaseFailed)
            return named;
        if (named.kind == DbOutcome::DataRejected)
            run.effects.notes << QStringLiteral(
                                     "name of control \"%1\" could not be read (%2): relayed without it")
                                     .arg(id, named.error);
        run.effects.limsFrames << BuildAuControlFrame(r.limsRelay, name);
    }
    const JobKind& kind =
        r.target == AuReceived::Target::Control ? static_cast<const JobKind&>(controlKind) : sampleKind;
    mapped.kind = &kind;
    mapped.payload = sample;
    return kind.run(mapped, run);
}

} // namespace Quorlix
