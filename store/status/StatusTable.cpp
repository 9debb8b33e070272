#include "StatusTable.h"

#include "core/Database.h"
#include "core/SchemaInit.h"

namespace Quorlix {

QString EnsureStatusTable(Database& db)
{
    const QString table = QStringLiteral("analyzer_status");
    if (db.tableExists(table))
        return {};
    const QString script = SchemaStatementsMentioning(SchemaScript(db), {table});
    if (script.isEmpty())
        return QStringLiteral("no schema is built in for %1").arg(db.dialect().name());
    const QString error = db.runScript(script);
    if (db.tableExists(table))
        return {};
    return error.isEmpty() ? QStringLiteral("the table was not created") : error;
}

} // namespace Quorlix
