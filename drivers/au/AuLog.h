#pragma once

#include <QLoggingCategory>

namespace Quorlix {

// Developer diagnostics of the AU drivers ("quorlix.au"), off below info unless QT_LOGGING_RULES turns
// them on. Operators read the communication log and the Monitor, not these.
inline const QLoggingCategory& lcAu()
{
    static const QLoggingCategory category("quorlix.au", QtInfoMsg);
    return category;
}

} // namespace Quorlix
