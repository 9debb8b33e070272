#pragma once

#include "FaultRig.h"

#include <QList>
#include <QString>

namespace Quorlix::Test {

// Where an analyzer's results end up, and so where they are counted.
enum class Filed
{
    RawResults, // a raw copy of every result in Raw_Results (Hitachi, AU, Indiko)
    Requests,   // only its order rows, which an autovalidating instance moves into results (DSX, MGC240)
    Nothing,    // acknowledged and logged only (the ACT 8 without its sample-ID window)
    ToLims,     // receives nothing: sends the validated results to the LIMS (MGC online tables)
};

// One kind of analyzer at the site, with its line, its simulator and, for some, a LIMS behind it.
struct SiteKind
{
    QString label;      // the analyzer ids are LABEL-1, LABEL-2 ...
    QString type;       // /type
    QString role;       // the simulator's role on the analyzer line; none for the MGC240
    QString templateId; // the demonstration analyzer whose channels and test codes it has
    QString outType;    // /outtype toward a LIMS, if any
    QString outId;      // /outid
    QString limsScript; // what the simulated LIMS plays on the LIMS line
    Filed filed = Filed::RawResults;
    bool ordersHere = true;  // its samples have their orders in request (else the LIMS gives them)
    double samplesPerSecond; // at most, on a line of 9600 baud: how many samples a script needs
    int instancesInFullForm; // the 32 of the full form
};

// Every kind that runs under --headless; the manual input station has no line and no headless use.
// Each kind's analyzer ids are LABEL-1, LABEL-2 ...
const QList<SiteKind>& SiteKinds();

// The analyzer's script for samples PREFIX1 ... PREFIXn: ask for the orders, then send the results
// of five tests (glucose, creatinine, urea, ALT, AST).
QString SiteScript(const SiteKind& kind, const QString& prefix, int samples);

// Analyzers whose control blocks are not armed in full: every control parameter of control_def
// that the analyzer measures, as "ID: 12 of 18 armed". Empty when all are.
QStringList UnarmedControls(Database& db, const QStringList& analyzerIds);

// A free loopback port for an instance's metrics.
quint16 FreeLoopbackPort();

// The text of GET /metrics from an instance on loopback; empty when it does not answer.
QString ScrapeMetrics(quint16 port);

// The value of a sample in a metrics text: the metric's name with its labels as written
// ("quorlix_frames_sent_total{analyzer=\"H911-1\",line=\"analyzer\"}"); -1 when absent.
double MetricValue(const QString& text, const QString& sample);

} // namespace Quorlix::Test
