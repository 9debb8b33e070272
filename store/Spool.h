#pragma once

#include "JobOutcome.h"
#include "StoreJob.h"

#include <QDateTime>
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
// whose file outlived its commit (a crash in between) is not stored twice. A file that cannot be
// read, or a record the database refuses for its values, is moved into the subfolder "bad" and
// never deleted.
class Spool
{
public:
    // Stores one spooled job in its own transaction, recording its spool id there.
    using Runner = std::function<JobOutcome(const StoreJob& job, const QString& spoolId)>;

    Spool(Database& db, CommLog& log, const Clock& clock, const JobKinds& kinds, QString folder,
          Runner runner);

    bool hasPending() const { return !m_files.isEmpty(); }
    int pendingCount() const { return static_cast<int>(m_files.size()); }
    QString folder() const { return m_folder; }
    QString badFolder() const;

    // Keeps the record; the Monitor line says which record and why. False when it could not be
    // written: the record then goes into the communication log in full.
    bool add(const StoreJob& job, const QString& why);
    // The database connection went away: the next replay opens it again first.
    void connectionLost() { m_reconnect = true; }
    // Stores the waiting records in order, as far as the database lets it. Called on every Timer1
    // tick and once at start-up.
    void replay();

    // After a failed reconnect the next attempt waits 3 s, doubling up to this, so that an
    // unreachable server does not hold up the serial lines on every tick.
    static constexpr int MaxReconnectDelaySeconds = 60;
    // A spool file is a few kilobytes; anything beyond this is not one of ours.
    static constexpr qint64 MaxFileSize = 1 << 20;

private:
    void scan();
    void moveAside(const QString& name, const QString& reason);
    void reportOnce(const QString& text);

    void monitor(const QString& text);

    Database& m_db;
    CommLog& m_log;
    const Clock& m_clock;
    const JobKinds& m_kinds;
    QString m_folder;
    Runner m_runner;
    QStringList m_files; // waiting records, oldest first
    qint64 m_nextSequence = 1;
    bool m_reconnect = false;
    bool m_replaying = false;
    int m_failedReconnects = 0;
    QDateTime m_nextReconnect;
    QString m_lastReport;
    int m_storedSinceBacklog = 0;
};

} // namespace Quorlix
