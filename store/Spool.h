#pragma once

#include "JobOutcome.h"
#include "SpoolFiles.h"
#include "StoreJob.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace Quorlix {

class Clock;
class CommLog;
class Database;

// Received records that could not be stored yet, one file per record in a local folder, kept in
// the order they arrived. A record is on disk (written to a temporary name, flushed, renamed, the
// folder flushed) before add() returns. replay() stores them in order once the database is back;
// each record carries an id that its store transaction writes into quorlix_log, so that a record
// whose file outlived its commit (a crash in between) is not stored twice.
//
// A record the database refuses for good goes into the quarantine, the subfolder "bad", and holds
// up nothing; so does a file that cannot be read. Moved back into the folder, a quarantined record
// is stored on the next replay (once: its id says whether it was). The quarantine keeps at most
// quarantineLimit records of the analyzer; a refused record beyond that is written in full into
// the communication log instead.
class Spool
{
public:
    // Stores one spooled job in its own transaction, recording its spool id there.
    using Runner = std::function<JobOutcome(const StoreJob& job, const QString& spoolId)>;

    static constexpr int DefaultQuarantineLimit = 1000;

    Spool(Database& db, CommLog& log, const Clock& clock, const JobKinds& kinds, SpoolFiles files,
          Runner runner, int quarantineLimit = DefaultQuarantineLimit);

    bool hasPending() const { return !m_files.isEmpty(); }
    int pendingCount() const { return static_cast<int>(m_files.size()); }
    QString folder() const { return m_disk.folder(); }
    QString badFolder() const { return m_disk.badFolder(); }
    int quarantinedCount() const { return static_cast<int>(m_disk.quarantined().size()); }

    // Keeps the record; the Monitor line says which record and why. False when it could not be
    // written: the record then goes into the communication log in full.
    bool add(const StoreJob& job, const QString& why);
    // Sets a record the database refused aside in the quarantine, with one Monitor line naming it
    // (or, the quarantine full, writes it in full into the communication log).
    void quarantine(const StoreJob& job, const QString& why);
    // The database connection went away: the next replay opens it again first.
    void connectionLost() { m_reconnect = true; }
    // Stores the waiting records in order, as far as the database lets it; records moved back from
    // the quarantine are taken up first. Called on every housekeeping tick and once at start-up.
    void replay();

    // After a failed reconnect the next attempt waits 3 s, doubling up to this, so that an
    // unreachable server does not hold up the serial lines on every tick.
    static constexpr int MaxReconnectDelaySeconds = 60;

private:
    // Takes up what lies in the folder: this analyzer's records (also those moved back from the
    // quarantine, and those of the former naming), and sets aside files it cannot use.
    void scan();
    void takeFormerNames();
    void moveAside(const QString& name, const QString& reason);
    // A refused record's file into the quarantine, or into the log when it is full.
    void setAside(const QString& name, const StoreJob& job, const QString& reason);
    bool quarantineHasRoom();
    void logInFull(const QString& what, const QString& why, const QByteArray& record);
    void reportOnce(const QString& text);

    void monitor(const QString& text);

    Database& m_db;
    CommLog& m_log;
    const Clock& m_clock;
    const JobKinds& m_kinds;
    SpoolFiles m_disk;
    Runner m_runner;
    int m_quarantineLimit;
    QStringList m_files;     // waiting records, oldest first
    QSet<QString> m_foreign; // files of the former naming that belong to other analyzers
    qint64 m_nextSequence = 1;
    bool m_reconnect = false;
    bool m_replaying = false;
    bool m_quarantineFullReported = false;
    int m_failedReconnects = 0;
    QDateTime m_nextReconnect;
    QString m_lastReport;
};

} // namespace Quorlix
