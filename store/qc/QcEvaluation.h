#pragma once

#include "store/DbOutcome.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Quorlix {

class Transaction;

// A control result as it was just stored in control_results.
struct StoredControl
{
    QString controlId;
    qint16 parameterId = 0;
    QString analyzerId;
    QDateTime stamp; // the row's time_stamp
    double value = 0;
};

// How a process runs statistical quality control.
struct QcMode
{
    bool tables = true; // the quality-control tables exist (else controls are stored unjudged)
    bool hold = false;  // QcHold: a rejection holds the parameter's patient results from autovalidation
};

// Judges a control result inside the transaction that stored it: the Westgard rules on its
// z-score against the control's targets, with the control's previous 9 results and the other
// controls of its run (their latest result within the hour up to it). Every rule fired becomes a
// control_rule_events row (those of an earlier judgement of the same result are replaced) and a
// Monitor line in notes; with hold, a rejection opens a qc_holds period for the parameter on the
// analyzer and a later control without one closes it. A control without usable targets is not
// judged. Statements the database refuses are undone with a note (the control result stays
// stored); a failure of the database itself is returned.
DbOutcome JudgeControlResult(Transaction& transaction, const StoredControl& control, const QcMode& mode,
                             QStringList& notes);

} // namespace Quorlix
