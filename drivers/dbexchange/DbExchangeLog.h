#pragma once

#include <QLoggingCategory>

namespace Quorlix {

// Developer diagnostics of the database exchange drivers ("quorlix.dbexchange"), off below info unless
// QT_LOGGING_RULES turns them on. Operators read the communication log and the Monitor, not these.
inline const QLoggingCategory& lcDbExchange()
{
    static const QLoggingCategory category("quorlix.dbexchange", QtInfoMsg);
    return category;
}

} // namespace Quorlix
