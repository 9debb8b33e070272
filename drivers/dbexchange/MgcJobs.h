#pragma once

#include "store/StoreJob.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <array>
#include <optional>

namespace Quorlix {

// What the MGC240 exchange writes into the laboratory database, as records of the store: each in
// one transaction, spooled while the database fails, and stored once even when the same record
// comes again (each kind checks, inside its transaction, that it is not stored yet).

struct MgcValue
{
    qint16 parameterId = 0;
    double value = 0;
    QString measuredAt; // the MGC240's rst_Date as "yyyyMMdd HH:mm:ss"; empty when it gives none
};

// The finished results of one sample on the MGC240: they fill the sample's open orders in request
// (result, analyzer_id, time_stamp), as far as they are still open; each value filled leaves its
// mark (MgcMarks.h) in the same transaction.
struct MgcSampleResults
{
    QString sampleId;
    QList<MgcValue> results;
};
// The results of several samples in one transaction: all of them or none. When the database
// refuses one, the exchange stores them sample by sample.
struct MgcResultBatch
{
    QList<MgcSampleResults> samples;
};

// One measured control result: a control_results row and its booking against control_block,
// unless a result of the control and parameter as late or later is stored already.
struct MgcControlResult
{
    QString controlId;
    qint16 parameterId = 0;
    QString measuredAt; // "yyyyMMdd HH:mm:ss"
    double value = 0;
};

// The newest calibration of an item: a calibrations row with the absorbances of the blank and
// the first five standards, unless a calibration of the parameter as late or later is stored.
struct MgcCalibration
{
    qint16 parameterId = 0;
    QString calibratedAt; // "yyyyMMdd HH:mm:ss"
    std::array<std::optional<double>, 6> absorbances;
};

QString DescribeMgcResultsJob(const StoreJob& job);
void WriteMgcResultsJob(const StoreJob& job, QJsonObject& object);
bool ReadMgcResultsJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunMgcResultsJob(const StoreJob& job, JobRun& run);
using MgcResultsJobKind = FunctionJobKind<"mgc-results", DescribeMgcResultsJob, WriteMgcResultsJob,
                                          ReadMgcResultsJob, RunMgcResultsJob>;

QString DescribeMgcControlJob(const StoreJob& job);
void WriteMgcControlJob(const StoreJob& job, QJsonObject& object);
bool ReadMgcControlJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunMgcControlJob(const StoreJob& job, JobRun& run);
using MgcControlJobKind = FunctionJobKind<"mgc-control", DescribeMgcControlJob, WriteMgcControlJob,
                                          ReadMgcControlJob, RunMgcControlJob>;

QString DescribeMgcCalibrationJob(const StoreJob& job);
void WriteMgcCalibrationJob(const StoreJob& job, QJsonObject& object);
bool ReadMgcCalibrationJob(const QJsonObject& object, StoreJob& job, QString* error);
DbOutcome RunMgcCalibrationJob(const StoreJob& job, JobRun& run);
using MgcCalibrationJobKind =
    FunctionJobKind<"mgc-calibration", DescribeMgcCalibrationJob, WriteMgcCalibrationJob,
                    ReadMgcCalibrationJob, RunMgcCalibrationJob>;

// An absorbance as the calibrations table keeps it: in units of 10^-4; a missing one counts 0 when
// the standard has a concentration, and stays missing (NULL) when it has none.
std::optional<double> StoredAbsorbance(std::optional<double> absorbance, std::optional<double> concentration);

// A number read from the MGC240's database (its columns may hold text): nothing for NULL or blank
// text; malformed is set for a text that is no number.
std::optional<double> MgcNumber(const QVariant& value, bool* malformed = nullptr);

} // namespace Quorlix
