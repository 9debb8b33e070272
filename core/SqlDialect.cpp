#include "SqlDialect.h"

#include "Stamps.h"

#include <QSqlError>

namespace Quorlix {

QString SqlDialect::name() const
{
    switch (m_kind) {
    case SQLite:
        return QStringLiteral("SQLite");
    case PostgreSQL:
        return QStringLiteral("PostgreSQL");
    case SqlServer:
        return QStringLiteral("SQL Server");
    }
    return {};
}

QString SqlDialect::now() const
{
    switch (m_kind) {
    case SQLite:
        return QStringLiteral("datetime('now','localtime')");
    case PostgreSQL:
        return QStringLiteral("LOCALTIMESTAMP(0)");
    case SqlServer:
        return QStringLiteral("getdate()");
    }
    return {};
}

QString SqlDialect::dayOf(const QString& expr) const
{
    switch (m_kind) {
    case SQLite:
        return QStringLiteral("CAST(strftime('%d', %1) AS INTEGER)").arg(expr);
    case PostgreSQL:
        return QStringLiteral("CAST(EXTRACT(DAY FROM %1) AS INTEGER)").arg(expr);
    case SqlServer:
        return QStringLiteral("DAY(%1)").arg(expr);
    }
    return {};
}

QString SqlDialect::yearOf(const QString& expr) const
{
    switch (m_kind) {
    case SQLite:
        return QStringLiteral("CAST(strftime('%Y', %1) AS INTEGER)").arg(expr);
    case PostgreSQL:
        return QStringLiteral("CAST(EXTRACT(YEAR FROM %1) AS INTEGER)").arg(expr);
    case SqlServer:
        return QStringLiteral("YEAR(%1)").arg(expr);
    }
    return {};
}

QString SqlDialect::minutesBetween(const QString& a, const QString& b) const
{
    switch (m_kind) {
    // Minute boundaries crossed, as SQL Server's DATEDIFF counts them.
    case SQLite:
        return QStringLiteral(
                   "(CAST(strftime('%s', %2) AS INTEGER) / 60 - CAST(strftime('%s', %1) AS INTEGER) / 60)")
            .arg(a, b);
    case PostgreSQL:
        return QStringLiteral("CAST(EXTRACT(EPOCH FROM (date_trunc('minute', CAST(%2 AS timestamp)) - "
                              "date_trunc('minute', CAST(%1 AS timestamp)))) / 60 AS INTEGER)")
            .arg(a, b);
    case SqlServer:
        return QStringLiteral("DATEDIFF(minute, %1, %2)").arg(a, b);
    }
    return {};
}

QString SqlDialect::stampFromSqlStamp(const QString& sqlStamp) const
{
    const QDateTime when = FromSqlStamp(sqlStamp);
    if (!when.isValid())
        return sqlStamp;
    return when.toString(m_kind == SqlServer ? QStringLiteral("yyyyMMdd HH:mm:ss")
                                             : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString SqlDialect::selectTop(int n, const QString& columnsAndRest) const
{
    if (m_kind == SqlServer)
        return QStringLiteral("SELECT TOP %1 %2").arg(n).arg(columnsAndRest);
    return QStringLiteral("SELECT %2 LIMIT %1").arg(n).arg(columnsAndRest);
}

QString SqlDialect::castText(const QString& expr) const
{
    switch (m_kind) {
    case SQLite:
        return QStringLiteral("CAST(%1 AS TEXT)").arg(expr);
    case PostgreSQL:
        return QStringLiteral("CAST(%1 AS VARCHAR)").arg(expr);
    case SqlServer:
        return QStringLiteral("CAST(%1 AS NVARCHAR(50))").arg(expr);
    }
    return {};
}

QString SqlDialect::tableExistsQuery() const
{
    switch (m_kind) {
    case SQLite:
        return QStringLiteral(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND lower(name) = lower(?)");
    case PostgreSQL:
        return QStringLiteral("SELECT table_name FROM information_schema.tables "
                              "WHERE table_schema = current_schema() AND lower(table_name) = lower(?)");
    case SqlServer:
        return QStringLiteral("SELECT name FROM sysobjects WHERE name = ?");
    }
    return {};
}

QString SqlDialect::createEmptyCopy(const QString& newTable, const QString& sourceTable) const
{
    const QString target = quoteIdentifier(newTable);
    if (m_kind == SqlServer)
        return QStringLiteral("SELECT * INTO %1 FROM %2 WHERE 1=2").arg(target, sourceTable);
    return QStringLiteral("CREATE TABLE %1 AS SELECT * FROM %2 WHERE 1=2").arg(target, sourceTable);
}

QStringList SqlDialect::explicitIdentityBefore(const QString& table) const
{
    if (m_kind == SqlServer)
        return {QStringLiteral("SET IDENTITY_INSERT %1 ON").arg(table)};
    return {};
}

QStringList SqlDialect::explicitIdentityAfter(const QString& table, const QString& column) const
{
    switch (m_kind) {
    case SqlServer:
        return {QStringLiteral("SET IDENTITY_INSERT %1 OFF").arg(table)};
    case PostgreSQL:
        // An explicit value does not move the identity sequence: move it past the highest id.
        return {QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), "
                               "(SELECT COALESCE(MAX(%2), 1) FROM %1))")
                    .arg(table, column)};
    case SQLite:
        return {};
    }
    return {};
}

QString SqlDialect::quoteIdentifier(const QString& name) const
{
    QString escaped = name;
    // SQLite would read an unknown "name" as a text literal; brackets always mean a column there.
    if (m_kind == SqlServer || m_kind == SQLite)
        return QLatin1Char('[') + escaped.replace(QLatin1Char(']'), QLatin1String("]]")) + QLatin1Char(']');
    return QLatin1Char('"') + escaped.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString SqlDialect::savepoint(const QString& name) const
{
    if (m_kind == SqlServer)
        return QStringLiteral("SAVE TRANSACTION %1").arg(name);
    return QStringLiteral("SAVEPOINT %1").arg(name);
}

QString SqlDialect::rollbackToSavepoint(const QString& name) const
{
    if (m_kind == SqlServer)
        return QStringLiteral("ROLLBACK TRANSACTION %1").arg(name);
    return QStringLiteral("ROLLBACK TO SAVEPOINT %1").arg(name);
}

QString SqlDialect::releaseSavepoint(const QString& name) const
{
    if (m_kind == SqlServer)
        return {};
    return QStringLiteral("RELEASE SAVEPOINT %1").arg(name);
}

QList<SqlDialect::MoveStatement> SqlDialect::moveRows(const QString& table, const QString& columns,
                                                      const QString& condition, const QStringList& over) const
{
    const QString moved = QStringLiteral("{moved}");
    QList<int> all;
    for (int i = 0; i < over.size(); ++i)
        all << i;
    switch (m_kind) {
    case PostgreSQL: {
        // One statement: the DELETE's RETURNING rows feed the others, all on the same snapshot; a
        // second transaction deleting the same rows waits and then finds them gone.
        QString sql = QStringLiteral("WITH moved AS (DELETE FROM %1 WHERE %2 RETURNING %3)")
                          .arg(table, condition, columns);
        for (int i = 0; i + 1 < over.size(); ++i)
            sql += QStringLiteral(", step%1 AS (%2)")
                       .arg(i + 1)
                       .arg(QString(over.at(i)).replace(moved, QStringLiteral("moved")));
        sql += QLatin1Char(' ') + QString(over.constLast()).replace(moved, QStringLiteral("moved"));
        return {{sql, all}};
    }
    case SqlServer: {
        // One batch: the deleted rows are kept in a temporary table that lives as long as the batch.
        QStringList deleted;
        for (const QString& column : columns.split(QLatin1Char(',')))
            deleted << QStringLiteral("deleted.") + column.trimmed();
        QString sql = QStringLiteral("SET NOCOUNT ON; SELECT TOP 0 %1 INTO #moved FROM %2; "
                                     "DELETE FROM %2 OUTPUT %3 INTO #moved WHERE %4; ")
                          .arg(columns, table, deleted.join(QStringLiteral(", ")), condition);
        for (const QString& statement : over)
            sql += QString(statement).replace(moved, QStringLiteral("#moved")) + QStringLiteral("; ");
        return {{sql + QStringLiteral("DROP TABLE #moved"), all}};
    }
    case SQLite:
        break;
    }
    QList<MoveStatement> statements;
    const QString rows = QStringLiteral("(SELECT %1 FROM %2 WHERE %3)").arg(columns, table, condition);
    for (int i = 0; i < over.size(); ++i)
        statements.append({QString(over.at(i)).replace(moved, rows), {i}});
    statements.append({QStringLiteral("DELETE FROM %1 WHERE %2").arg(table, condition), {}});
    return statements;
}

namespace {

// PostgreSQL's advisory locks are numbers: a stable one for the name (FNV-1a), the same in every
// process and every version of the program.
qint64 AdvisoryLockKey(const QString& name)
{
    quint64 hash = 14695981039346656037ULL;
    for (const char c : name.toUtf8()) {
        hash ^= quint8(c);
        hash *= 1099511628211ULL;
    }
    return static_cast<qint64>(hash);
}

} // namespace

SqlDialect::BoundStatement SqlDialect::transactionLock(const QString& name) const
{
    switch (m_kind) {
    case PostgreSQL:
        return {QStringLiteral("SELECT pg_advisory_xact_lock(CAST(? AS BIGINT))"), {AdvisoryLockKey(name)}};
    case SqlServer:
        // sp_getapplock reports a refusal (time-out, deadlock victim) by its return code only.
        return {QStringLiteral("DECLARE @granted INT; EXEC @granted = sp_getapplock @Resource = ?, "
                               "@LockMode = 'Exclusive', @LockOwner = 'Transaction'; "
                               "IF @granted < 0 RAISERROR('the application lock was not granted', 16, 1)"),
                {name}};
    case SQLite:
        // A write that changes nothing still takes the database's write lock.
        return {QStringLiteral("UPDATE quorlix_log SET log_key = log_key WHERE 1 = 0"), {}};
    }
    return {};
}

bool SqlDialect::isDataError(const QSqlError& error) const
{
    const QString code = error.nativeErrorCode();
    if (m_kind == SQLite) {
        // Extended result codes carry the primary code in the low byte: TOOBIG, CONSTRAINT,
        // MISMATCH, RANGE.
        bool ok = false;
        const int primary = code.toInt(&ok) & 0xff;
        return ok && (primary == 18 || primary == 19 || primary == 20 || primary == 25);
    }
    // SQLSTATE classes 22 (data exception) and 23 (integrity constraint violation); the ODBC
    // driver may hand several codes, separated by ";", and SQL Server its own error numbers.
    static const QStringList sqlServerDataErrors{
        QStringLiteral("8152"), QStringLiteral("2628"), QStringLiteral("515"), QStringLiteral("2627"),
        QStringLiteral("2601"), QStringLiteral("547"),  QStringLiteral("245"), QStringLiteral("8114"),
        QStringLiteral("241"),  QStringLiteral("8115"), QStringLiteral("220"), QStringLiteral("232")};
    const QStringList parts = code.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString& raw : parts) {
        const QString part = raw.trimmed();
        if (part.size() == 5 &&
            (part.startsWith(QLatin1String("22")) || part.startsWith(QLatin1String("23"))))
            return true;
        if (m_kind == SqlServer && sqlServerDataErrors.contains(part))
            return true;
    }
    if (m_kind == PostgreSQL) {
        // PostgreSQL's ODBC driver hands no SQLSTATE, only the server's message.
        static const QStringList dataMessages{
            QStringLiteral("violates"), QStringLiteral("invalid input syntax"),
            QStringLiteral("out of range"), QStringLiteral("value too long"),
            QStringLiteral("division by zero")};
        const QString text = error.databaseText();
        for (const QString& message : dataMessages)
            if (text.contains(message))
                return true;
    }
    return false;
}

} // namespace Quorlix
