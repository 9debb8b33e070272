#include "QcTables.h"

#include "core/Database.h"
#include "core/SchemaInit.h"

#include <QStringList>

namespace Quorlix {

namespace {

const QStringList QcTableNames{QStringLiteral("control_targets"), QStringLiteral("control_rule_events"),
                               QStringLiteral("qc_holds")};

bool Mentions(const QString& statement, const QStringList& names)
{
    for (const QString& name : names) {
        if (statement.contains(name))
            return true;
    }
    return false;
}

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
    // Statements end with ";" at the end of a line, as the scripts are written and run.
    const QStringList names = QcTableNames + QStringList{QStringLiteral("ix_control_results_")};
    QString script;
    QString statement;
    for (const QString& line : schemaScript.split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("--")))
            continue;
        statement += line + QLatin1Char('\n');
        if (!line.trimmed().endsWith(QLatin1Char(';')))
            continue;
        if (Mentions(statement, names))
            script += statement;
        statement.clear();
    }
    return script;
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
