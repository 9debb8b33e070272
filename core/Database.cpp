#include "Database.h"

#include "CommandLine.h"
#include "Settings.h"
#include "Stamps.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QTimeZone>

#include <utility>

namespace Quorlix {

namespace {

void SplitHostPort(const QString& server, QString& host, int& port)
{
    host = server;
    port = -1;
    const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
    if (colon > 0) {
        bool ok = false;
        const int parsed = server.mid(colon + 1).toInt(&ok);
        if (ok) {
            host = server.left(colon);
            port = parsed;
        }
    }
}

QString DefaultOdbcDriver()
{
#ifdef Q_OS_WIN
    return QStringLiteral("ODBC Driver 17 for SQL Server");
#else
    return QStringLiteral("FreeTDS");
#endif
}

// An ODBC string value that needs braces (it holds ";", "{" or "}" or blanks at its ends).
QString OdbcValue(const QString& value)
{
    if (value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('{')) ||
        value.contains(QLatin1Char('}')) || value != value.trimmed()) {
        QString escaped = value;
        escaped.replace(QLatin1Char('}'), QLatin1String("}}"));
        return QLatin1Char('{') + escaped + QLatin1Char('}');
    }
    return value;
}

SqlDialect DialectOfOdbc(const QString& connection)
{
    const QString lower = connection.toLower();
    if (lower.contains(QLatin1String("psqlodbc")) || lower.contains(QLatin1String("postgres")))
        return SqlDialect(SqlDialect::PostgreSQL);
    if (lower.contains(QLatin1String("sqlite")))
        return SqlDialect(SqlDialect::SQLite);
    return SqlDialect(SqlDialect::SqlServer);
}

} // namespace

QString SqlServerConnectionString(const Settings& s)
{
    const QString driver = s.OdbcDriver.isEmpty() ? DefaultOdbcDriver() : s.OdbcDriver;
    QString host;
    int port = -1;
    SplitHostPort(s.SqlServer, host, port);
    QString text = QStringLiteral("DRIVER={%1};SERVER=%2;").arg(driver, OdbcValue(host));
    if (port > 0)
        text += QStringLiteral("PORT=%1;").arg(port);
    text += QStringLiteral("DATABASE=%1;").arg(OdbcValue(s.SqlDatabase));
    if (!s.DbUser.isEmpty()) {
        text += QStringLiteral("UID=%1;PWD=%2;").arg(OdbcValue(s.DbUser), OdbcValue(s.DbPassword));
    } else if (s.SqlLoginMode == QLatin1String("2000")) {
        text += QStringLiteral("Trusted_Connection=yes;");
    } else if (s.SqlLoginMode == QLatin1String("quorlix")) {
        text += QStringLiteral("UID=quorlix;PWD=pelvor;");
    } else {
        text += QStringLiteral("UID=sa;PWD=;");
    }
    return text;
}

QString RedactConnectionString(const QString& connection)
{
    static const QRegularExpression password(
        QStringLiteral("((?:PWD|Password)\\s*=\\s*)(\\{(?:[^}]|\\}\\})*\\}|[^;]*)"),
        QRegularExpression::CaseInsensitiveOption);
    QString redacted = connection;
    redacted.replace(password, QStringLiteral("\\1***"));
    return redacted;
}

DatabaseTarget DescribeDatabase(const Settings& s, const QString& iniDir)
{
    DatabaseTarget t;
    QString driver = s.DbDriver.trimmed().toLower();
    if (driver.isEmpty())
        driver = s.SqlServer.isEmpty() ? QStringLiteral("sqlite") : QStringLiteral("sqlserver");

    if (driver == QLatin1String("sqlite")) {
        t.qtDriver = QStringLiteral("QSQLITE");
        const QString file = s.SqlDatabase.isEmpty() ? QStringLiteral("quorlix.db") : s.SqlDatabase;
        t.databaseName = QFileInfo(file).isAbsolute() ? file : QDir(iniDir).filePath(file);
        t.dialect = SqlDialect(SqlDialect::SQLite);
        t.description = QStringLiteral("SQLite database %1").arg(t.databaseName);
    } else if (driver == QLatin1String("postgresql")) {
        t.qtDriver = QStringLiteral("QPSQL");
        SplitHostPort(s.SqlServer, t.host, t.port);
        t.databaseName = s.SqlDatabase;
        t.user = s.DbUser;
        t.password = s.DbPassword;
        t.dialect = SqlDialect(SqlDialect::PostgreSQL);
        t.description =
            QStringLiteral("PostgreSQL database %1 on %2%3%4")
                .arg(t.databaseName, t.host.isEmpty() ? QStringLiteral("the local server") : t.host,
                     t.port > 0 ? QStringLiteral(":%1").arg(t.port) : QString(),
                     t.user.isEmpty() ? QString() : QStringLiteral(" as %1").arg(t.user));
    } else if (driver == QLatin1String("sqlserver")) {
        t.qtDriver = QStringLiteral("QODBC");
        t.databaseName = SqlServerConnectionString(s);
        t.dialect = SqlDialect(SqlDialect::SqlServer);
        t.description = QStringLiteral("SQL Server database %1 on %2 (%3)")
                            .arg(s.SqlDatabase, s.SqlServer, RedactConnectionString(t.databaseName));
    } else if (driver == QLatin1String("odbc")) {
        t.qtDriver = QStringLiteral("QODBC");
        t.databaseName = s.OdbcConnection;
        t.dialect = DialectOfOdbc(s.OdbcConnection);
        t.description = QStringLiteral("ODBC database (%1)").arg(RedactConnectionString(s.OdbcConnection));
        if (s.OdbcConnection.isEmpty())
            t.error = QStringLiteral("dbdriver=odbc needs the connection string in the key odbc");
    } else {
        t.error =
            QStringLiteral("dbdriver=%1 is not one of sqlite, postgresql, sqlserver, odbc").arg(s.DbDriver);
    }
    return t;
}

SqlResult::SqlResult(SqlResult&& other) noexcept
    : m_query(std::exchange(other.m_query, nullptr)), m_ok(other.m_ok)
{
}

SqlResult& SqlResult::operator=(SqlResult&& other) noexcept
{
    if (this != &other) {
        finish();
        m_query = std::exchange(other.m_query, nullptr);
        m_ok = other.m_ok;
    }
    return *this;
}

void SqlResult::finish()
{
    if (m_query && m_query->isActive())
        m_query->finish();
}

QStringList SqlResult::columns() const
{
    QStringList names;
    const QSqlRecord record = m_query->record();
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

QString SqlResult::error() const
{
    return m_query->lastError().text();
}

bool SqlResult::connectionLost() const
{
    if (m_ok)
        return false;
    const QSqlError error = m_query->lastError();
    if (error.type() == QSqlError::ConnectionError)
        return true;
    const QString text = error.text().toLower();
    return text.contains(QLatin1String("connection")) || text.contains(QLatin1String("server closed")) ||
           text.contains(QLatin1String("no connection")) || text.contains(QLatin1String("terminating")) ||
           text.contains(QLatin1String("communication link"));
}

Database::Database(QString connectionName) : m_connectionName(std::move(connectionName)) {}

Database::~Database()
{
    close();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase Database::handle() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

QString Database::open(const DatabaseTarget& target)
{
    m_target = target;
    if (!target.error.isEmpty())
        return target.error;
    if (!QSqlDatabase::isDriverAvailable(target.qtDriver))
        return QStringLiteral("the Qt database driver %1 for the %2 is not installed")
            .arg(target.qtDriver, target.description);
    {
        QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                              ? QSqlDatabase::database(m_connectionName, false)
                              : QSqlDatabase::addDatabase(target.qtDriver, m_connectionName);
        db.setDatabaseName(target.databaseName);
        if (!target.host.isEmpty())
            db.setHostName(target.host);
        if (target.port > 0)
            db.setPort(target.port);
        if (!target.user.isEmpty())
            db.setUserName(target.user);
        if (!target.password.isEmpty())
            db.setPassword(target.password);
        if (target.qtDriver == QLatin1String("QPSQL"))
            db.setConnectOptions(
                QStringLiteral("connect_timeout=5") +
                (target.connectOptions.isEmpty() ? QString() : QLatin1Char(';') + target.connectOptions));
        if (target.qtDriver == QLatin1String("QSQLITE"))
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            // The server's own words; the driver's "QPSQL: Unable to connect" adds nothing to them.
            const QSqlError error = db.lastError();
            QString reason = RedactConnectionString(
                OneLine(error.databaseText().trimmed().isEmpty() ? error.text() : error.databaseText()));
            if (!target.password.isEmpty())
                reason.replace(target.password, QStringLiteral("***"));
            return QStringLiteral("cannot open the %1: %2").arg(target.description, reason);
        }
    }
    if (target.dialect.kind() == SqlDialect::PostgreSQL) {
        // Time stamps are written as local wall-clock text; let the server's own clock agree.
        const QString zone = QString::fromLatin1(QTimeZone::systemTimeZoneId());
        static const QRegularExpression safeZone(QStringLiteral("^[A-Za-z0-9_/+-]+$"));
        if (safeZone.match(zone).hasMatch())
            run(QStringLiteral("SET TIME ZONE '%1'").arg(zone));
    }
    // A row locked by another program (an editor left in a transaction) must not hold the window
    // and the line for ever: after 5 s the statement fails as busy, and the record waits in the
    // spool, as SQLite's busy time-out does.
    if (target.dialect.kind() == SqlDialect::PostgreSQL)
        run(QStringLiteral("SET lock_timeout = 5000"));
    if (target.dialect.kind() == SqlDialect::SqlServer)
        run(QStringLiteral("SET LOCK_TIMEOUT 5000"));
    if (target.dialect.kind() == SqlDialect::SQLite) {
        run(QStringLiteral("PRAGMA journal_mode=WAL"));
        // The planner needs table statistics to prefer the small index of filled orders over the
        // many open ones; a sampled analysis takes milliseconds even on a large file.
        run(QStringLiteral("PRAGMA analysis_limit=1000"));
        run(QStringLiteral("ANALYZE"));
    }
    return {};
}

void Database::close()
{
    m_prepared.clear();
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            db.close();
    }
}

bool Database::isOpen() const
{
    return handle().isOpen();
}

bool Database::reconnect()
{
    close();
    return open(m_target).isEmpty();
}

bool Database::answers()
{
    QSqlQuery probe(handle());
    const bool answered = probe.exec(QStringLiteral("SELECT 1")) && probe.next();
    probe.finish();
    return answered;
}

SqlResult Database::run(const QString& sql, const QVariantList& values)
{
    if (values.isEmpty()) {
        // Nothing to bind: run it directly (PostgreSQL cannot prepare DDL or SET statements).
        auto query = std::make_shared<QSqlQuery>(handle());
        query->setForwardOnly(true);
        const bool ok = query->exec(sql);
        return {std::move(query), ok};
    }
    std::shared_ptr<QSqlQuery> query = m_prepared.value(sql);
    if (!query || query->isActive()) {
        // Not prepared yet, or its rows are still being read (the same statement run again while
        // going through its own rows): a statement of its own.
        auto fresh = std::make_shared<QSqlQuery>(handle());
        fresh->setForwardOnly(true);
        if (!fresh->prepare(sql))
            return {std::move(fresh), false};
        if (!query)
            m_prepared.insert(sql, fresh);
        query = std::move(fresh);
    }
    for (int i = 0; i < values.size(); ++i)
        query->bindValue(i, values.at(i));
    const bool ok = query->exec();
    return {std::move(query), ok};
}

QString Database::runScript(const QString& script)
{
    QString statement;
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1String("--")))
            continue;
        if (line.compare(QLatin1String("GO"), Qt::CaseInsensitive) == 0)
            continue;
        statement += raw + QLatin1Char('\n');
        if (line.endsWith(QLatin1Char(';'))) {
            QSqlQuery query(handle());
            if (!query.exec(statement.trimmed().chopped(1)))
                return QStringLiteral("%1\n-- in: %2").arg(query.lastError().text(), statement.trimmed());
            statement.clear();
        }
    }
    if (!statement.trimmed().isEmpty()) {
        QSqlQuery query(handle());
        if (!query.exec(statement.trimmed()))
            return QStringLiteral("%1\n-- in: %2").arg(query.lastError().text(), statement.trimmed());
    }
    return {};
}

bool Database::transaction()
{
    return handle().transaction();
}

void Database::finishStatements()
{
    for (const std::shared_ptr<QSqlQuery>& query : std::as_const(m_prepared))
        query->finish();
}

bool Database::commit()
{
    finishStatements(); // no statement may still be reading when the transaction ends
    return handle().commit();
}

bool Database::rollback()
{
    finishStatements();
    return handle().rollback();
}

QVariant Database::stamp(const QString& sqlStamp) const
{
    // A text that is no time stamp is never written into a date-time column.
    if (!ReadSqlStamp(sqlStamp).isValid())
        return null();
    return dialect().stampFromSqlStamp(sqlStamp);
}

bool Database::tableExists(const QString& table)
{
    SqlResult result = run(dialect().tableExistsQuery(), {table});
    return result.next();
}

} // namespace Quorlix
