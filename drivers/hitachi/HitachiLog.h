#pragma once

#include <QLoggingCategory>

namespace Quorlix {

// Developer diagnostics of the Hitachi drivers ("quorlix.hitachi"), off below info unless QT_LOGGING_RULES
// turns them on. Operators read the communication log and the Monitor, not these.
inline const QLoggingCategory& lcHitachi()
{
    static const QLoggingCategory category("quorlix.hitachi", QtInfoMsg);
    return category;
}

} // namespace Quorlix
