#pragma once

#include <QDateTime>
#include <QString>

namespace Quorlix {

class Clock;
class CommLog;
class Database;
class Spool;
struct InstanceStats;
struct LinkState;

// Who keeps the row: fixed while the instance runs.
struct StatusIdentity
{
    QString analyzerId;
    QString analyzerType;
    QString hostName;
    qint64 processId = 0;
    QString version;
    bool hasAnalyzerLink = true; // false: the type has no supervised line ("none")
    bool hasLimsLink = false;
};

// This instance's row in analyzer_status: written at start, on every housekeeping tick (the
// heartbeat) and once more at the stop, which marks it stopped. A monitor of the whole site reads
// those rows.
//
// A heartbeat is not a record: it is never spooled nor retried. When the database fails it is
// skipped, with one Monitor line when writing starts failing and one when it works again; after
// a failure the next attempts wait 3 s, doubling up to a minute, so that an unreachable server
// holds up the lines no more than the spool's reconnects do.
class StatusRow
{
public:
    StatusRow(Database& db, CommLog& log, const Clock& clock, const LinkState& link, InstanceStats& stats);

    // Starts keeping the row (written at once); the spool, if any, gives the waiting counts.
    void start(const StatusIdentity& identity, const Spool* spool);
    // The heartbeat: the row as things are now.
    void write();
    // The row marked stopped (one attempt); nothing is written after.
    void stop();
    bool active() const { return m_active; }

    static constexpr int MaxRetryDelaySeconds = 60;

private:
    bool upsert(const QDateTime& now, const QDateTime& stoppedAt);
    void failed(const QDateTime& now, const QString& error);

    Database& m_db;
    CommLog& m_log;
    const Clock& m_clock;
    const LinkState& m_link;
    InstanceStats& m_stats;
    StatusIdentity m_identity;
    const Spool* m_spool = nullptr;
    QDateTime m_startedAt;
    bool m_active = false;
    bool m_failing = false;
    bool m_connectionLost = false;
    int m_failures = 0;
    QDateTime m_nextAttempt;
};

} // namespace Quorlix
