#include "RecordJson.h"

namespace Quorlix {

QString JsonReader::text(const QString& key)
{
    const QJsonValue v = m_object.value(key);
    if (!v.isString())
        fail(key);
    return v.toString();
}

qint16 JsonReader::int16(const QString& key)
{
    const QJsonValue v = m_object.value(key);
    const double d = v.toDouble();
    if (!v.isDouble() || d != static_cast<double>(static_cast<qint16>(d)))
        fail(key);
    return static_cast<qint16>(d);
}

bool JsonReader::boolean(const QString& key)
{
    const QJsonValue v = m_object.value(key);
    if (!v.isBool())
        fail(key);
    return v.toBool();
}

QJsonArray JsonReader::array(const QString& key)
{
    const QJsonValue v = m_object.value(key);
    if (!v.isArray())
        fail(key);
    return v.toArray();
}

QJsonObject JsonReader::object(const QString& key)
{
    const QJsonValue v = m_object.value(key);
    if (!v.isObject())
        fail(key);
    return v.toObject();
}

void JsonReader::fail(const QString& what)
{
    if (m_error->isEmpty())
        *m_error = QStringLiteral("field %1 is missing or malformed").arg(what);
}

namespace {

// The plain fields of each record with their names in the spool file, in the order they are read
// back. One list serves writing and reading, so that the two cannot drift apart.
// A sample's fields keep the names earlier releases gave them. Those releases also wrote fields of
// some analyzer families under names of their own: the families' upgrades read those
// (FamilyRules::upgrade); the measurement time travels as the job's stamp.
template <typename Sample, typename Visit> void SampleFields(Sample& s, Visit& visit)
{
    visit("CurSampleId", s.SampleId);
    visit("CurSampleDisc", s.SampleDisc);
    visit("CurSamplePos", s.SamplePos);
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

} // namespace

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

SampleRecord SampleFromJson(const QJsonObject& o, QString* error)
{
    JsonReader r(o, error);
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
        JsonReader e(results.at(k).toObject(), error);
        ResultFields(s.Results[static_cast<size_t>(k)], e);
    }
    return s;
}

HitachiFrameRecord FrameFromJson(const QJsonObject& o, QString* error)
{
    JsonReader r(o, error);
    HitachiFrameRecord f;
    FrameFields(f, r);
    return f;
}

CalibrationRecord CalibrationFromJson(const QJsonObject& o, QString* error)
{
    JsonReader r(o, error);
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
        JsonReader s(standards.at(j).toObject(), error);
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

} // namespace Quorlix
