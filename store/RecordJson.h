#pragma once

#include "Records.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace Quorlix {

// Reads the fields of a spool file's JSON object strictly: a missing field, or one of another
// type, is an error (the first one is kept).
class JsonReader
{
public:
    JsonReader(const QJsonObject& object, QString* error) : m_object(object), m_error(error) {}

    QString text(const QString& key);
    qint16 int16(const QString& key);
    bool boolean(const QString& key);
    QJsonArray array(const QString& key);
    QJsonObject object(const QString& key);
    void fail(const QString& what);
    bool failed() const { return !m_error->isEmpty(); }

    // Visitor form for the field lists below.
    void operator()(const char* key, QString& into) { into = text(QLatin1String(key)); }
    void operator()(const char* key, qint16& into) { into = int16(QLatin1String(key)); }

private:
    QJsonObject m_object;
    QString* m_error;
};

// The records of the shared record types in a spool file, and back.
QJsonObject SampleToJson(const SampleRecord& sample);
SampleRecord SampleFromJson(const QJsonObject& object, QString* error);
QJsonObject FrameToJson(const HitachiFrameRecord& frame);
HitachiFrameRecord FrameFromJson(const QJsonObject& object, QString* error);
QJsonObject CalibrationToJson(const CalibrationRecord& calibration);
CalibrationRecord CalibrationFromJson(const QJsonObject& object, QString* error);

} // namespace Quorlix
