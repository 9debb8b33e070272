#include "TestDatabase.h"

#include "core/SchemaInit.h"

#include <QRegularExpression>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>

namespace Quorlix::Test {

namespace {

bool SplitServer(QString& host, int& port)
{
    const QString server = qEnvironmentVariable("QUORLIX_TEST_PG");
    if (server.isEmpty())
        return false;
    const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
    host = colon > 0 ? server.left(colon) : server;
    port = colon > 0 ? server.mid(colon + 1).toInt() : 5432;
    return true;
}

// The server's maintenance database as its superuser: where the test schemas are made and dropped.
DatabaseTarget AdminTarget()
{
    DatabaseTarget t;
    SplitServer(t.host, t.port);
    t.qtDriver = QStringLiteral("QPSQL");
    t.user = QStringLiteral("postgres");
    t.databaseName = QStringLiteral("postgres");
    t.dialect = SqlDialect(SqlDialect::PostgreSQL);
    t.description = QStringLiteral("test PostgreSQL server");
    return t;
}

// The ODBC connection string of a test schema on the server.
QString OdbcConnection(const QString& schema)
{
    const DatabaseTarget server = AdminTarget();
    return QStringLiteral(
               "DRIVER=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so;SERVER=%1;PORT=%2;DATABASE=postgres;"
               "UID=postgres;ConnSettings=SET search_path TO %3;")
        .arg(server.host)
        .arg(server.port)
        .arg(schema);
}

int g_instance = 0;

} // namespace

QStringList Backends()
{
    QStringList backends{QStringLiteral("sqlite")};
    QString host;
    int port = 0;
    if (SplitServer(host, port)) {
        backends << QStringLiteral("postgresql");
        if (qEnvironmentVariable("QUORLIX_TEST_ODBC") == QLatin1String("1"))
            backends << QStringLiteral("odbc");
    }
    return backends;
}

void AddBackendRows()
{
    QTest::addColumn<QString>("backend");
    for (const QString& backend : Backends())
        QTest::newRow(qPrintable(backend)) << backend;
}

TestDatabase::TestDatabase(const QString& backend) : m_backend(backend)
{
    const QString name = QStringLiteral("db%1").arg(++g_instance);
    m_db = std::make_unique<Database>(QStringLiteral("test-") + name +
                                      QUuid::createUuid().toString(QUuid::Id128));
    if (backend == QLatin1String("sqlite")) {
        m_target.qtDriver = QStringLiteral("QSQLITE");
        m_target.databaseName = m_dir.filePath(QStringLiteral("lab.db"));
        m_target.dialect = SqlDialect(SqlDialect::SQLite);
        m_target.description = QStringLiteral("test SQLite database");
    } else {
        m_schema = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
        Database admin(QStringLiteral("admin-") + m_schema);
        const DatabaseTarget adminTarget = AdminTarget();
        if (const QString error = admin.open(adminTarget); !error.isEmpty()) {
            m_error = error;
            return;
        }
        admin.run(QStringLiteral("CREATE SCHEMA %1").arg(m_schema));
        if (backend == QLatin1String("odbc")) {
            m_target.qtDriver = QStringLiteral("QODBC");
            m_target.databaseName = OdbcConnection(m_schema);
            m_target.description = QStringLiteral("test PostgreSQL database through ODBC");
        } else {
            m_target = adminTarget;
            m_target.connectOptions = QStringLiteral("options=-csearch_path=%1").arg(m_schema);
            m_target.description = QStringLiteral("test PostgreSQL database");
        }
        m_target.dialect = SqlDialect(SqlDialect::PostgreSQL);
    }
    if (const QString error = m_db->open(m_target); !error.isEmpty()) {
        m_error = error;
        return;
    }
    if (const QString error = InitDatabase(*m_db, false, nullptr); !error.isEmpty())
        m_error = error;
}

TestDatabase::~TestDatabase()
{
    m_observer.reset();
    m_db.reset();
    if (!m_schema.isEmpty()) {
        Database admin(QStringLiteral("drop-") + m_schema);
        if (admin.open(AdminTarget()).isEmpty()) {
            admin.run(QStringLiteral("SET client_min_messages TO WARNING"));
            admin.run(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(m_schema));
        }
    }
}

QString TestDatabase::iniLines() const
{
    if (m_backend == QLatin1String("sqlite"))
        return QStringLiteral("dbdriver=sqlite\ndatabase=%1\n").arg(m_target.databaseName);
    return QStringLiteral("dbdriver=odbc\nodbc=%1\n").arg(OdbcConnection(m_schema));
}

void TestDatabase::serverDown()
{
    DatabaseTarget unreachable = m_target;
    if (m_backend == QLatin1String("sqlite"))
        unreachable.databaseName = m_dir.filePath(QStringLiteral("absent/lab.db"));
    else if (m_backend == QLatin1String("odbc"))
        unreachable.databaseName.replace(QRegularExpression(QStringLiteral("PORT=\\d+")),
                                         QStringLiteral("PORT=1"));
    else
        unreachable.port = 1;
    m_db->close();
    if (m_db->open(unreachable).isEmpty())
        QFAIL("the database is still reachable");
}

void TestDatabase::serverUp()
{
    m_db->close();
    if (const QString error = m_db->open(m_target); !error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestDatabase::readOnly(bool on)
{
    if (m_backend == QLatin1String("sqlite"))
        exec(QStringLiteral("PRAGMA query_only = %1").arg(on ? QStringLiteral("ON") : QStringLiteral("OFF")));
    else
        exec(QStringLiteral("SET default_transaction_read_only = %1")
                 .arg(on ? QStringLiteral("on") : QStringLiteral("off")));
}

void TestDatabase::refuseInserts(const QString& table, const QString& condition)
{
    const QString name = QStringLiteral("refuse_") + table.toLower();
    if (m_backend == QLatin1String("sqlite")) {
        exec(QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT ON %2 WHEN %3 BEGIN "
                            "SELECT RAISE(ABORT, 'refused by the laboratory'); END")
                 .arg(name, table, condition));
        return;
    }
    exec(QStringLiteral(
             "CREATE FUNCTION %1() RETURNS trigger AS $$ BEGIN IF %2 THEN "
             "RAISE EXCEPTION 'refused by the laboratory'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql")
             .arg(name, condition));
    exec(QStringLiteral("CREATE TRIGGER %1 BEFORE INSERT ON %2 FOR EACH ROW EXECUTE FUNCTION %1()")
             .arg(name, table));
}

void TestDatabase::allowInserts(const QString& table)
{
    const QString name = QStringLiteral("refuse_") + table.toLower();
    exec(m_backend == QLatin1String("sqlite") ? QStringLiteral("DROP TRIGGER %1").arg(name)
                                              : QStringLiteral("DROP TRIGGER %1 ON %2").arg(name, table));
}

void TestDatabase::exec(const QString& sql, const QVariantList& values)
{
    SqlResult result = m_db->run(sql, values);
    if (!result.ok())
        QFAIL(qPrintable(QStringLiteral("%1\n%2").arg(sql, result.error())));
}

QString TestDatabase::scalar(const QString& sql, const QVariantList& values)
{
    SqlResult result = m_db->run(sql, values);
    if (!result.ok()) {
        qWarning("%s: %s", qPrintable(sql), qPrintable(result.error()));
        return QStringLiteral("<error>");
    }
    return result.next() && !result.value(0).isNull() ? result.value(0).toString() : QString();
}

QString TestDatabase::rows(const QString& sql, const QVariantList& values)
{
    SqlResult result = m_db->run(sql, values);
    QStringList out;
    while (result.next()) {
        QStringList row;
        for (int i = 0; i < result.query().record().count(); ++i)
            row << (result.value(i).isNull() ? QStringLiteral("NULL") : result.value(i).toString());
        out << row.join(QLatin1Char('|'));
    }
    return result.ok() ? out.join(QLatin1Char(';')) : QStringLiteral("error: ") + result.error();
}

int TestDatabase::count(const QString& table, const QString& where, const QVariantList& values)
{
    const QString sql = QStringLiteral("SELECT COUNT(*) FROM %1%2")
                            .arg(table, where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where);
    return scalar(sql, values).toInt();
}

QString TestDatabase::openObserver()
{
    if (m_observer)
        return {};
    m_observer = std::make_unique<Database>(m_db->connectionName() + QStringLiteral("-observer"));
    if (const QString error = m_observer->open(m_target); !error.isEmpty()) {
        m_observer.reset();
        return error;
    }
    if (m_backend == QLatin1String("sqlite"))
        m_observer->run(QStringLiteral("PRAGMA busy_timeout=0"));
    return {};
}

void TestDatabase::execElsewhere(const QString& sql, const QVariantList& values)
{
    if (const QString error = openObserver(); !error.isEmpty())
        QFAIL(qPrintable(error));
    SqlResult result = m_observer->run(sql, values);
    if (!result.ok())
        QFAIL(qPrintable(QStringLiteral("%1\n%2").arg(sql, result.error())));
}

QString TestDatabase::walCheckpointBlocked()
{
    if (m_backend != QLatin1String("sqlite") || !ok())
        return {};
    if (const QString error = openObserver(); !error.isEmpty())
        return error;
    SqlResult checkpoint = m_observer->run(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    if (!checkpoint.next())
        return QStringLiteral("the checkpoint did not run: ") + checkpoint.error();
    if (checkpoint.value(0).toInt() != 0)
        return QStringLiteral("busy: a statement of the program's connection is still active");
    return {};
}

} // namespace Quorlix::Test
