#pragma once

#include "drivers/au/AuFrame.h"
#include "store/ControlStore.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace Quorlix {

// A sample id is a control's when its trimmed text matches the control mask: the id field is sent
// padded to 20 characters, a mask is written for the id itself.
inline bool IsAuControlId(const QString& sampleId, const QString& controlMask)
{
    return MatchesMask(sampleId.trimmed(), controlMask);
}

// The order frame's text (without STX and ETX) answering an "R " or "RH" request: "S", the second
// character of the request's code, the identification fields as received, four blanks, "E" and
// each channel to run as two digits. The channels come from the database. A channel that two
// digits cannot carry (below 0 or above 99) would order another test: it is left out and named in
// `problems`.
QString BuildAuOrder(const QString& code, const AuIdentification& id, const QList<int>& channels,
                     QStringList& problems);

// The control result relayed to a LIMS: the received frame (STX through ETX) with its code
// replaced by "DQ" and, just before the ETX, the first 8 characters of the control's name,
// padded with blanks to 8. Every other field stays at its position.
QString BuildAuControlFrame(const QString& frame, const QString& controlName);

} // namespace Quorlix
