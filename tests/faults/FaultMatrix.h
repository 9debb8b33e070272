#pragma once

#include "FaultRig.h"
#include "SiteRig.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Quorlix::Test {

// The faults of the matrix. Each is injected into a short run of one analyzer kind (its quorlix, its
// simulated analyzer and, for some, its simulated LIMS) on a database of its own.
enum class Fault
{
    DatabaseDownAtStart,    // the server stops right after quorlix has started; back after a while
    DatabaseDownMidMessage, // the server stops between two frames of a message; back after a while
    KillBetweenFrames,      // SIGKILL between two frames of a message, and a restart
    SenderAborts,           // the analyzer gives a message up after six NAKs (EOT), then sends it again
    BadChecksums,           // frames with wrong checksums, and storms of NAKs for our frames
    GarbledReply,           // our frame answered with a character that is neither ACK, NAK nor EOT
    TriggerRefuses,         // a database trigger refuses one sample's results
    LimsStopped,            // the LIMS program stops for a while; its line stays open
    TwoInstances,           // two instances on one database allocate sample ids at the same moments
    OrderBetweenQueries,    // an order (and an open control row) filed between two queries of a sample
    SecondInstanceDayShift, // another instance wrote the day's and shift's rows before this one started
};

// The name of a fault in summary lines ("database down mid-message").
QString FaultName(Fault fault);

// One cell: an analyzer kind (a SiteKind label) under one fault. Besides lost 0, doubled 0, no
// partial record, an empty spool and no Monitor line repeated on every tick, a cell expects its
// quarantine (the spool's subfolders) to hold nothing, or, where a trigger refuses one sample, that
// sample's record(s) and nothing else.
struct MatrixCell
{
    QString kind;
    Fault fault;
    bool refusesOne = false;

    QString name() const; // "H911 × database down mid-message"
    QString tag() const;  // the same in ASCII, for test rows and command lines
};

// Every cell: the faults that apply to each kind.
const QList<MatrixCell>& MatrixCells();
// The kinds of the matrix: those of the site, and the 911 behind a LIMS and the AU600 and AU680
// behind one.
const QList<SiteKind>& MatrixKinds();
const SiteKind* MatrixKind(const QString& label);

// Cells that fail today, with the reason observed; emptied as the fixes arrive. A cell whose fault
// is a race may pass by luck: `always` is false for those.
struct KnownFailure
{
    QString reason;
    bool always = true;
};
const KnownFailure* KnownFailureOf(const MatrixCell& cell);

// How long a cell runs: the test command's short form, or scripts/faults.sh's full form.
struct MatrixSize
{
    int samples = 3;     // per analyzer
    int outageMs = 6000; // how long the database stays away
    int idleMs = 7000;   // the steady state at the end, scanned for lines repeated every tick
};
MatrixSize ShortForm();
MatrixSize FullForm();

// What a cell ended with.
struct CellOutcome
{
    Tally tally;
    int partial = 0;      // records stored in part (a message, a calibration), or stored though given up
    int quarantined = 0;  // records in the spool's subfolders
    int spool = 0;        // records still waiting
    int checksFailed = 0; // checks of the simulators' scripts (answers, selections) that failed
    QStringList repeated; // Monitor lines written on every tick of the steady state
    QStringList problems; // why the cell fails; empty when it passes
    QString line;         // its summary line
};

// Runs one cell against the server (which the cell may stop and start again).
CellOutcome RunCell(PgCluster& pg, const MatrixCell& cell, const MatrixSize& size);

// The table of cells for the README: a row per kind, a column per fault; "x" a cell, "known" a cell
// that fails on the code as it is.
QString MatrixTable();

} // namespace Quorlix::Test
