#pragma once

#include "DbOutcome.h"

#include <QList>
#include <QString>
#include <QVariantList>

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
//
// Many processes may validate into one database at once: each finished order is taken out of
// request and validated by exactly one of them, never twice and never deleted unvalidated.
//
// With qcHolds (the quality-control tables exist), an order measured while its parameter was held
// on its analyzer after a rejected control (a qc_holds period) stays in request for a person, also
// once the period has ended: it was measured out of control.
DbOutcome Autovalidate(Database& db, const QString& autoVal, bool qcHolds = true);

// The condition on request rows that autovalidation takes: finished, and (with qcHolds) measured
// outside every hold period of its parameter on its analyzer.
QString AutovalidatedOrders(bool qcHolds);

// One statement over rows being moved (their table is {moved} in its text), with its bound values.
struct OverMoved
{
    QString sql;
    QVariantList values;
};

// Deletes the rows of `table` matching `condition` and runs `over` on exactly those rows (see
// SqlDialect::moveRows), inside the caller's transaction.
DbOutcome MoveRows(Database& db, const QString& table, const QString& columns, const QString& condition,
                   const QList<OverMoved>& over);

} // namespace Quorlix
