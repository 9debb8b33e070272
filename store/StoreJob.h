#pragma once

#include "DbOutcome.h"
#include "Records.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <any>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace Quorlix {

class JobKind;
class Transaction;

// What the family of the analyzer decides about its records beyond what they carry (see
// JobKinds::setFamily). The store applies the rules; which analyzers need which is the families'.
struct JobRules
{
    // With a LIMS side: the LIMS takes the store's reports (req2send rows, control and calibration
    // frames). Not so for a LIMS that gets the analyzer's own frames relayed by its driver.
    bool limsTakesReports = true;
    // The sample ids are the analyzer's own: each is mapped to a laboratory id, and the analyzer's
    // id is kept in status_1 (without disc and position).
    bool mapsSampleIds = false;
    // The orders of a sample stamped within 13 minutes of a measurement belong to its run: they
    // take its time.
    bool restampsRun = false;
    // Calibration readings are stored times this (units of 10^-4 from an analyzer sending
    // absorbances).
    double readingScale = 1;
};

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
    bool QcHold = false; // a rejected control holds its parameter (spool files without it: off)

    // Decided from the settings by the families' rules, when the job is taken and when it is read
    // back from the spool.
    JobRules rules;

    // The record, of the type its kind stores.
    std::any payload;

    template <typename T> const T& data() const { return *std::any_cast<T>(&payload); }
    template <typename T> T& data() { return *std::any_cast<T>(&payload); }

    bool hasLimsSide() const { return !OutType.isEmpty() && OutComPort.has_value(); }
    // A LIMS side that takes the store's reports: req2send rows and the control and calibration
    // frames. A LIMS that gets the analyzer's own frames instead would never send or delete its
    // req2send rows.
    bool limsTakesReports() const { return hasLimsSide() && rules.limsTakesReports; }
    // "sample 12345", "control QC01", "calibration of parameter 7": for log lines.
    QString describe() const;
};

// The records a store call wrote, counted once its transaction is committed.
struct RecordCounts
{
    int results = 0; // patient samples
    int controls = 0;
    int calibrations = 0;
};

// What a store call leaves to do once its transaction is committed: Monitor lines about the stored
// values, frames toward the LIMS (in this order), calibrations for the operator to look at; and
// what it wrote, for the instance's counters.
struct JobEffects
{
    RecordCounts stored;
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
    bool qcTables = true; // the quality-control tables exist: controls are judged, holds honoured
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

// The characters of a kind's name, as a template argument.
template <std::size_t N> struct KindName
{
    constexpr KindName(const char (&text)[N]) { std::copy_n(text, N, value); }
    char value[N];
};

// A kind whose parts are free functions: each kind is declared as
//   using XJobKind = FunctionJobKind<"x", DescribeX, WriteX, ReadX, RunX>;
template <KindName Name, QString (*Describe)(const StoreJob&), void (*Write)(const StoreJob&, QJsonObject&),
          bool (*Read)(const QJsonObject&, StoreJob&, QString*), DbOutcome (*Run)(const StoreJob&, JobRun&)>
class FunctionJobKind final : public JobKind
{
public:
    QString name() const override { return QString::fromLatin1(Name.value); }
    QString describe(const StoreJob& job) const override { return Describe(job); }
    void write(const StoreJob& job, QJsonObject& object) const override { Write(job, object); }
    bool read(const QJsonObject& object, StoreJob& job, QString* error) const override
    {
        return Read(object, job, error);
    }
    DbOutcome run(const StoreJob& job, JobRun& run) const override { return Run(job, run); }
};

// What a family of analyzers adds to the jobs of its types, registered under the family's name.
struct FamilyRules
{
    // The rules of a job, from its settings.
    std::function<void(const StoreJob& job, JobRules& rules)> decide;
    // Brings the object of a spool file written by an earlier release into the present form
    // before its kind reads it (the job has its settings).
    std::function<void(const StoreJob& job, QJsonObject& object)> upgrade;
};

// The kinds of record this program stores, by name, and the rules of the analyzer families.
class JobKinds
{
public:
    // A second kind of the same name is refused (false).
    bool add(std::unique_ptr<JobKind> kind);
    const JobKind* find(const QString& name) const;
    // A family registered again replaces its earlier rules.
    void setFamily(const QString& name, FamilyRules family);
    JobRules rulesFor(const StoreJob& job) const;
    void upgrade(const StoreJob& job, QJsonObject& object) const;
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
    std::vector<std::pair<QString, FamilyRules>> m_families;
};

// The spool file form of a job (with its spool id), and back: FromJson gives nothing, with the
// reason, when the object is not a job this program wrote or its kind is unknown here.
QJsonObject ToJson(const StoreJob& job, const QString& spoolId);
std::optional<StoreJob> FromJson(const QJsonObject& object, const JobKinds& kinds, QString* spoolId,
                                 QString* error);

} // namespace Quorlix
