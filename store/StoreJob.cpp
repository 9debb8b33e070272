#include "StoreJob.h"

#include "RecordJson.h"
#include "core/Stamps.h"

namespace Quorlix {

namespace {

constexpr int SpoolFormatVersion = 1;

} // namespace

QString StoreJob::describe() const
{
    return kind ? kind->describe(*this) : QStringLiteral("record");
}

bool JobKinds::add(std::unique_ptr<JobKind> kind)
{
    if (!kind || find(kind->name()))
        return false;
    m_kinds.push_back(std::move(kind));
    return true;
}

const JobKind* JobKinds::find(const QString& name) const
{
    for (const auto& kind : m_kinds) {
        if (kind->name() == name)
            return kind.get();
    }
    return nullptr;
}

void JobKinds::setFamily(const QString& name, FamilyRules family)
{
    for (auto& [known, rules] : m_families) {
        if (known == name) {
            rules = std::move(family);
            return;
        }
    }
    m_families.emplace_back(name, std::move(family));
}

JobRules JobKinds::rulesFor(const StoreJob& job) const
{
    JobRules rules;
    for (const auto& [name, family] : m_families) {
        if (family.decide)
            family.decide(job, rules);
    }
    return rules;
}

void JobKinds::upgrade(const StoreJob& job, QJsonObject& object) const
{
    for (const auto& [name, family] : m_families) {
        if (family.upgrade)
            family.upgrade(job, object);
    }
}

QJsonObject ToJson(const StoreJob& job, const QString& spoolId)
{
    QJsonObject settings{
        {QStringLiteral("AnalyzerType"), job.AnalyzerType},
        {QStringLiteral("AnalyzerId"), job.AnalyzerId},
        {QStringLiteral("AutoVal"), job.AutoVal},
        {QStringLiteral("OutType"), job.OutType},
        {QStringLiteral("OutComPort"), job.OutComPort ? QJsonValue(*job.OutComPort) : QJsonValue()},
        {QStringLiteral("OutId"), job.OutId},
        {QStringLiteral("ShowCalibChart"), job.ShowCalibChart},
        {QStringLiteral("QcHold"), job.QcHold}};
    QJsonObject object{{QStringLiteral("format"), SpoolFormatVersion},
                       {QStringLiteral("id"), spoolId},
                       {QStringLiteral("kind"), job.kind ? job.kind->name() : QString()},
                       {QStringLiteral("receivedAt"), job.receivedAt},
                       {QStringLiteral("frameKey"), job.frameKey},
                       {QStringLiteral("frameWindow"), job.frameWindowMinutes},
                       {QStringLiteral("stamp"), job.stamp},
                       {QStringLiteral("settings"), settings}};
    if (job.kind)
        job.kind->write(job, object);
    return object;
}

std::optional<StoreJob> FromJson(const QJsonObject& object, const JobKinds& kinds, QString* spoolId,
                                 QString* error)
{
    QString problem;
    JsonReader r(object, &problem);
    if (object.value(QStringLiteral("format")).toInt() != SpoolFormatVersion) {
        *error = QStringLiteral("unknown format");
        return std::nullopt;
    }
    StoreJob job;
    const QString kindName = r.text(QStringLiteral("kind"));
    job.kind = kinds.find(kindName);
    if (!job.kind) {
        *error = QStringLiteral("a record of kind \"%1\", which this program does not store").arg(kindName);
        return std::nullopt;
    }
    *spoolId = r.text(QStringLiteral("id"));
    if (spoolId->isEmpty())
        r.fail(QStringLiteral("id"));
    job.receivedAt = r.text(QStringLiteral("receivedAt"));
    job.stamp = r.text(QStringLiteral("stamp"));
    job.frameKey = object.value(QStringLiteral("frameKey")).toString();
    job.frameWindowMinutes = object.value(QStringLiteral("frameWindow")).toInt(); // absent in older files
    if (!FromSqlStamp(job.receivedAt).isValid())
        r.fail(QStringLiteral("receivedAt"));
    if (!FromSqlStamp(job.stamp).isValid())
        r.fail(QStringLiteral("stamp"));

    const QJsonObject settings = r.object(QStringLiteral("settings"));
    JsonReader s(settings, &problem);
    job.AnalyzerType = s.text(QStringLiteral("AnalyzerType"));
    job.AnalyzerId = s.text(QStringLiteral("AnalyzerId"));
    job.AutoVal = s.text(QStringLiteral("AutoVal"));
    job.OutType = s.text(QStringLiteral("OutType"));
    job.OutId = s.text(QStringLiteral("OutId"));
    job.ShowCalibChart = s.text(QStringLiteral("ShowCalibChart"));
    job.QcHold = settings.value(QStringLiteral("QcHold")).toBool(); // absent in older files: off
    const QJsonValue port = settings.value(QStringLiteral("OutComPort"));
    if (port.isDouble())
        job.OutComPort = port.toInt();
    else if (!port.isNull())
        s.fail(QStringLiteral("OutComPort"));

    job.rules = kinds.rulesFor(job);

    if (problem.isEmpty()) {
        QJsonObject present = object;
        kinds.upgrade(job, present);
        job.kind->read(present, job, &problem);
    }
    if (!problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    return job;
}

} // namespace Quorlix
