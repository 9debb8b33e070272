#pragma once

#include "SqlDialect.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <memory>

namespace Quorlix {

struct Settings;

// Where the laboratory database is and how to log in, from the site settings.
struct DatabaseTarget
{
    QString qtDriver;     // QSQLITE, QPSQL, QODBC
    QString databaseName; // file, database, or ODBC connection string
    QString host;
    int port = -1;
    QString user;
    QString password;
    QString connectOptions; // extra driver options (tests put PostgreSQL's search_path here)
    SqlDialect dialect;
    QString description; // for messages: never contains a password
    QString error;       // the settings do not describe a usable database
};

// Builds the connection description from `dbdriver`, `server`, `database`, `SQLSVR`, `dbuser`,
// `dbpassword`, `odbcdriver` and `odbc`. Relative SQLite paths are taken relative to iniDir.
DatabaseTarget DescribeDatabase(const Settings& settings, const QString& iniDir);

// The ODBC connection string for SQL Server in one of the three login modes of `SQLSVR`.
QString SqlServerConnectionString(const Settings& settings);

// Hides the value of every PWD= / Password= item of a connection string.
QString RedactConnectionString(const QString& connection);

// The result of one statement: the rows to read, and whether it ran. A statement with values is the
// connection's prepared one, shared with its cache (a QSqlQuery cannot be copied).
//
// A result is finished when it goes out of scope, read to its end or not: a statement left active
// keeps a read transaction open, and on SQLite in WAL mode every later read of the connection would
// see the database as it was then (and the WAL could no longer be checkpointed). So a result is
// moved, never copied, and its rows are read within the scope that ran it.
class SqlResult
{
public:
    SqlResult() = default;
    SqlResult(std::shared_ptr<QSqlQuery> query, bool ok) : m_query(std::move(query)), m_ok(ok) {}
    ~SqlResult() { finish(); }
    SqlResult(SqlResult&& other) noexcept;
    SqlResult& operator=(SqlResult&& other) noexcept;
    SqlResult(const SqlResult&) = delete;
    SqlResult& operator=(const SqlResult&) = delete;

    bool ok() const { return m_ok; }
    QString error() const;
    bool next() { return m_ok && m_query->next(); }
    QVariant value(int i) const { return m_query->value(i); }
    QVariant value(const QString& column) const { return m_query->value(column); }
    // Rows changed by an INSERT, UPDATE or DELETE (-1 when the driver cannot tell).
    int rowsAffected() const { return m_query->numRowsAffected(); }
    // The names of the result's columns, in order.
    QStringList columns() const;
    // Ends the reading early; the destructor does it too.
    void finish();
    // The statement itself, for a caller that has to keep it alive beyond this result.
    std::shared_ptr<QSqlQuery> statement() const { return m_query; }
    const QSqlQuery& query() const { return *m_query; }
    // Whether the failure was the database going away rather than the statement itself.
    bool connectionLost() const;

private:
    std::shared_ptr<QSqlQuery> m_query = std::make_shared<QSqlQuery>();
    bool m_ok = false;
};

// The one connection to the laboratory database. Every statement goes through run() with its
// values bound, never written into the text.
class Database
{
public:
    explicit Database(QString connectionName = QStringLiteral("quorlix"));
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the connection; returns an error text naming the server and database (no password).
    QString open(const DatabaseTarget& target);
    void close();
    bool isOpen() const;
    // Opens the connection again after the server went away; true when it is back.
    bool reconnect();
    // Whether the server answers a trivial question now (outside a failed transaction).
    bool answers();

    SqlResult run(const QString& sql, const QVariantList& values = {});
    // Runs a script of statements separated by ";" at line ends (schema files).
    QString runScript(const QString& script);

    bool transaction();
    bool commit();
    bool rollback();

    const SqlDialect& dialect() const { return m_target.dialect; }
    const DatabaseTarget& target() const { return m_target; }
    QSqlDatabase handle() const;
    QString connectionName() const { return m_connectionName; }

    // A bound value for a date-time column, from a ToSqlStamp text.
    QVariant stamp(const QString& sqlStamp) const;
    // A bound SQL NULL.
    static QVariant null() { return QVariant(QMetaType(QMetaType::QString)); }

    bool tableExists(const QString& table);

private:
    void finishStatements();

    QString m_connectionName;
    DatabaseTarget m_target;
    // Statements with values are prepared once per connection and run again with new values:
    // a received frame runs the same few dozen statements every time.
    QHash<QString, std::shared_ptr<QSqlQuery>> m_prepared;
};

} // namespace Quorlix
