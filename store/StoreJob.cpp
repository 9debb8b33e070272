#include "StoreJob.h"

#include <QCryptographicHash>

#include "../core/CommLog.h"
#include "../core/Context.h"

#include <QJsonArray>

namespace Quorlix {

namespace {

constexpr int SpoolFormatVersion = 1;

QString KindName(StoreJob::Kind kind)
{
    switch (kind) {
    case StoreJob::Kind::Sample:
        return QStringLiteral("sample");
    case StoreJob::Kind::Control:
        return QStringLiteral("control");
    case StoreJob::Kind::Calibration:
        return QStringLiteral("calibration");
    case StoreJob::Kind::RepairedCalibration:
        return QStringLiteral("repaired-calibration");
    }
    return {};
}

std::optional<StoreJob::Kind> KindOf(const QString& name)
{
    for (StoreJob::Kind kind : {StoreJob::Kind::Sample, StoreJob::Kind::Control, StoreJob::Kind::Calibration,
                                StoreJob::Kind::RepairedCalibration}) {
        if (KindName(kind) == name)
            return kind;
    }
    return std::nullopt;
}

// The plain fields of each record with their names in the spool file, in the order they are read
// back. One list serves writing and reading, so that the two cannot drift apart.
template <typename Sample, typename Visit> void SampleFields(Sample& s, Visit& visit)
{
    visit("CurSampleId", s.CurSampleId);
    visit("CurSampleDisc", s.CurSampleDisc);
    visit("CurSamplePos", s.CurSamplePos);
    visit("AuSampleId", s.AuSampleId);
    visit("AuRackNo", s.AuRackNo);
    visit("AuCupPos", s.AuCupPos);
    visit("IndSampleId", s.IndSampleId);
    visit("IndSampleDisc", s.IndSampleDisc);
    visit("IndSamplePos", s.IndSamplePos);
    visit("IndParameterId", s.IndParameterId);
    visit("IndResult", s.IndResult);
    visit("IndMeasTime", s.IndMeasTime);
}

template <typename Entry, typename Visit> void ResultFields(Entry& e, Visit& visit)
{
    visit("ParameterId", e.ParameterId);
    visit("Channel", e.Channel);
    visit("Value", e.Value);
    visit("DataAlarm", e.DataAlarm);
}

template <typename Frame, typename Visit> void FrameFields(Frame& f, Visit& visit)
{
    visit("CurFrameStart", f.CurFrameStart);
    visit("CurFunction", f.CurFunction);
    visit("CurFrameClass", f.CurFrameClass);
    visit("CurMark", f.CurMark);
    visit("CurFlag1", f.CurFlag1);
    visit("CurFlag2", f.CurFlag2);
    visit("CurNumber", f.CurNumber);
    visit("CurInfo1", f.CurInfo1);
    visit("CurInfo2", f.CurInfo2);
    visit("CurDate", f.CurDate);
    visit("CurTime", f.CurTime);
    visit("CurFrameEnd", f.CurFrameEnd);
}

template <typename Calibration, typename Visit> void CalibrationFields(Calibration& c, Visit& visit)
{
    visit("CalChannel", c.CalChannel);
    visit("CalParameterId", c.CalParameterId);
    visit("CalStdCount", c.CalStdCount);
    visit("CalAlarm", c.CalAlarm);
    visit("CalSdValue", c.CalSdValue);
}

// Collects the fields it is shown into a JSON object.
struct Writer
{
    void operator()(const char* key, const QString& value) { object.insert(QLatin1String(key), value); }
    void operator()(const char* key, qint16 value) { object.insert(QLatin1String(key), value); }

    QJsonObject object;
};

QJsonObject SampleToJson(const SampleRecord& s)
{
    QJsonArray results;
    for (int k = 0; k < s.ResultCount; ++k) {
        Writer entry;
        ResultFields(s.Results[static_cast<size_t>(k)], entry);
        results.append(entry.object);
    }
    Writer w;
    SampleFields(s, w);
    w.object.insert(QStringLiteral("Results"), results);
    return w.object;
}

QJsonObject FrameToJson(const HitachiFrameRecord& f)
{
    Writer w;
    FrameFields(f, w);
    return w.object;
}

QJsonObject CalibrationToJson(const CalibrationRecord& c)
{
    QJsonArray standards;
    for (const CalStandard& s : c.CalStandards) {
        QJsonArray readings;
        for (const QString& r : s.Readings)
            readings.append(r);
        standards.append(QJsonObject{{QStringLiteral("StdNo"), s.StdNo},
                                     {QStringLiteral("Readings"), readings},
                                     {QStringLiteral("Concentration"), s.Concentration},
                                     {QStringLiteral("DataAlarm"), s.DataAlarm},
                                     {QStringLiteral("ProzoneValue"), s.ProzoneValue}});
    }
    Writer w;
    CalibrationFields(c, w);
    w.object.insert(QStringLiteral("CalStandards"), standards);
    return w.object;
}

// Reads the fields of a JSON object strictly: a missing field or one of another type is an error.
class Reader
{
public:
    explicit Reader(const QJsonObject& object, QString* error) : m_object(object), m_error(error) {}

    // Reads each field it is shown.
    void operator()(const char* key, QString& into) { into = text(QLatin1String(key)); }
    void operator()(const char* key, qint16& into) { into = int16(QLatin1String(key)); }

    QString text(const QString& key)
    {
        const QJsonValue v = m_object.value(key);
        if (!v.isString())
            fail(key);
        return v.toString();
    }
    qint16 int16(const QString& key)
    {
        const QJsonValue v = m_object.value(key);
        const double d = v.toDouble();
        if (!v.isDouble() || d != static_cast<double>(static_cast<qint16>(d)))
            fail(key);
        return static_cast<qint16>(d);
    }
    QJsonArray array(const QString& key)
    {
        const QJsonValue v = m_object.value(key);
        if (!v.isArray())
            fail(key);
        return v.toArray();
    }
    QJsonObject object(const QString& key)
    {
        const QJsonValue v = m_object.value(key);
        if (!v.isObject())
            fail(key);
        return v.toObject();
    }
    void fail(const QString& what)
    {
        if (m_error->isEmpty())
            *m_error = QStringLiteral("field %1 is missing or malformed").arg(what);
    }

private:
    QJsonObject m_object;
    QString* m_error;
};

SampleRecord SampleFromJson(const QJsonObject& o, QString* error)
{
    Reader r(o, error);
    SampleRecord s;
    SampleFields(s, r);
    const QJsonArray results = r.array(QStringLiteral("Results"));
    if (results.size() > MaxResults) {
        r.fail(QStringLiteral("Results"));
        return s;
    }
    s.ResultCount = static_cast<qint16>(results.size());
    for (qsizetype k = 0; k < results.size(); ++k) {
        if (!results.at(k).isObject()) {
            r.fail(QStringLiteral("Results"));
            return s;
        }
        Reader e(results.at(k).toObject(), error);
        ResultFields(s.Results[static_cast<size_t>(k)], e);
    }
    return s;
}

HitachiFrameRecord FrameFromJson(const QJsonObject& o, QString* error)
{
    Reader r(o, error);
    HitachiFrameRecord f;
    FrameFields(f, r);
    return f;
}

CalibrationRecord CalibrationFromJson(const QJsonObject& o, QString* error)
{
    Reader r(o, error);
    CalibrationRecord c;
    CalibrationFields(c, r);
    if (c.CalStdCount < 0 || c.CalStdCount > MaxStandards)
        r.fail(QStringLiteral("CalStdCount"));
    const QJsonArray standards = r.array(QStringLiteral("CalStandards"));
    if (standards.size() != MaxStandards) {
        r.fail(QStringLiteral("CalStandards"));
        return c;
    }
    for (qsizetype j = 0; j < MaxStandards; ++j) {
        Reader s(standards.at(j).toObject(), error);
        CalStandard& standard = c.CalStandards[static_cast<size_t>(j)];
        standard.StdNo = s.text(QStringLiteral("StdNo"));
        const QJsonArray readings = s.array(QStringLiteral("Readings"));
        if (readings.size() != 4) {
            s.fail(QStringLiteral("Readings"));
            return c;
        }
        for (qsizetype i = 0; i < 4; ++i) {
            if (!readings.at(i).isString())
                s.fail(QStringLiteral("Readings"));
            standard.Readings[static_cast<size_t>(i)] = readings.at(i).toString();
        }
        standard.Concentration = s.text(QStringLiteral("Concentration"));
        standard.DataAlarm = s.text(QStringLiteral("DataAlarm"));
        standard.ProzoneValue = s.text(QStringLiteral("ProzoneValue"));
    }
    return c;
}

} // namespace

void MonitorLine(const Context& context, const QString& text)
{
    if (context.log)
        context.log->monitor(text);
}

QString StoreJob::recordId() const
{
    switch (kind) {
    case Kind::Calibration:
    case Kind::RepairedCalibration:
        return {};
    case Kind::Sample:
    case Kind::Control:
        break;
    }
    if (isAu())
        return sample.AuSampleId.trimmed();
    if (isIndiko())
        return sample.IndSampleId.trimmed();
    return sample.CurSampleId.trimmed();
}

QString StoreJob::describe() const
{
    switch (kind) {
    case Kind::Sample:
        return QStringLiteral("sample %1").arg(recordId());
    case Kind::Control:
        return QStringLiteral("control %1").arg(recordId());
    case Kind::Calibration:
        return QStringLiteral("calibration of parameter %1").arg(calibration.CalParameterId);
    case Kind::RepairedCalibration:
        return QStringLiteral("repaired calibration of parameter %1").arg(calibration.CalParameterId);
    }
    return {};
}

void BoundStandardCount(const Context& context, CalibrationRecord& calibration)
{
    qint16& count = calibration.CalStdCount;
    if (count >= 0 && count <= MaxStandards)
        return;
    const qint16 bounded = count < 0 ? qint16(0) : qint16(MaxStandards);
    MonitorLine(context, QStringLiteral(
                             "calibration of parameter %1: standard count %2 is outside 0..%3; %4 are stored")
                             .arg(calibration.CalParameterId)
                             .arg(count)
                             .arg(MaxStandards)
                             .arg(bounded));
    count = bounded;
}

StoreJob TakeJob(Context& context, StoreJob::Kind kind)
{
    StoreJob job;
    job.kind = kind;
    job.receivedAt = context.sqlNow();
    job.stamp = job.receivedAt;
    const Settings& s = context.settings;
    if (!context.receivedFrame.isEmpty()) {
        const QByteArray digest = QCryptographicHash::hash(context.receivedFrame.toLatin1(), QCryptographicHash::Sha1);
        job.frameKey = s.AnalyzerId.left(200) + QLatin1Char(':') + QString::fromLatin1(digest.toHex());
    }
    job.AnalyzerType = s.AnalyzerType;
    job.AnalyzerId = s.AnalyzerId;
    job.AutoVal = s.AutoVal;
    job.OutType = s.OutType;
    job.OutComPort = s.OutComPort;
    job.OutId = s.OutId;
    job.ShowCalibChart = s.ShowCalibChart;

    if (kind == StoreJob::Kind::Sample || kind == StoreJob::Kind::Control) {
        SampleRecord& record = context.sample;
        if (job.isIndiko()) {
            // The Indiko delivers one result per record: it becomes entry 0 of the result list.
            record.ResultCount = 1;
            record.Results[0].ParameterId = record.IndParameterId;
            record.Results[0].Value = record.IndResult;
            const QString measured = ToSqlStamp(record.IndMeasTime, context.locale);
            if (FromSqlStamp(measured).isValid()) {
                job.stamp = measured;
            } else {
                MonitorLine(
                    context,
                    QStringLiteral("%1: measurement time \"%2\" is not a date; the time of receipt is used")
                        .arg(record.IndSampleId.trimmed(), record.IndMeasTime));
            }
        }
        if (record.ResultCount < 0 || record.ResultCount > MaxResults) {
            const qint16 bounded = record.ResultCount < 0 ? qint16(0) : qint16(MaxResults);
            MonitorLine(context, QStringLiteral("result count %1 is outside 0..%2; %3 results are stored")
                                     .arg(record.ResultCount)
                                     .arg(MaxResults)
                                     .arg(bounded));
            record.ResultCount = bounded;
        }
        job.sample = record;
        job.frame = context.frame;
    } else if (kind == StoreJob::Kind::Calibration) {
        job.calibration = context.calibration;
        BoundStandardCount(context, job.calibration);
    }
    return job;
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
        {QStringLiteral("ShowCalibChart"), job.ShowCalibChart}};
    QJsonObject object{
        {QStringLiteral("format"), SpoolFormatVersion}, {QStringLiteral("id"), spoolId},
        {QStringLiteral("kind"), KindName(job.kind)},   {QStringLiteral("receivedAt"), job.receivedAt},
        {QStringLiteral("frameKey"), job.frameKey},
        {QStringLiteral("stamp"), job.stamp},           {QStringLiteral("settings"), settings}};
    if (job.kind == StoreJob::Kind::Sample || job.kind == StoreJob::Kind::Control) {
        object.insert(QStringLiteral("sample"), SampleToJson(job.sample));
        object.insert(QStringLiteral("frame"), FrameToJson(job.frame));
    } else {
        object.insert(QStringLiteral("calibration"), CalibrationToJson(job.calibration));
        object.insert(QStringLiteral("replaceSettings"), job.replaceSettings);
    }
    return object;
}

std::optional<StoreJob> FromJson(const QJsonObject& object, QString* spoolId, QString* error)
{
    QString problem;
    Reader r(object, &problem);
    if (object.value(QStringLiteral("format")).toInt() != SpoolFormatVersion) {
        *error = QStringLiteral("unknown format");
        return std::nullopt;
    }
    StoreJob job;
    const std::optional<StoreJob::Kind> kind = KindOf(r.text(QStringLiteral("kind")));
    if (!kind)
        r.fail(QStringLiteral("kind"));
    job.kind = kind.value_or(StoreJob::Kind::Sample);
    *spoolId = r.text(QStringLiteral("id"));
    if (spoolId->isEmpty())
        r.fail(QStringLiteral("id"));
    job.receivedAt = r.text(QStringLiteral("receivedAt"));
    job.stamp = r.text(QStringLiteral("stamp"));
    job.frameKey = object.value(QStringLiteral("frameKey")).toString();
    if (!FromSqlStamp(job.receivedAt).isValid())
        r.fail(QStringLiteral("receivedAt"));
    if (!FromSqlStamp(job.stamp).isValid())
        r.fail(QStringLiteral("stamp"));

    const QJsonObject settings = r.object(QStringLiteral("settings"));
    Reader s(settings, &problem);
    job.AnalyzerType = s.text(QStringLiteral("AnalyzerType"));
    job.AnalyzerId = s.text(QStringLiteral("AnalyzerId"));
    job.AutoVal = s.text(QStringLiteral("AutoVal"));
    job.OutType = s.text(QStringLiteral("OutType"));
    job.OutId = s.text(QStringLiteral("OutId"));
    job.ShowCalibChart = s.text(QStringLiteral("ShowCalibChart"));
    const QJsonValue port = settings.value(QStringLiteral("OutComPort"));
    if (port.isDouble())
        job.OutComPort = port.toInt();
    else if (!port.isNull())
        s.fail(QStringLiteral("OutComPort"));

    if (job.kind == StoreJob::Kind::Sample || job.kind == StoreJob::Kind::Control) {
        job.sample = SampleFromJson(r.object(QStringLiteral("sample")), &problem);
        job.frame = FrameFromJson(r.object(QStringLiteral("frame")), &problem);
    } else {
        job.calibration = CalibrationFromJson(r.object(QStringLiteral("calibration")), &problem);
        const QJsonValue replace = object.value(QStringLiteral("replaceSettings"));
        if (!replace.isBool())
            r.fail(QStringLiteral("replaceSettings"));
        job.replaceSettings = replace.toBool();
    }
    if (!problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    return job;
}

} // namespace Quorlix
