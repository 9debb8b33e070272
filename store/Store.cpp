#include "Store.h"

#include "CalibrationDialogs.h"
#include "CalibrationStore.h"
#include "ControlStore.h"
#include "SampleStore.h"
#include "Spool.h"
#include "Transaction.h"
#include "comm/Line.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/InstanceStats.h"
#include "core/Settings.h"
#include "core/Stamps.h"

#include <QCryptographicHash>
#include <QJsonDocument>

namespace Quorlix {

namespace {

const QString SpoolStoredKey = QStringLiteral("spool_stored");
const QString FrameStoredKey = QStringLiteral("frame_stored");

// The outcome of a failed job, once its transaction is rolled back: only then can a connection
// be asked whether it still answers.
JobOutcome Failed(Database& db, const DbOutcome& failure)
{
    const DbOutcome o = failure.decided(db);
    JobOutcome outcome;
    outcome.result =
        o.kind == DbOutcome::DataRejected ? JobOutcome::DataRejected : JobOutcome::DatabaseFailed;
    outcome.error = o.error;
    outcome.connectionLost = o.connectionLost;
    return outcome;
}

// A record handed to the spool: waiting there, or (when it could not be written) only in the
// communication log.
JobOutcome Kept(bool inSpool)
{
    JobOutcome outcome;
    outcome.result = inSpool ? JobOutcome::Waiting : JobOutcome::DatabaseFailed;
    return outcome;
}

} // namespace

Store::Store(const Settings& settings, Database& db, CommLog& log, const Clock& clock, Line& limsLine)
    : m_settings(settings), m_db(db), m_log(log), m_clock(clock), m_limsLine(limsLine)
{
    m_kinds.add(std::make_unique<SampleJobKind>());
    m_kinds.add(std::make_unique<ControlJobKind>());
    m_kinds.add(std::make_unique<CalibrationJobKind>());
    m_kinds.add(std::make_unique<RepairedCalibrationJobKind>());
}

Store::~Store() = default;

void Store::monitor(const QString& text)
{
    m_log.monitor(text);
}

StoreJob Store::newJob(const JobKind& kind, std::any payload, const ReceivedFrame& received) const
{
    StoreJob job;
    job.kind = &kind;
    job.receivedAt = SqlStamp(m_clock.now());
    job.stamp = job.receivedAt;
    const Settings& s = m_settings;
    if (!received.text.isEmpty()) {
        const QByteArray digest =
            QCryptographicHash::hash(received.text.toLatin1(), QCryptographicHash::Sha1);
        job.frameKey = s.AnalyzerId.left(200) + QLatin1Char(':') + QString::fromLatin1(digest.toHex());
        if (!received.identifiesMeasurement)
            job.frameWindowMinutes = ResendWindowMinutes;
    }
    job.AnalyzerType = s.AnalyzerType;
    job.AnalyzerId = s.AnalyzerId;
    job.AutoVal = s.AutoVal;
    job.OutType = s.OutType;
    job.OutComPort = s.OutComPort;
    job.OutId = s.OutId;
    job.ShowCalibChart = s.ShowCalibChart;
    job.QcHold = s.QcHold;
    job.rules = m_kinds.rulesFor(job);
    job.payload = std::move(payload);
    return job;
}

StoreJob Store::sampleJob(const JobKind& kind, const SampleRecord& sample, const HitachiFrameRecord& frame,
                          const ReceivedFrame& received)
{
    SampleJob data{sample, frame};
    SampleRecord& record = data.sample;
    StoreJob job = newJob(kind, {}, received);
    if (record.MeasuredAt.isValid())
        job.stamp = SqlStamp(record.MeasuredAt);
    if (record.ResultCount < 0 || record.ResultCount > MaxResults) {
        const qint16 bounded = record.ResultCount < 0 ? qint16(0) : qint16(MaxResults);
        monitor(QStringLiteral("result count %1 is outside 0..%2; %3 results are stored")
                    .arg(record.ResultCount)
                    .arg(MaxResults)
                    .arg(bounded));
        record.ResultCount = bounded;
    }
    job.payload = data;
    return job;
}

void Store::StoreSampleResult(const SampleRecord& sample, const HitachiFrameRecord& frame,
                              const ReceivedFrame& received)
{
    submit(sampleJob(m_kinds.require<SampleJobKind>(), sample, frame, received));
}

void Store::StoreControlResult(const SampleRecord& sample, const HitachiFrameRecord& frame,
                               const ReceivedFrame& received)
{
    submit(sampleJob(m_kinds.require<ControlJobKind>(), sample, frame, received));
}

void Store::boundStandardCount(CalibrationRecord& calibration)
{
    qint16& count = calibration.CalStdCount;
    if (count >= 0 && count <= MaxStandards)
        return;
    const qint16 bounded = count < 0 ? qint16(0) : qint16(MaxStandards);
    monitor(QStringLiteral("calibration of parameter %1: standard count %2 is outside 0..%3; %4 are stored")
                .arg(calibration.CalParameterId)
                .arg(count)
                .arg(MaxStandards)
                .arg(bounded));
    count = bounded;
}

void Store::StoreCalibration(const CalibrationRecord& calibration, const ReceivedFrame& received)
{
    CalibrationJob data{calibration, false};
    boundStandardCount(data.calibration);
    submit(newJob(m_kinds.require<CalibrationJobKind>(), data, received));
}

void Store::StoreRepairedCalibration(const CalibrationRecord& copy, bool replaceSettings)
{
    CalibrationJob data{copy, replaceSettings};
    boundStandardCount(data.calibration);
    submit(newJob(m_kinds.require<RepairedCalibrationJobKind>(), data));
}

QString Store::ParameterShortName(qint16 parameterId)
{
    SqlResult row =
        m_db.run(QStringLiteral("SELECT short FROM test_def WHERE parameter_id = ?"), {parameterId});
    if (!row.ok()) {
        monitor(QStringLiteral("name of parameter %1 not read: %2").arg(parameterId).arg(row.error()));
        return {};
    }
    return row.next() ? row.value(0).toString() : QString();
}

JobOutcome Store::run(const StoreJob& job, const QString& spoolId)
{
    const JobOutcome outcome = runInTransaction(job, spoolId);
    if (!outcome.done())
        countFailure(job, outcome);
    return outcome;
}

void Store::countStored(const RecordCounts& stored)
{
    if (!m_stats)
        return;
    m_stats->resultsStored += static_cast<std::uint64_t>(stored.results);
    m_stats->controlsStored += static_cast<std::uint64_t>(stored.controls);
    m_stats->calibrationsStored += static_cast<std::uint64_t>(stored.calibrations);
}

void Store::countFailure(const StoreJob& job, const JobOutcome& outcome)
{
    if (!m_stats)
        return;
    ++m_stats->databaseFailures;
    const QString reason = outcome.result == JobOutcome::DataRejected
                               ? QStringLiteral("the database refused it: %1").arg(outcome.error)
                               : QStringLiteral("database failure: %1").arg(outcome.error);
    m_stats->lastError = QStringLiteral("%1 not stored (%2)").arg(job.describe(), reason);
    m_stats->lastErrorAt = m_clock.now();
}

JobOutcome Store::runInTransaction(const StoreJob& job, const QString& spoolId)
{
    Database& db = m_db;
    Transaction transaction(db);
    if (DbOutcome o = transaction.begin(); !o.ok())
        return Failed(db, o);

    // A spooled record whose id is already there, or a frame the analyzer sent again after an
    // answer it did not get, was stored before: it is not stored twice. Its mark goes in first, in
    // the same statement that looks for an earlier one, so the check costs no round trip of its own.
    const QVariant markedAt = db.stamp(SqlStamp(m_clock.now()));
    bool frameMarked = false;
    for (const auto& [key, value] :
         {std::pair(SpoolStoredKey, spoolId), std::pair(FrameStoredKey, job.frameKey)}) {
        if (value.isEmpty())
            continue;
        // A frame that tells no two measurements apart counts as a resend only within its window.
        const bool windowed = key == FrameStoredKey && job.frameWindowMinutes > 0;
        QString sql =
            QStringLiteral("INSERT INTO quorlix_log (time_stamp, log_key, log_val) SELECT %1, ?, ? "
                           "WHERE NOT EXISTS (SELECT 1 FROM quorlix_log WHERE log_key = ? AND log_val = ?")
                .arg(db.dialect().boundStamp());
        QVariantList values{markedAt, key, value, key, value};
        if (windowed) {
            sql += QStringLiteral(" AND time_stamp >= ?");
            values << db.stamp(SqlStamp(FromSqlStamp(job.receivedAt).addSecs(-60 * job.frameWindowMinutes)));
        }
        SqlResult mark = db.run(sql + QLatin1Char(')'), values);
        if (!mark.ok()) {
            const DbOutcome failed = DbOutcome::of(db, mark);
            transaction.rollback();
            return Failed(db, failed);
        }
        if (mark.rowsAffected() == 0) {
            transaction.rollback();
            if (key == FrameStoredKey && spoolId.isEmpty())
                monitor(QStringLiteral("%1: the same frame again, already stored: not stored twice")
                            .arg(job.describe()));
            return {JobOutcome::AlreadyStored, {}, false};
        }
        frameMarked = frameMarked || key == FrameStoredKey;
    }

    JobRun jobRun{transaction, m_dialogs != nullptr, {}, false, m_settings.QcTables};
    if (DbOutcome stored = job.kind->run(job, jobRun); !stored.ok()) {
        transaction.rollback();
        return Failed(db, stored);
    }
    const JobEffects& effects = jobRun.effects;
    // Only what was stored leaves a fingerprint: a calibration held for the operator (who may drop
    // it) or a record with nothing to store may come again.
    const bool stored = !jobRun.nothingToStore && effects.mismatches.isEmpty();
    if (frameMarked && !stored) {
        SqlResult unmark = db.run(
            QStringLiteral("DELETE FROM quorlix_log WHERE log_key = ? AND log_val = ? AND time_stamp = ?"),
            {FrameStoredKey, job.frameKey, markedAt});
        if (!unmark.ok()) {
            const DbOutcome failed = DbOutcome::of(db, unmark);
            transaction.rollback();
            return Failed(db, failed);
        }
    }
    if (DbOutcome o = transaction.commit(); !o.ok())
        return Failed(db, o);
    countStored(effects.stored);

    for (const QString& note : std::as_const(effects.notes))
        monitor(note);
    for (const QString& frame : effects.limsFrames)
        m_limsLine.send(frame, Direction::HostToLims);
    if (!effects.mismatches.isEmpty() && m_dialogs) {
        for (const CalibrationRecord& mismatch : effects.mismatches)
            m_dialogs->showMismatch(mismatch);
        return {JobOutcome::HeldForOperator, {}, false};
    }
    return {jobRun.nothingToStore ? JobOutcome::NothingToStore : JobOutcome::Stored, {}, false};
}

JobOutcome Store::submit(const StoreJob& job)
{
    if (m_spool && m_spool->hasPending()) {
        // Records are stored in the order they arrived: this one waits behind the others.
        return Kept(m_spool->add(job, QStringLiteral("earlier records are waiting for the database")));
    }
    JobOutcome outcome = run(job);
    if (outcome.done())
        return outcome;
    if (outcome.result == JobOutcome::DataRejected) {
        // Refused for good: set aside at once, so that nothing waits behind it.
        quarantine(job, QStringLiteral("the database refused it: %1").arg(outcome.error));
        outcome.result = JobOutcome::Quarantined;
        return outcome;
    }
    const QString reason = QStringLiteral("database failure: %1").arg(outcome.error);
    if (!m_spool) {
        logInFull(job, reason);
        return outcome;
    }
    if (outcome.connectionLost)
        m_spool->connectionLost();
    return Kept(m_spool->add(job, reason));
}

void Store::quarantine(const StoreJob& job, const QString& reason)
{
    if (m_spool)
        m_spool->quarantine(job, reason);
    else
        logInFull(job, reason);
}

void Store::logInFull(const StoreJob& job, const QString& reason)
{
    // Without a spool the record goes into the communication log, from where it can be recovered.
    monitor(
        QStringLiteral("%1 not stored (%2): %3")
            .arg(job.describe(), reason,
                 QString::fromUtf8(QJsonDocument(ToJson(job, QString())).toJson(QJsonDocument::Compact))));
}

void Store::openSpool(const QString& folder, int quarantineLimit)
{
    m_spool = std::make_unique<Spool>(
        m_db, m_log, m_clock, m_kinds, SpoolFiles(folder, m_settings.AnalyzerId),
        [this](const StoreJob& job, const QString& spoolId) { return run(job, spoolId); }, quarantineLimit);
}

void Store::replaySpool()
{
    if (m_spool)
        m_spool->replay();
}

} // namespace Quorlix
