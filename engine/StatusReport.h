#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

namespace Quorlix {

class Database;
struct LaunchOptions;

// One analyzer's row in analyzer_status, as its instance last wrote it.
struct AnalyzerStatus
{
    QString analyzerId;
    QString analyzerType;
    QString hostName;
    qint64 processId = 0;
    QString version;
    QDateTime startedAt;
    QDateTime lastHeartbeat;
    QDateTime stoppedAt;  // invalid while the instance runs
    QString analyzerLink; // online, offline, none
    QString limsLink;
    QString lastReceived;
    QDateTime lastReceivedAt;
    QString lastSent;
    QDateTime lastSentAt;
    int spoolWaiting = 0;
    int quarantined = 0;
    QString lastError;
    QDateTime lastErrorAt;
};

// What a row says about its analyzer, seen at a moment of the reader's clock. Stopped: the
// instance ended in order. Gone: it missed three heartbeats (crashed, killed, or cut off from the
// database). Offline: it runs but its analyzer's line is silent.
enum class AnalyzerState
{
    Online,
    Offline,
    Gone,
    Stopped,
};

constexpr qint64 GoneAfterSeconds = 9; // three housekeeping ticks

AnalyzerState StateOf(const AnalyzerStatus& row, const QDateTime& now);
QString StateName(AnalyzerState state);

// Reads every row (only analyzerId's when given), ordered by analyzer. Returns an error text,
// empty when the rows were read.
QString LoadAnalyzerStatus(Database& db, const QString& analyzerId, QList<AnalyzerStatus>* rows);

// The rows as an aligned table with a header line; with colour, the state in ANSI colours
// (green online, yellow offline or stopped, red gone).
QString StatusTable(const QList<AnalyzerStatus>& rows, const QDateTime& now, bool colour);
// The rows as a JSON array: every column, and the state.
QByteArray StatusJson(const QList<AnalyzerStatus>& rows, const QDateTime& now);
// 0 when every row is online, 1 when any is not.
int StatusExitCode(const QList<AnalyzerStatus>& rows, const QDateTime& now);

// --status [--json]: prints the rows of the database the ini names. Returns the exit code: 0 or 1
// as above, 2 for settings that cannot be used, 3 when the database or its table cannot be read.
int RunStatusReport(const LaunchOptions& options, const QString& commandLine, const QString& applicationDir,
                    const QDateTime& now);

} // namespace Quorlix
