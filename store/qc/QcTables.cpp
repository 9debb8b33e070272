#include "QcTables.h"

#include "core/Database.h"
#include "core/SchemaInit.h"

#include <QStringList>

namespace Quorlix {

namespace {

const QStringList QcTableNames{QStringLiteral("control_targets"), QStringLiteral("control_rule_events"),
                               QStringLiteral("qc_holds")};

bool QcTablesPresent(Database& db)
{
    for (const QString& table : QcTableNames) {
        if (!db.tableExists(table))
            return false;
    }
    return true;
}

} // namespace

QString QcTablesScript(const QString& schemaScript)
{
    return SchemaStatementsMentioning(schemaScript,
                                      QcTableNames + QStringList{QStringLiteral("ix_control_results_")});
}

QString EnsureQcTables(Database& db)
{
    if (QcTablesPresent(db))
        return {};
    const QString script = QcTablesScript(SchemaScript(db));
    if (script.isEmpty())
        return QStringLiteral("no schema is built in for %1").arg(db.dialect().name());
    const QString error = db.runScript(script);
    if (QcTablesPresent(db))
        return {};
    return error.isEmpty() ? QStringLiteral("the tables were not created") : error;
}

} // namespace Quorlix
