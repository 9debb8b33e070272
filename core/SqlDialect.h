#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

class QSqlError;

namespace Quorlix {

// The few places where the laboratory's database servers speak differently. Every statement of
// the program is otherwise portable SQL with bound values.
class SqlDialect
{
public:
    enum Kind
    {
        SQLite,
        PostgreSQL,
        SqlServer
    };

    explicit SqlDialect(Kind kind = SQLite) : m_kind(kind) {}
    Kind kind() const { return m_kind; }
    QString name() const;

    // The server's current local date-time (getdate() on SQL Server).
    QString now() const;
    // Day of the month and year of a date-time column or expression, as integers.
    QString dayOf(const QString& expr) const;
    QString yearOf(const QString& expr) const;
    // Whole minutes from a to b (b - a), for date-time expressions.
    QString minutesBetween(const QString& a, const QString& b) const;
    // A bound value's text form for a date-time column. SQL Server reads "yyyymmdd hh:mm:ss"
    // whatever its language; the others read ISO "yyyy-mm-dd hh:mm:ss".
    QString stampFromSqlStamp(const QString& sqlStamp) const;
    // A bound stamp() value where nothing around it tells the server its type, as in the SELECT
    // list of an INSERT ... SELECT (PostgreSQL would take it for text).
    QString boundStamp() const;
    // "select <columns> ... limited to n rows": SQL Server wants TOP after SELECT, the others LIMIT.
    QString selectTop(int n, const QString& columnsAndRest) const;
    // Casts an expression to text.
    QString castText(const QString& expr) const;
    // Does a table exist (one bound value: the table name)?
    QString tableExistsQuery() const;
    // An empty table with the columns of another.
    QString createEmptyCopy(const QString& newTable, const QString& sourceTable) const;
    // Statements around an INSERT that gives an identity column its value explicitly.
    QStringList explicitIdentityBefore(const QString& table) const;
    QStringList explicitIdentityAfter(const QString& table, const QString& column) const;
    // A quoted identifier.
    QString quoteIdentifier(const QString& name) const;
    // Savepoints inside a transaction: SQL Server names them with SAVE/ROLLBACK TRANSACTION and
    // has no release (releaseSavepoint() is then empty).
    QString savepoint(const QString& name) const;
    QString rollbackToSavepoint(const QString& name) const;
    QString releaseSavepoint(const QString& name) const;
    // Takes the rows of `table` that match `condition` out of it and runs the statements `over` on
    // exactly the rows taken, which their texts call {moved} (with the `columns` given). Each
    // statement returned lists the statements of `over` whose bound values it takes, in order.
    // Whatever other connections write meanwhile, no two transactions take the same row and no row
    // is deleted unseen by `over`: PostgreSQL and SQL Server look at the table afresh for every
    // statement, so there the rows are taken and used in one statement; SQLite lets one connection
    // write at a time, so its separate statements all see the same rows.
    struct MoveStatement
    {
        QString sql;
        QList<int> valuesOf;
    };
    QList<MoveStatement> moveRows(const QString& table, const QString& columns, const QString& condition,
                                  const QStringList& over) const;
    // A statement and the values it binds.
    struct BoundStatement
    {
        QString sql;
        QVariantList values;
    };
    // Takes the named lock until the calling transaction ends: a second transaction asking for it
    // waits until the first commits or rolls back (as long as the connection waits for any lock).
    // SQLite lets one connection write at a time: there the statement takes that write lock.
    BoundStatement transactionLock(const QString& name) const;
    // Whose fault a failed statement was. Transient: the server or the connection (gone, shutting
    // down, busy or locked, a deadlock, a timeout, out of space): the same statement can work
    // later. Permanent: this statement with these values (a constraint, a conversion, a missing
    // table or column, an error raised by a trigger): it fails again however often it is tried.
    // Unknown: the error does not say; whether the connection still answers decides.
    enum class Failure
    {
        Transient,
        Permanent,
        Unknown
    };
    Failure classify(const QSqlError& error) const;

private:
    Kind m_kind;
};

} // namespace Quorlix
