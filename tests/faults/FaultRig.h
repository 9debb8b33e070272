#pragma once

#include "core/Database.h"

#include <QHash>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace Quorlix::Test {

// A private PostgreSQL server on loopback that a scenario may stop and start again.
class PgCluster
{
public:
    PgCluster();
    ~PgCluster();
    bool start();
    bool stop();
    bool ok() const { return m_ok; }
    int port() const { return m_port; }
    // A new, empty database with every table and the demonstration data; returns its name.
    QString createDatabase(const QString& name);
    QString error() const { return m_error; }
    // The server's log so far.
    QString serverLog() const;

private:
    bool pgctl(const QStringList& arguments);

    QTemporaryDir m_dir;
    int m_port = 0;
    bool m_ok = false;
    QString m_error;
};

// What a scenario ends with: each answered result frame stored exactly once.
struct Tally
{
    int sent = 0;      // result frames the analyzer sent
    int answered = 0;  // ... and got an answer for
    int stored = 0;    // answered frames whose results are all in the database
    int lost = 0;      // answered frames with results missing
    int doubled = 0;   // frames with results stored more than once
    QStringList wrong; // the first few of those, "ID: N results, M stored"
    QString line(const QString& name, const QString& extra = QString()) const;
};

// What a simulator's --record file holds.
struct SimRecord
{
    QHash<QString, int> answered;   // results per answered frame, by sample id
    QHash<QString, int> unanswered; // ... and of frames that got no answer
    int answeredFrames = 0;
    int unansweredFrames = 0;
    QList<qint64> inquiryMicros; // the time of each order request's answer, pauses excluded
};
SimRecord ReadSimRecord(const QString& file);

// Each answered frame's results stored exactly once: compares the record with the rows per sample.
Tally Compare(const SimRecord& record, const QHash<QString, int>& rows);

// The value below which p percent of the values lie (nearest rank); 0 when there are none.
qint64 Percentile(QList<qint64> values, double p);

// Reads a simulator's --record file and compares it with the rows in Raw_Results.
Tally Count(const QString& recordFile, Database& db, const QString& analyzerId);

// Peak resident memory of a running process in kB (0 when unknown).
qint64 PeakMemoryKb(qint64 pid);

// Files still waiting in a spool folder.
int SpoolBacklog(const QString& folder);

// The ini lines that point a quorlix process at a database of the cluster.
QString PgIniLines(const PgCluster& cluster, const QString& database);

// A connection of the test itself to that database.
std::unique_ptr<Database> OpenPg(const PgCluster& cluster, const QString& database,
                                 const QString& connection);

// A quorlix-sim run in the background.
class Simulator
{
public:
    Simulator(const QString& link, const QString& script, const QStringList& options = {});
    ~Simulator();
    bool waitForLink(int timeoutMs = 5000) const;
    bool finish(int timeoutMs);
    // Ends it at once; its record stays.
    void stop();
    int exitCode() const { return m_process.exitCode(); }
    QString output();
    QString recordFile() const { return m_dir.filePath("record.txt"); }
    // Lines in the record file so far.
    int recorded() const;

private:
    QTemporaryDir m_dir;
    QString m_link;
    QProcess m_process;
    QString m_output;
};

} // namespace Quorlix::Test
