#pragma once

#include "SimLine.h"

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
    void fail(const QString& message);
    void say(const QString& text);
    // One line for --record.
    void record(const QString& line);

    // The generic steps.
    void noise(int bytes, bool frameWithoutEnd);
    void hangup(int ms);

    int sent = 0;
    int answered = 0;
    int resultsSent = 0;
    int resultsAnswered = 0;
    int failures = 0;

    // The closing summary line, and the exit status: 0 when every check passed and every frame
    // was answered.
    QString summary() const;
    int status() const { return failures == 0 && answered == sent ? 0 : 1; }

private:
    SimLine& m_line;
    const SimOptions& m_options;
    QFile m_record;
};

// Prints a line on stdout at once.
void Print(const QString& text);

} // namespace QuorlixSim
