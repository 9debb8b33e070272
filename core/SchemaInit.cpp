#include "SchemaInit.h"

#include "Database.h"

#include <QFile>

namespace Quorlix {

namespace {

QString Resource(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QString DialectFolder(const SqlDialect& dialect)
{
    switch (dialect.kind()) {
    case SqlDialect::SQLite:
        return QStringLiteral("sqlite");
    case SqlDialect::PostgreSQL:
        return QStringLiteral("postgresql");
    case SqlDialect::SqlServer:
        return QStringLiteral("sqlserver");
    }
    return {};
}

bool Mentions(const QString& statement, const QStringList& names)
{
    for (const QString& name : names) {
        if (statement.contains(name))
            return true;
    }
    return false;
}

} // namespace

QString SchemaStatementsMentioning(const QString& schemaScript, const QStringList& names)
{
    // Statements end with ";" at the end of a line, as the scripts are written and run.
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

QString SchemaScript(const Database& db, bool mgc240)
{
    return Resource(
        QStringLiteral(":/sql/%1/%2.sql")
            .arg(DialectFolder(db.dialect()), mgc240 ? QStringLiteral("mgc240") : QStringLiteral("schema")));
}

QString InitDatabase(Database& db, bool demoData, QString* report)
{
    const QString schema = SchemaScript(db);
    if (schema.isEmpty())
        return QStringLiteral("no schema is built in for %1").arg(db.dialect().name());
    if (const QString error = db.runScript(schema); !error.isEmpty())
        return QStringLiteral("creating the tables failed: %1").arg(error);
    if (report)
        *report += QStringLiteral("tables present in the %1\n").arg(db.target().description);
    if (!demoData)
        return {};

    SqlResult tests = db.run(QStringLiteral("SELECT COUNT(*) FROM test_def"));
    if (tests.next() && tests.value(0).toInt() > 0) {
        if (report)
            *report += QStringLiteral("test_def already holds tests: demonstration data not loaded\n");
        return {};
    }
    QString data = Resource(QStringLiteral(":/sql/demo-data.sql"));
    if (db.dialect().kind() == SqlDialect::SqlServer) {
        // Unicode literals (the Arabic interpretation texts) need the N prefix on SQL Server.
        data.replace(QStringLiteral(", '"), QStringLiteral(", N'"));
        data.replace(QStringLiteral("('"), QStringLiteral("(N'"));
    }
    if (!db.transaction())
        return QStringLiteral("cannot start a transaction: %1").arg(db.target().description);
    if (const QString error = db.runScript(data); !error.isEmpty()) {
        db.rollback();
        return QStringLiteral("loading the demonstration data failed: %1").arg(error);
    }
    if (!db.commit())
        return QStringLiteral("committing the demonstration data failed");
    if (report)
        *report += QStringLiteral("demonstration data loaded\n");
    return {};
}

} // namespace Quorlix
