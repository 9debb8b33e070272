#pragma once

#include "DbOutcome.h"
#include "Records.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <any>
#include <memory>
#include <optional>
#include <vector>

namespace Quorlix {

class JobKind;
class Transaction;

// One received record as a store call sees it: what kind of record, the record itself, the
// settings the call reads and the moment it arrived. Taken once when the record arrives, so that it
// can wait in the spool and be stored later exactly as it would have been stored at once.
struct StoreJob
{
    const JobKind* kind = nullptr;
    QString receivedAt;         // "yyyyMMdd HH:mm:ss" when the record arrived
    QString stamp;              // the record's time stamp: receivedAt, or the analyzer's measurement time
    QString frameKey;           // analyzer and fingerprint of the received frame; empty when there is none
    int frameWindowMinutes = 0; // > 0: the same frame counts as a resend only within this many minutes

    QString AnalyzerType;
    QString AnalyzerId;
    QString AutoVal;
    QString OutType;
    std::optional<int> OutComPort;
    QString OutId;
    QString ShowCalibChart;

    // The record, of the type its kind stores.
    std::any payload;

    template <typename T> const T& data() const { return *std::any_cast<T>(&payload); }
    template <typename T> T& data() { return *std::any_cast<T>(&payload); }

    bool hasLimsSide() const { return !OutType.isEmpty() && OutComPort.has_value(); }
    // A LIMS side that takes the store's reports: req2send rows and the Hitachi-style control and
    // calibration frames. A LIMS playing the AU host (invOAU400, invOAU600) gets the analyzer's
    // own frames from the AU driver instead; nothing would ever send or delete its req2send rows.
    bool limsTakesReports() const
    {
        return hasLimsSide() && OutType != QLatin1String("invOAU400") &&
               OutType != QLatin1String("invOAU600");
    }
    bool isIndiko() const { return AnalyzerType.left(3) == QLatin1String("IND"); }
    bool isAu() const { return AnalyzerType.left(3) == QLatin1String("OAU"); }
    // "sample 12345", "control QC01", "calibration of parameter 7": for log lines.
    QString describe() const;
};

// What a store call leaves to do once its transaction is committed: Monitor lines about the stored
// values, frames toward the LIMS (in this order), calibrations for the operator to look at.
struct JobEffects
{
    QStringList notes;
    QStringList limsFrames;
    QList<CalibrationRecord> mismatches;
};

// One store call inside its transaction.
struct JobRun
{
    Transaction& transaction;
    bool dialogsAvailable = false; // the calibration mismatch window can be shown
    JobEffects effects;
    bool nothingToStore = false;
};

// A kind of received record: how it is written into a spool file and read back, and how it is
// stored inside one transaction. The store and the spool know records only through their kinds.
class JobKind
{
public:
    virtual ~JobKind() = default;
    // The kind's name in a spool file.
    virtual QString name() const = 0;
    virtual QString describe(const StoreJob& job) const = 0;
    // The record's fields into, and back out of, the spool file's object; read() says what is
    // missing or malformed.
    virtual void write(const StoreJob& job, QJsonObject& object) const = 0;
    virtual bool read(const QJsonObject& object, StoreJob& job, QString* error) const = 0;
    // The statements of the record. A failure ends the record; the caller rolls back.
    virtual DbOutcome run(const StoreJob& job, JobRun& run) const = 0;
};

// The kinds of record this program stores, by name.
class JobKinds
{
public:
    // A second kind of the same name is refused (false).
    bool add(std::unique_ptr<JobKind> kind);
    const JobKind* find(const QString& name) const;
    template <typename Kind> const JobKind& require()
    {
        const Kind probe;
        if (const JobKind* found = find(probe.name()))
            return *found;
        add(std::make_unique<Kind>());
        return *find(probe.name());
    }

private:
    std::vector<std::unique_ptr<JobKind>> m_kinds;
};

// The spool file form of a job (with its spool id), and back: FromJson gives nothing, with the
// reason, when the object is not a job this program wrote or its kind is unknown here.
QJsonObject ToJson(const StoreJob& job, const QString& spoolId);
std::optional<StoreJob> FromJson(const QJsonObject& object, const JobKinds& kinds, QString* spoolId,
                                 QString* error);

} // namespace Quorlix
