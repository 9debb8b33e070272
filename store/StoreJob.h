#pragma once

#include "Records.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace Quorlix {

struct Context;

// One received record as a store call sees it: the record itself, the settings the call reads and
// the moment it arrived. Taken once at the start of the call, so that the record can wait in the
// spool and be stored later exactly as it would have been stored at once.
struct StoreJob
{
    enum class Kind
    {
        Sample,
        Control,
        Calibration,
        RepairedCalibration
    };

    Kind kind = Kind::Sample;
    QString receivedAt; // ToSqlStamp of NowStamp when the record arrived
    QString stamp;      // the record's time stamp: receivedAt, or the Indiko measurement time
    QString frameKey;   // analyzer and fingerprint of the received frame; empty when there is none

    QString AnalyzerType;
    QString AnalyzerId;
    QString AutoVal;
    QString OutType;
    std::optional<int> OutComPort;
    QString OutId;
    QString ShowCalibChart;

    SampleRecord sample;           // Sample, Control
    HitachiFrameRecord frame;      // Control (header of the frame toward the LIMS)
    CalibrationRecord calibration; // Calibration, RepairedCalibration
    bool replaceSettings = false;  // RepairedCalibration: also replace calib_base

    bool hasLimsSide() const { return !OutType.isEmpty() && OutComPort.has_value(); }
    bool isIndiko() const { return AnalyzerType.left(3) == QLatin1String("IND"); }
    bool isAu() const { return AnalyzerType.left(3) == QLatin1String("OAU"); }
    // "sample 12345", "control QC01", "calibration of parameter 7": for log lines.
    QString describe() const;
    // The sample or control id the call works with (trimmed), by analyzer type.
    QString recordId() const;
};

// Takes the job of a store call from the context (the calibration of a repaired calibration is
// the caller's to set). Reports to the Monitor what it had to bound.
StoreJob TakeJob(Context& context, StoreJob::Kind kind);

// Keeps the standard count of a calibration within 0..6 (with a Monitor line when it was not).
void BoundStandardCount(const Context& context, CalibrationRecord& calibration);

// The spool file form of a job (with its spool id), and back: FromJson gives nothing, with the
// reason, when the object is not a job this program wrote.
QJsonObject ToJson(const StoreJob& job, const QString& spoolId);
std::optional<StoreJob> FromJson(const QJsonObject& object, QString* spoolId, QString* error);

// What a store call leaves to do once its transaction is committed: Monitor lines about the stored
// values, a frame toward the LIMS, a calibration for the operator to look at.
struct JobEffects
{
    QStringList notes;
    QString limsFrame;
    std::optional<CalibrationRecord> mismatch;
};

// A Monitor line in the communication log (nothing when the context has no log).
void MonitorLine(const Context& context, const QString& text);

} // namespace Quorlix
