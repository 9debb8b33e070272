#pragma once

#include "FaultMatrix.h"

namespace Quorlix::Test {

// What the simulators of one instance of a cell play.
struct CellScripts
{
    QString analyzer; // on the analyzer line (empty: the kind has none)
    QString lims;     // on the LIMS line (empty: the kind has none)
};

// The sample of a run that the trigger refuses (TriggerRefuses), and the one asked twice with an
// order filed in between (OrderBetweenQueries).
QString RefusedSample(const QString& prefix);
QString QueriedSample(const QString& prefix);

// The scripts of a cell: samples PREFIX1 ... PREFIXn (their orders asked for where the kind asks,
// five results each), a control and, on the AU, two calibrations of two standards in two frames
// each; the fault's own steps where it strikes ("sim: mid-message" marks the moment for the test,
// "sim: between" the moment to file the order, "sim: deaf" the LIMS's stop). The LIMS serves for
// limsSeconds.
CellScripts ScriptsFor(const SiteKind& kind, Fault fault, const QString& prefix, int samples,
                       int limsSeconds);

} // namespace Quorlix::Test
