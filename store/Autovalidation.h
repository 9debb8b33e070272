#pragma once

#include "DbOutcome.h"

#include <QString>

namespace Quorlix {

class Database;

// Moves every finished order (request row with analyzer_id, result and time_stamp set, of any
// sample) into results with its interpretation, then deletes the finished orders. AutoVal "1"
// takes every validation interval of the parameter; "2" only those of the sample's validation set
// (sample_base.add3 = validation.nw_id) and also writes the analyzer, the measurement time and, as
// the time of validation, the database server's current time. Results beyond
// the measuring range of test_def are clipped (below range_low: 0; above range_high: range_high);
// a result flagged ">" is first set to 9999. Orders whose result lies in no interval leave no
// results row. Any other AutoVal does nothing.
DbOutcome Autovalidate(Database& db, const QString& autoVal);

} // namespace Quorlix
