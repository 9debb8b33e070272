#include "SqlDialect.h"

#include "Stamps.h"

#include <QSqlError>

namespace Quorlix {

namespace {

using Failure = SqlDialect::Failure;

// SQLite's primary result code: the low byte of the extended code Qt hands.
Failure SqliteFailure(const QString& code)
{
    bool ok = false;
    const int primary = code.toInt(&ok) & 0xff;
    if (!ok)
        return Failure::Unknown;
    switch (primary) {
    case 3:  // PERM: the file may not be opened now
    case 5:  // BUSY: another connection writes
    case 6:  // LOCKED
    case 7:  // NOMEM
    case 8:  // READONLY: the file cannot be written now
    case 9:  // INTERRUPT
    case 10: // IOERR
    case 11: // CORRUPT
    case 13: // FULL
    case 14: // CANTOPEN
    case 15: // PROTOCOL
    case 17: // SCHEMA: changed under the statement
    case 22: // NOLFS
    case 26: // NOTADB
        return Failure::Transient;
    case 1:  // ERROR: no such table or column, a syntax error
    case 18: // TOOBIG
    case 19: // CONSTRAINT, also a trigger's RAISE(ABORT, ...)
    case 20: // MISMATCH
    case 23: // AUTH
    case 25: // RANGE
        return Failure::Permanent;
    default:
        return Failure::Unknown;
    }
}

bool IsSqlState(const QString& code)
{
    if (code.size() != 5)
        return false;
    for (const QChar c : code) {
        if (!(c >= QLatin1Char('0') && c <= QLatin1Char('9')) &&
            !(c >= QLatin1Char('A') && c <= QLatin1Char('Z')))
            return false;
    }
    return code.left(2) != QLatin1String("00");
}

// A PostgreSQL SQLSTATE, by its class (the first two characters) or by itself.
Failure SqlStateFailure(const QString& state)
{
    static const QStringList transientStates{
        QStringLiteral("55P03"), // lock not available (lock_timeout)
        QStringLiteral("55006"), // object in use
        QStringLiteral("25006"), // read-only transaction: a standby, until it is promoted
        QStringLiteral("25P03"), // idle-in-transaction timeout
        QStringLiteral("72000"), // snapshot too old
    };
    static const QStringList transientClasses{
        QStringLiteral("08"), // connection exception
        QStringLiteral("40"), // transaction rollback: serialization failure, deadlock
        QStringLiteral("53"), // insufficient resources: disk full, out of memory, too many connections
        QStringLiteral("57"), // operator intervention: shutdown, statement timeout, cannot connect now
        QStringLiteral("58"), // system error: I/O
        QStringLiteral("XX"), // internal error, corrupted data
    };
    static const QStringList permanentClasses{
        QStringLiteral("09"), // triggered action exception
        QStringLiteral("0A"), // feature not supported
        QStringLiteral("21"), // cardinality violation
        QStringLiteral("22"), // data exception: too long, not a number, out of range
        QStringLiteral("23"), // integrity constraint violation
        QStringLiteral("27"), // triggered data change violation
        QStringLiteral("2F"), // SQL routine exception
        QStringLiteral("38"), // external routine exception
        QStringLiteral("39"), // external routine invocation exception
        QStringLiteral("3F"), // invalid schema name
        QStringLiteral("42"), // syntax error or access rule: missing table or column, no privilege
        QStringLiteral("44"), // WITH CHECK OPTION violation
        QStringLiteral("54"), // program limit exceeded: a value too large to index
        QStringLiteral("P0"), // PL/pgSQL: RAISE EXCEPTION in a trigger
    };
    if (transientStates.contains(state) || transientClasses.contains(state.left(2)))
        return Failure::Transient;
    if (permanentClasses.contains(state.left(2)))
        return Failure::Permanent;
    return Failure::Unknown;
}

// PostgreSQL's ODBC driver hands numbers of its own instead of the SQLSTATE (35: the connection
// was lost; 1 and others: the server's answer was an error): the server's message tells the rest.
Failure PsqlOdbcFailure(const QString& code, const QString& message)
{
    const QString text = message.toLower();
    if (code == QLatin1String("35") || text.startsWith(QLatin1String("fatal")))
        return Failure::Transient;
    static const QStringList transientPhrases{
        QStringLiteral("could not serialize access"),
        QStringLiteral("deadlock detected"),
        QStringLiteral("canceling statement due to"),
        QStringLiteral("could not obtain lock"),
        QStringLiteral("the database system is"),
        QStringLiteral("terminating connection"),
        QStringLiteral("server closed the connection"),
        QStringLiteral("connection has been lost"),
        QStringLiteral("due to the connection lost"),
        QStringLiteral("could not connect"),
        QStringLiteral("too many clients"),
        QStringLiteral("out of memory"),
        QStringLiteral("no space left"),
        QStringLiteral("in a read-only transaction"),
    };
    static const QStringList permanentPhrases{
        QStringLiteral("violates"),         QStringLiteral("invalid input syntax"),
        QStringLiteral("out of range"),     QStringLiteral("value too long"),
        QStringLiteral("division by zero"), QStringLiteral("does not exist"),
        QStringLiteral("syntax error"),     QStringLiteral("permission denied"),
    };
    for (const QString& phrase : transientPhrases) {
        if (text.contains(phrase))
            return Failure::Transient;
    }
    for (const QString& phrase : permanentPhrases) {
        if (text.contains(phrase))
            return Failure::Permanent;
    }
    return Failure::Unknown;
}

// SQL Server's error numbers, as its ODBC drivers hand them.
Failure SqlServerFailure(const QString& code)
{
    static const QList<int> transientNumbers{
        -2,                                                            // timeout expired
        2,     53,    64,    121,   233,   10053, 10054, 10060, 10061, // the network or the server went away
        701,   802,   1204,  8645,  8651,                              // out of memory or locks
        1105,  9002,                                                   // data or log file full
        1205,                                                          // chosen as deadlock victim
        1222,                                                          // lock request timeout
        3906,                                                          // database read-only
        3960,                                                          // snapshot isolation update conflict
        4060,                                                          // the database cannot be opened
        10928, 10929, 40197, 40501, 40613, 49918, 49919, 49920,        // the service is busy or moving
        20003, 20004, 20006, 20009, 20017, 20047, // FreeTDS: timeout, read, write, connect, EOF, dead
    };
    static const QList<int> permanentNumbers{
        102,  105,  156,                                     // syntax
        207,  208,  2812,                                    // no such column, table or procedure
        213,  109,  110,                                     // column count
        220,  232,  241,  245,  257, 8114, 8115, 8116, 8134, // conversion, overflow, division by zero
        229,  230,                                           // permission denied
        515,  547,  2601, 2627,                              // NULL, check or foreign key, unique
        2628, 8152,                                          // too long
        3609,                                                // the transaction ended in the trigger
    };
    bool ok = false;
    const int number = code.toInt(&ok);
    if (!ok)
        return Failure::Unknown;
    if (transientNumbers.contains(number))
        return Failure::Transient;
    // 50000 and above: RAISERROR or THROW, of a trigger or a procedure.
    if (permanentNumbers.contains(number) || number >= 50000)
        return Failure::Permanent;
    return Failure::Unknown;
}

// What SQL Server's ODBC drivers say, without a server error number, when the connection broke.
Failure SqlServerDriverFailure(const QString& message)
{
    static const QStringList phrases{
        QStringLiteral("communication link failure"), QStringLiteral("tcp provider"),
        QStringLiteral("transport-level error"),      QStringLiteral("physical connection is not usable"),
        QStringLiteral("connection is broken"),       QStringLiteral("timeout expired"),
        QStringLiteral("adaptive server connection"), QStringLiteral("read from the server failed"),
        QStringLiteral("write to the server failed"), QStringLiteral("unexpected eof from the server"),
    };
    const QString text = message.toLower();
    for (const QString& phrase : phrases) {
        if (text.contains(phrase))
            return Failure::Transient;
    }
    return Failure::Unknown;
}

} // namespace

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
    const StampParts p = ReadSqlStamp(sqlStamp);
    if (!p.isValid())
        return sqlStamp;
    const int y = p.date.year(), mo = p.date.month(), d = p.date.day();
    const int h = p.time.hour(), mi = p.time.minute(), s = p.time.second();
    if (m_kind == SqlServer)
        return QString::asprintf("%04d%02d%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
}

QString SqlDialect::boundStamp() const
{
    switch (m_kind) {
    case SQLite:
        return QStringLiteral("?");
    case PostgreSQL:
        return QStringLiteral("CAST(? AS TIMESTAMP)");
    case SqlServer:
        return QStringLiteral("CAST(? AS DATETIME)");
    }
    return {};
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

SqlDialect::Failure SqlDialect::classify(const QSqlError& error) const
{
    const QStringList codes = error.nativeErrorCode().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    Failure failure = Failure::Unknown;
    for (const QString& raw : codes) {
        const QString code = raw.trimmed();
        Failure one = Failure::Unknown;
        switch (m_kind) {
        case SQLite:
            one = SqliteFailure(code);
            break;
        case PostgreSQL:
            one = IsSqlState(code) ? SqlStateFailure(code) : PsqlOdbcFailure(code, error.databaseText());
            break;
        case SqlServer:
            one = SqlServerFailure(code);
            break;
        }
        // Several codes: one that says the server or the connection failed decides.
        if (one == Failure::Transient)
            return one;
        if (one == Failure::Permanent)
            failure = one;
    }
    if (codes.isEmpty() && m_kind == PostgreSQL)
        failure = PsqlOdbcFailure(QString(), error.databaseText());
    if (failure == Failure::Unknown && m_kind == SqlServer)
        failure = SqlServerDriverFailure(error.text());
    // SQLite reports refused values as connection errors too; the others mean what they say.
    if (failure == Failure::Unknown && m_kind != SQLite && error.type() == QSqlError::ConnectionError)
        return Failure::Transient;
    return failure;
}

} // namespace Quorlix
