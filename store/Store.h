#pragma once

#include "JobOutcome.h"
#include "Records.h"
#include "Spool.h"
#include "StoreJob.h"

#include <QString>

#include <any>
#include <memory>

namespace Quorlix {

class CalibrationDialogs;
class Clock;
class CommLog;
class Database;
class Line;
struct InstanceStats;
struct Settings;

// The frame a record was cut from, as the analyzer sent it. An analyzer that got no answer sends
// the same frame again; such a frame is answered but not stored twice. Empty: no such check.
//
// A frame that carries what tells two measurements apart (a sequence number, a time) is
// recognised for as long as fingerprints are kept (two days). One that does not (a calibration
// frame) can come again for real, the next morning say: it counts as a resend only within
// ResendWindowMinutes.
struct ReceivedFrame
{
    QString text;
    bool identifiesMeasurement = true;
};

// How long an analyzer may take to send a frame again after a missed answer.
constexpr int ResendWindowMinutes = 10;

// The laboratory store. Each call stores one received record (one sample, one control record,
// one calibration, or a record of a kind a driver registered) in one transaction or, when the
// database fails, keeps it in the spool until it can be stored; nothing received is lost. Time
// stamps are those of the moment of the call (the measurement time of a record that carries one).
class Store
{
public:
    Store(const Settings& settings, Database& db, CommLog& log, const Clock& clock, Line& limsLine);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // A patient sample: orders in request, raw copies in Raw_Results, sample_base, req2send, and
    // with AutoVal "1" or "2" the validated results.
    void StoreSampleResult(const SampleRecord& sample, const HitachiFrameRecord& frame,
                           const ReceivedFrame& received);
    // A control sample: control_results, control blocks, and the frame toward the LIMS.
    void StoreControlResult(const SampleRecord& sample, const HitachiFrameRecord& frame,
                            const ReceivedFrame& received);
    // A calibration: calibrations (or the mismatch window), and the frame toward the LIMS.
    void StoreCalibration(const CalibrationRecord& calibration, const ReceivedFrame& received);
    // The mismatch window's "Repair": the window's copy of the calibration (and, with
    // replaceSettings, its settings for future calibrations).
    void StoreRepairedCalibration(const CalibrationRecord& copy, bool replaceSettings);

    // The kinds of record; a driver with a store of its own registers its kind here.
    JobKinds& kinds() { return m_kinds; }
    // A job of a kind, taken now from the settings and the clock, with its record.
    StoreJob newJob(const JobKind& kind, std::any payload, const ReceivedFrame& received = {}) const;
    // Stores the job at once; while the spool holds records, or when the database fails for now,
    // the job goes into the spool instead (Waiting). A job the database refuses for good is set
    // aside in the quarantine with one Monitor line (Quarantined) and holds up nothing.
    JobOutcome submit(const StoreJob& job);
    // Stores one job in one transaction. With a spool id the same transaction records the id in
    // quorlix_log ("spool_stored"), and a job whose id is there already is not stored again.
    JobOutcome run(const StoreJob& job, const QString& spoolId = QString());
    // From now on the records written and the failures are counted in the stats (which must
    // outlive the store).
    void countInto(InstanceStats* stats) { m_stats = stats; }
    // Sets a job the database refused for good aside in the quarantine (without a spool: into the
    // communication log in full), with one Monitor line naming it.
    void quarantine(const StoreJob& job, const QString& reason);

    // The spool in the folder (created when missing); records left there are stored first. The
    // quarantine keeps at most quarantineLimit refused records.
    void openSpool(const QString& folder, int quarantineLimit = Spool::DefaultQuarantineLimit);
    Spool* spool() const { return m_spool.get(); }
    // Stores what waits in the spool, as far as the database lets it (every housekeeping tick).
    void replaySpool();

    // The mismatch window of the desktop; none under --headless.
    void setCalibrationDialogs(CalibrationDialogs* dialogs) { m_dialogs = dialogs; }

    // The short name of a parameter (test_def.short), empty when unknown or when the database fails.
    QString ParameterShortName(qint16 parameterId);

    Database& db() { return m_db; }
    CommLog& log() { return m_log; }
    const Clock& clock() const { return m_clock; }
    const Settings& settings() const { return m_settings; }
    void monitor(const QString& text);

private:
    // Keeps the standard count of a calibration within 0..6 (with a Monitor line when it was not).
    void boundStandardCount(CalibrationRecord& calibration);
    // The whole record into the communication log (where there is no spool to keep it).
    void logInFull(const StoreJob& job, const QString& reason);
    StoreJob sampleJob(const JobKind& kind, const SampleRecord& sample, const HitachiFrameRecord& frame,
                       const ReceivedFrame& received);
    JobOutcome runInTransaction(const StoreJob& job, const QString& spoolId);
    void countStored(const RecordCounts& stored);
    // A failed attempt: counted, and kept as the instance's last error.
    void countFailure(const StoreJob& job, const JobOutcome& outcome);

    const Settings& m_settings;
    Database& m_db;
    CommLog& m_log;
    const Clock& m_clock;
    Line& m_limsLine;
    JobKinds m_kinds;
    std::unique_ptr<Spool> m_spool;
    CalibrationDialogs* m_dialogs = nullptr;
    InstanceStats* m_stats = nullptr;
};

} // namespace Quorlix
