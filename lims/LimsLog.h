#pragma once

#include <QLoggingCategory>

namespace Quorlix {

// Developer diagnostics of the LIMS side ("quorlix.lims"), off below info unless QT_LOGGING_RULES turns
// them on. Operators read the communication log and the Monitor, not these.
inline const QLoggingCategory& lcLims()
{
    static const QLoggingCategory category("quorlix.lims", QtInfoMsg);
    return category;
}

} // namespace Quorlix
