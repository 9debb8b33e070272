#pragma once

#include "DbOutcome.h"
#include "StoreJob.h"

namespace Quorlix {

class Transaction;

// The record of a calibration; replaceSettings (a repaired calibration only): also replace the
// calib_base settings with its standard count and concentrations.
struct CalibrationJob
{
    CalibrationRecord calibration;
    bool replaceSettings = false;
};

// A calibration from the analyzer: calibrations (or the mismatch window), and the frame toward the
// LIMS.
class CalibrationJobKind final : public JobKind
{
public:
    QString name() const override { return QStringLiteral("calibration"); }
    QString describe(const StoreJob& job) const override;
    void write(const StoreJob& job, QJsonObject& object) const override;
    bool read(const QJsonObject& object, StoreJob& job, QString* error) const override;
    DbOutcome run(const StoreJob& job, JobRun& run) const override;
};

// A calibration the operator repaired in the mismatch window.
class RepairedCalibrationJobKind final : public JobKind
{
public:
    QString name() const override { return QStringLiteral("repaired-calibration"); }
    QString describe(const StoreJob& job) const override;
    void write(const StoreJob& job, QJsonObject& object) const override;
    bool read(const QJsonObject& object, StoreJob& job, QString* error) const override;
    DbOutcome run(const StoreJob& job, JobRun& run) const override;
};

// The statements of one calibration inside the caller's transaction: the expected concentrations
// from calib_base, then either the mismatch for the operator (in effects, nothing stored) or the
// calibrations row and, with a LIMS side, the frame toward the LIMS.
DbOutcome StoreCalibrationJob(Transaction& transaction, const StoreJob& job, bool dialogsAvailable,
                              JobEffects& effects);

// A calibration the operator repaired: optionally replaces calib_base with its standard count and
// concentrations (empty ones become NULL), then stores the calibrations row.
DbOutcome StoreRepairedCalibrationJob(Transaction& transaction, const StoreJob& job, JobEffects& effects);

// A reading as stored: the number its text begins with (0 when empty), times 10000 for the
// Olympus AU types, which report absorbances in units of 10^-4.
double CalibrationReading(const QString& text, const QString& analyzerType);

} // namespace Quorlix
