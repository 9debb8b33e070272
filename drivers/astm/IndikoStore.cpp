#include "IndikoStore.h"

#include "IndikoComment.h"
#include "core/Database.h"
#include "core/Stamps.h"
#include "store/ControlStore.h"
#include "store/RecordJson.h"
#include "store/SampleStore.h"
#include "store/StoreValues.h"
#include "store/Transaction.h"

namespace Quorlix {

namespace {

// The parameter of a test code on this analyzer; nothing when it has none.
DbOutcome ParameterOf(Database& db, const QString& testCode, const QString& analyzerId,
                      std::optional<qint16>* parameter)
{
    SqlResult row = db.run(
        QStringLiteral("SELECT parameter_id FROM param2channel WHERE testiddsx = ? AND analyzer_id = ?"),
        {testCode, BoundText(analyzerId)});
    if (!row.ok())
        return DbOutcome::of(db, row);
    *parameter = row.next() && !row.value(0).isNull()
                     ? std::optional<qint16>(static_cast<qint16>(row.value(0).toInt()))
                     : std::nullopt;
    return DbOutcome::done();
}

// The result as the sample and control stores take it: one entry, stamped with the message time.
StoreJob ResolvedJob(const StoreJob& job, qint16 parameter)
{
    const IndikoResultRecord& r = job.data<IndikoResultRecord>();
    SampleJob resolved;
    SampleRecord& s = resolved.sample;
    s.SampleId = r.sampleId;
    s.SampleDisc = r.disc;
    s.SamplePos = r.position;
    s.MeasuredAt = FromSqlStamp(job.stamp);
    s.ResultCount = 1;
    s.Results[0].ParameterId = parameter;
    s.Results[0].Value = r.value;
    StoreJob out = job;
    out.payload = resolved;
    return out;
}

bool IsIndiko(const StoreJob& job)
{
    return job.AnalyzerType.left(3) == QLatin1String("IND");
}

// Earlier releases spooled each result as a sample or control record, its id, disc and position
// under names of their own (its one result and the message time were already settled).
void UpgradeSampleRecord(const StoreJob& job, QJsonObject& object)
{
    QJsonObject sample = object.value(QStringLiteral("sample")).toObject();
    if (!IsIndiko(job) || !sample.contains(QStringLiteral("IndSampleId")))
        return;
    const std::pair<const char*, const char*> renamed[] = {
        {"IndSampleId", "CurSampleId"}, {"IndSampleDisc", "CurSampleDisc"}, {"IndSamplePos", "CurSamplePos"}};
    for (const auto& [before, now] : renamed)
        sample.insert(QLatin1String(now), sample.value(QLatin1String(before)));
    object.insert(QStringLiteral("sample"), sample);
}

} // namespace

void SetIndikoStoreRules(JobKinds& kinds)
{
    FamilyRules indiko;
    indiko.decide = [](const StoreJob& job, JobRules& rules) {
        if (IsIndiko(job))
            rules.restampsRun = true;
    };
    indiko.upgrade = UpgradeSampleRecord;
    kinds.setFamily(QStringLiteral("indiko"), indiko);
}

QString DescribeIndikoResultJob(const StoreJob& job)
{
    const IndikoResultRecord& r = job.data<IndikoResultRecord>();
    return QStringLiteral("%1 %2 test %3")
        .arg(r.control ? QStringLiteral("control") : QStringLiteral("sample"), r.sampleId.trimmed(),
             r.testCode);
}

void WriteIndikoResultJob(const StoreJob& job, QJsonObject& object)
{
    const IndikoResultRecord& r = job.data<IndikoResultRecord>();
    QJsonArray comments;
    for (const IndikoResultRecord::Comment& c : r.comments)
        comments.append(
            QJsonObject{{QStringLiteral("dataAlarm"), c.dataAlarm}, {QStringLiteral("text"), c.text}});
    object.insert(QStringLiteral("result"), QJsonObject{{QStringLiteral("sampleId"), r.sampleId},
                                                        {QStringLiteral("disc"), r.disc},
                                                        {QStringLiteral("position"), r.position},
                                                        {QStringLiteral("testCode"), r.testCode},
                                                        {QStringLiteral("value"), r.value},
                                                        {QStringLiteral("control"), r.control},
                                                        {QStringLiteral("comments"), comments}});
}

bool ReadIndikoResultJob(const QJsonObject& object, StoreJob& job, QString* error)
{
    JsonReader outer(object, error);
    JsonReader r(outer.object(QStringLiteral("result")), error);
    IndikoResultRecord result;
    result.sampleId = r.text(QStringLiteral("sampleId"));
    result.disc = r.text(QStringLiteral("disc"));
    result.position = r.text(QStringLiteral("position"));
    result.testCode = r.text(QStringLiteral("testCode"));
    result.value = r.text(QStringLiteral("value"));
    result.control = r.boolean(QStringLiteral("control"));
    for (const QJsonValue& item : r.array(QStringLiteral("comments"))) {
        JsonReader c(item.toObject(), error);
        result.comments.append({c.text(QStringLiteral("dataAlarm")), c.text(QStringLiteral("text"))});
    }
    job.payload = result;
    return error->isEmpty();
}

DbOutcome RunIndikoResultJob(const StoreJob& job, JobRun& run)
{
    Database& db = run.transaction.db();
    const IndikoResultRecord& r = job.data<IndikoResultRecord>();
    std::optional<qint16> parameter;
    if (DbOutcome o = ParameterOf(db, r.testCode, job.AnalyzerId, &parameter); !o.ok())
        return o;
    if (!parameter) {
        run.effects.notes << QStringLiteral("Received unknown parameter: ") + r.testCode;
        run.nothingToStore = true;
        return DbOutcome::done();
    }

    const StoreJob resolved = ResolvedJob(job, *parameter);
    const DbOutcome stored = r.control ? StoreControlJob(resolved, run) : StoreSampleJob(resolved, run);
    if (!stored.ok())
        return stored;
    // Each comment lands on the result just stored: same id, parameter, analyzer and time stamp.
    for (const IndikoResultRecord::Comment& c : r.comments) {
        const IndikoComment comment{r.sampleId.trimmed(), *parameter, c.dataAlarm, c.text, r.control};
        if (DbOutcome o = StoreIndikoComment(db, resolved, comment); !o.ok())
            return o;
    }
    return DbOutcome::done();
}

} // namespace Quorlix
