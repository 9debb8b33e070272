#pragma once

#include <QString>

namespace Quorlix {

class Database;

// control_block holds, per control and analyzer, the parameters whose control result is still
// missing or out of range. An in-range result removes its parameter; when none is left the next
// result of that control arms the full set again, and every day or shift change re-arms them all.

// Books one control result: removes the parameter when the value lies in the control's range, and
// re-arms the control when nothing of it is left. Returns false when a statement failed.
bool UpdateControlBlock(Database& db, const QString& controlId, qint16 parameterId, double value,
                        const QString& analyzerId);

// Arms the control again with every parameter the analyzer measures for it.
bool RearmControlBlock(Database& db, const QString& controlId, const QString& analyzerId);

// Re-arms every control of the analyzer.
bool RearmAllControlBlocks(Database& db, const QString& analyzerId);

} // namespace Quorlix
