#pragma once

#include "SimLine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>

namespace QuorlixSim {

struct SimOptions
{
    QString device;
    int baud = 9600;
    QString ptyLink;
    int listenPort = 0;
    QString connect;
    QString script;
    int timeoutMs = 5000;
    bool quiet = false;
    bool split = false;
    int startDelayMs = 0;
    int retries = 0;
    QString record;
    int lineRate = 0;      // baud: writes take as long as on a serial line of this rate; 0 at once
    int replyPauseMs = -1; // the host's pause before each write of a reply; -1 the protocol's own
};

// What every role of the simulator works with: the line, the options, the tallies of the run and
// the checks. Protocol-independent.
class SimSession
{
public:
    SimSession(SimLine& line, const SimOptions& options);

    SimLine& line() { return m_line; }
    const SimOptions& options() const { return m_options; }

    // Writes text on the line (in random pieces with --split) and prints it as "A->H".
    void send(const QString& text, bool counted = true);
    // Prints an answer from the host as "H->A".
    void printAnswer(const QString& text);
    // A check of the script: counted and printed when it fails.
    bool check(bool ok, int line, const QString& what);
    // The "expect TEXT" check: the last answer was TEXT exactly.
    bool checkAnswer(const QString& answer, const QString& expected, int line);
    void fail(const QString& message);
    void say(const QString& text);
    // --record: one line per result frame or message, "answered ID COUNT" or "unanswered ID COUNT".
    void recordResult(bool wasAnswered, const QString& id, qsizetype count);
    // --record: "aborted ID COUNT" for a message the simulator gave up on purpose and never sent
    // again: the host must not have stored any of it.
    void recordAborted(const QString& id, qsizetype count);
    // --record: "WHAT ID COUNT" for what a LIMS received (a results frame, a relayed frame).
    void recordReceived(const QString& what, const QString& id, qsizetype count);
    // --record: one line per order request answered, "inquiry ID MICROSECONDS": the time from the
    // request's last byte (sentAt) to now, when its reply is complete, less the pauses the host's
    // protocol prescribes before its writes (pausedWrites times the pause, see replyPauseMs) and
    // less the time the simulator's own writes meanwhile (acknowledgements) took on the line.
    void recordInquiry(const QString& id, qint64 sentAt, int pausedWrites, int protocolPauseMs);
    // When the last write ended, in nanoseconds of the host's time: the session's clock without
    // the time the line took to carry the simulator's own writes (--line-rate).
    qint64 lastSentAt() const { return m_lastSentAt; }
    // The host's pause before each write of a reply: --reply-pause, else the protocol's.
    int replyPauseMs(int protocolPauseMs) const;

    // The generic steps.
    void noise(int bytes, bool frameWithoutEnd);
    void hangup(int ms);

    int sent = 0;
    int answered = 0;
    int resultsSent = 0;
    int resultsAnswered = 0;
    int failures = 0;
    // A LIMS host's tallies: the inquiries it answered with orders, and the frames it received
    // besides them (results, relayed frames).
    bool host = false;
    int inquiriesAnswered = 0;
    int framesReceived = 0;

    // The closing summary line, and the exit status: 0 when every check passed and every frame
    // was answered.
    QString summary() const;
    int status() const { return failures == 0 && (host || answered == sent) ? 0 : 1; }

private:
    void record(const QString& line);
    // With --line-rate, waits as long as the bytes take on the line, so that they arrive whole
    // when their last byte would.
    void pace(qsizetype bytes);
    qint64 hostTime() const { return m_clock.nsecsElapsed() - m_pacedNs; }
    void write(const QByteArray& bytes);

    SimLine& m_line;
    const SimOptions& m_options;
    QFile m_record;
    QElapsedTimer m_clock;
    qint64 m_lastSentAt = 0;
    qint64 m_pacedNs = 0;
};

// Prints a line on stdout at once.
void Print(const QString& text);

} // namespace QuorlixSim
