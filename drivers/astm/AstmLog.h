#pragma once

#include <QLoggingCategory>

namespace Quorlix {

// Developer diagnostics of the ASTM drivers ("quorlix.astm"), off below info unless QT_LOGGING_RULES turns
// them on. Operators read the communication log and the Monitor, not these.
inline const QLoggingCategory& lcAstm()
{
    static const QLoggingCategory category("quorlix.astm", QtInfoMsg);
    return category;
}

} // namespace Quorlix
