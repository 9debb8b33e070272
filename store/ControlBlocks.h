#pragma once

#include "DbOutcome.h"

#include <QString>

namespace Quorlix {

class Database;

// control_block holds, per control and analyzer, the parameters whose control result is still
// missing or out of range. An in-range result removes its parameter; when none is left the next
// result of that control arms the full set again, and every day or shift change re-arms them all.
// The functions run inside the caller's transaction, if any; they stop at the first failing
// statement and say why.

// Books one control result: removes the parameter when the value lies in the control's range
// (limits included; a NULL limit is never met), and re-arms the control when nothing of it is
// left. A control without a target range for the parameter is not booked at all.
DbOutcome UpdateControlBlock(Database& db, const QString& controlId, qint16 parameterId, double value,
                             const QString& analyzerId);

// Arms the control again with every parameter the analyzer measures for it.
DbOutcome RearmControlBlock(Database& db, const QString& controlId, const QString& analyzerId);

// Re-arms every control of the analyzer (all or none: call it inside a transaction, as the day
// and shift check does).
DbOutcome RearmAllControlBlocks(Database& db, const QString& analyzerId);

} // namespace Quorlix
