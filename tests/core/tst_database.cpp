#include "core/Database.h"
#include "core/SchemaInit.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "support/TestDatabase.h"

#include <QSqlError>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

class TestDatabaseHelpers : public QObject
{
    Q_OBJECT

private slots:
    void describe_data();
    void describe();
    void passwordsNeverShow();
    void unreachableServerIsNamed();
    void schemaIsIdempotent_data() { Test::AddBackendRows(); }
    void schemaIsIdempotent();
    void translate_data() { Test::AddBackendRows(); }
    void translate();
    void converters();
    void parameterIdByShort_data() { Test::AddBackendRows(); }
    void parameterIdByShort();
    void quotesAreData_data() { Test::AddBackendRows(); }
    void quotesAreData();
    void dialectDateParts_data() { Test::AddBackendRows(); }
    void dialectDateParts();
    void failureClasses_data();
    void failureClasses();
};

void TestDatabaseHelpers::describe_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("qtDriver");
    QTest::addColumn<QString>("databaseName");

    QTest::newRow("embedded default") << ""
                                      << "QSQLITE"
                                      << "/etc/q/quorlix.db";
    QTest::newRow("sqlite relative to ini") << "database=lab/x.db"
                                            << "QSQLITE"
                                            << "/etc/q/lab/x.db";
    QTest::newRow("sqlite absolute") << "database=/var/lib/q.db"
                                     << "QSQLITE"
                                     << "/var/lib/q.db";
    QTest::newRow("server means SQL Server")
        << "server=labsrv\ndatabase=source\nSQLSVR=quorlix"
        << "QODBC"
        << "DRIVER={FreeTDS};SERVER=labsrv;DATABASE=source;UID=quorlix;PWD=pelvor;";
    QTest::newRow("trusted login")
        << "server=labsrv:1433\ndatabase=source\nSQLSVR=2000"
        << "QODBC"
        << "DRIVER={FreeTDS};SERVER=labsrv;PORT=1433;DATABASE=source;Trusted_Connection=yes;";
    QTest::newRow("2000 with a blank is the sa login") << "server=s\ndatabase=d\nSQLSVR=2000 "
                                                       << "QODBC"
                                                       << "DRIVER={FreeTDS};SERVER=s;DATABASE=d;UID=sa;PWD=;";
    QTest::newRow("own login replaces built-in")
        << "server=s\ndatabase=d\nSQLSVR=quorlix\ndbuser=lab\ndbpassword=x;y"
        << "QODBC"
        << "DRIVER={FreeTDS};SERVER=s;DATABASE=d;UID=lab;PWD={x;y};";
    QTest::newRow("postgresql") << "dbdriver=postgresql\nserver=db:5433\ndatabase=lab"
                                << "QPSQL"
                                << "lab";
    QTest::newRow("odbc string") << "dbdriver=odbc\nodbc=DSN=lab"
                                 << "QODBC"
                                 << "DSN=lab";
}

void TestDatabaseHelpers::describe()
{
    QFETCH(QString, ini);
    Settings s;
    for (const QString& line : ini.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const auto [key, value] =
            std::pair(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1));
        if (key == "server")
            s.SqlServer = value;
        else if (key == "database")
            s.SqlDatabase = value;
        else if (key == "SQLSVR")
            s.SqlLoginMode = value;
        else if (key == "dbdriver")
            s.DbDriver = value;
        else if (key == "dbuser")
            s.DbUser = value;
        else if (key == "dbpassword")
            s.DbPassword = value;
        else if (key == "odbc")
            s.OdbcConnection = value;
    }
    const DatabaseTarget t = DescribeDatabase(s, "/etc/q");
    QCOMPARE(t.error, QString());
    QTEST(t.qtDriver, "qtDriver");
    QTEST(t.databaseName, "databaseName");
}

void TestDatabaseHelpers::passwordsNeverShow()
{
    Settings s;
    s.SqlServer = "labsrv";
    s.SqlDatabase = "source";
    s.SqlLoginMode = "quorlix";
    QVERIFY(!DescribeDatabase(s, "/").description.contains("pelvor"));
    s.DbUser = "u";
    s.DbPassword = "s3cr}et";
    QVERIFY(!DescribeDatabase(s, "/").description.contains("s3cr"));
    QCOMPARE(RedactConnectionString("DSN=x;PWD={a;b}};c};UID=y"), QString("DSN=x;PWD=***;UID=y"));
    QCOMPARE(RedactConnectionString("password = abc;x=1"), QString("password = ***;x=1"));
}

void TestDatabaseHelpers::unreachableServerIsNamed()
{
    Settings s;
    s.DbDriver = "postgresql";
    s.SqlServer = "127.0.0.1:1"; // nothing listens on port 1
    s.SqlDatabase = "lab";
    s.DbUser = "quorlix";
    s.DbPassword = "hunter2";
    Database db("unreachable");
    const QString error = db.open(DescribeDatabase(s, "/"));
    QVERIFY(error.contains("127.0.0.1"));
    QVERIFY(error.contains("lab"));
    QVERIFY(!error.contains("hunter2"));
}

void TestDatabaseHelpers::schemaIsIdempotent()
{
    QFETCH(QString, backend);
    TestDatabase t(backend);
    QVERIFY2(t.ok(), qPrintable(t.error()));
    t.exec("INSERT INTO request (sample_id, parameter_id) VALUES (?, ?)", {"S1", 1});
    QString report;
    QCOMPARE(InitDatabase(t.db(), true, &report), QString());
    QCOMPARE(t.count("request", "sample_id = ?", {"S1"}), 1); // existing rows untouched
    QVERIFY(t.count("test_def") >= 10);
    const int tests = t.count("test_def");
    QCOMPARE(InitDatabase(t.db(), true, &report), QString());
    QCOMPARE(t.count("test_def"), tests); // demonstration data loaded once
    QVERIFY(t.count("MGC_SampleID") == 0);
}

void TestDatabaseHelpers::translate()
{
    QFETCH(QString, backend);
    TestDatabase t(backend);
    QVERIFY2(t.ok(), qPrintable(t.error()));
    t.exec("INSERT INTO textstrings (\"key\", english, german) VALUES (1, 'Sample', 'Probe'), (2, 'Result', "
           "''), "
           "(3, 'User', NULL), (4, NULL, NULL)");
    QCOMPARE(Translate(t.db(), "german", 1), QString("Probe"));
    QCOMPARE(Translate(t.db(), "english", 1), QString("Sample"));
    QCOMPARE(Translate(t.db(), "german", 2), QString("Result"));
    QCOMPARE(Translate(t.db(), "german", 3), QString("User"));
    QCOMPARE(Translate(t.db(), "german", 4), QString("@N/A"));
    QCOMPARE(Translate(t.db(), "german", 99), QString("@N/A"));
    QCOMPARE(Translate(t.db(), "klingon", 1), QString("@N/A"));
    QCOMPARE(Translate(t.db(), "german]; DROP TABLE textstrings; --", 1), QString("@N/A"));
    QCOMPARE(t.count("textstrings"), 4);
}

void TestDatabaseHelpers::converters()
{
    QCOMPARE(NullToText(QVariant()), QString());
    QCOMPARE(NullToText(QVariant(QMetaType(QMetaType::QString))), QString());
    QCOMPARE(NullToText(QVariant(12)), QString("12"));
    QCOMPARE(NumOrZero(QVariant()), 0.0f);
    QCOMPARE(NumOrZero(QVariant("  ")), 0.0f);
    QCOMPARE(NumOrZero(QVariant(" 7.5 ")), 7.5f);
    QCOMPARE(NumOrZero(QVariant("<0.1")), 0.0f);
    QCOMPARE(NumOrZero(QVariant(3)), 3.0f);
    bool number = true;
    QVERIFY(NumericOrNull("<0.1", &number).isNull());
    QVERIFY(!number);
    QVERIFY(NumericOrNull("NULL").isNull());
    QCOMPARE(NumericOrNull(" 72.38 ", &number).toDouble(), 72.38);
    QVERIFY(number);
}

void TestDatabaseHelpers::parameterIdByShort()
{
    QFETCH(QString, backend);
    TestDatabase t(backend);
    QVERIFY2(t.ok(), qPrintable(t.error()));
    t.exec("INSERT INTO test_def (parameter_id, short) VALUES (5, 'GLU'), (6, 'O''Brien')");
    QCOMPARE(ParameterIdByShort(t.db(), "GLU"), qint16(5));
    QCOMPARE(ParameterIdByShort(t.db(), "O'Brien"), qint16(6));
    QCOMPARE(ParameterIdByShort(t.db(), "XYZ"), qint16(0));
}

void TestDatabaseHelpers::quotesAreData()
{
    QFETCH(QString, backend);
    TestDatabase t(backend);
    QVERIFY2(t.ok(), qPrintable(t.error()));
    const QString hostile = "A1'; DELETE FROM request; --";
    t.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('keep', 1)");
    QVERIFY(t.db().run("INSERT INTO request (sample_id, parameter_id) VALUES (?, ?)", {hostile, 2}).ok());
    QCOMPARE(t.scalar("SELECT sample_id FROM request WHERE parameter_id = 2"), hostile);
    QCOMPARE(t.count("request"), 2);
}

void TestDatabaseHelpers::dialectDateParts()
{
    QFETCH(QString, backend);
    TestDatabase t(backend);
    QVERIFY2(t.ok(), qPrintable(t.error()));
    const SqlDialect& d = t.db().dialect();
    t.exec("INSERT INTO quorlix_log (time_stamp, log_key) VALUES (?, 'x')",
           {t.db().stamp("20261207 23:59:30")});
    QCOMPARE(t.scalar(QString("SELECT %1 FROM quorlix_log").arg(d.dayOf("time_stamp"))), QString("7"));
    QCOMPARE(t.scalar(QString("SELECT %1 FROM quorlix_log").arg(d.yearOf("time_stamp"))), QString("2026"));
    QCOMPARE(t.scalar(QString("SELECT %1 FROM quorlix_log").arg(d.minutesBetween("time_stamp", "?")),
                      {t.db().stamp("20261208 00:12:30")}),
             QString("13"));
    QVERIFY(!t.scalar(QString("SELECT %1").arg(d.now())).isEmpty());
    QCOMPARE(t.scalar(d.selectTop(1, "log_key FROM quorlix_log ORDER BY log_key")), QString("x"));
}

// Errors as the servers' documentation gives them (and as the drivers hand them) that the test
// servers cannot be made to raise: transient ones wait, permanent ones are set aside.
void TestDatabaseHelpers::failureClasses_data()
{
    QTest::addColumn<int>("dialect");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("failure");
    const auto row = [](const char* name, SqlDialect::Kind dialect, const char* code, const char* message,
                        SqlDialect::Failure failure) {
        QTest::newRow(name) << int(dialect) << QString(code) << QString(message) << int(failure);
    };
    using enum SqlDialect::Kind;
    const auto transient = SqlDialect::Failure::Transient;
    const auto permanent = SqlDialect::Failure::Permanent;
    const auto unknown = SqlDialect::Failure::Unknown;
    row("SQLite disk I/O", SQLite, "266", "disk I/O error", transient);
    row("SQLite disk full", SQLite, "13", "database or disk is full", transient);
    row("SQLite read-only file", SQLite, "8", "attempt to write a readonly database", transient);
    row("SQLite check constraint", SQLite, "275", "CHECK constraint failed", permanent);
    row("SQLite no code", SQLite, "", "Driver not loaded", unknown);
    row("PostgreSQL shutting down", PostgreSQL, "57P01", "terminating connection", transient);
    row("PostgreSQL starting up", PostgreSQL, "57P03", "the database system is starting up", transient);
    row("PostgreSQL connection failure", PostgreSQL, "08006", "", transient);
    row("PostgreSQL disk full", PostgreSQL, "53100", "could not extend file", transient);
    row("PostgreSQL deadlock", PostgreSQL, "40P01", "deadlock detected", transient);
    row("PostgreSQL standby", PostgreSQL, "25006", "read-only transaction", transient);
    row("PostgreSQL privilege", PostgreSQL, "42501", "permission denied", permanent);
    row("PostgreSQL check option", PostgreSQL, "44000", "", permanent);
    row("PostgreSQL connection lost, no state", PostgreSQL, "", "server closed the connection unexpectedly",
        transient);
    row("PostgreSQL ODBC deadlock", PostgreSQL, "1", "ERROR: deadlock detected", transient);
    row("PostgreSQL ODBC serialization", PostgreSQL, "1",
        "ERROR: could not serialize access due to concurrent update", transient);
    row("PostgreSQL ODBC standby", PostgreSQL, "1", "ERROR: cannot execute INSERT in a read-only transaction",
        transient);
    row("PostgreSQL ODBC shutdown", PostgreSQL, "35", "FATAL: terminating connection", transient);
    row("PostgreSQL ODBC not null", PostgreSQL, "1",
        "ERROR: null value in column \"a\" violates not-null constraint", permanent);
    row("PostgreSQL ODBC a trigger's own words", PostgreSQL, "1", "ERROR: no such patient", unknown);
    row("SQL Server deadlock victim", SqlServer, "1205", "", transient);
    row("SQL Server lock timeout", SqlServer, "1222", "", transient);
    row("SQL Server connection reset", SqlServer, "10054", "", transient);
    row("SQL Server FreeTDS read failed", SqlServer, "20004", "", transient);
    row("SQL Server log full", SqlServer, "9002", "", transient);
    row("SQL Server unique, statement ended", SqlServer, "2627;3621", "", permanent);
    row("SQL Server invalid column", SqlServer, "207", "", permanent);
    row("SQL Server invalid object", SqlServer, "208", "", permanent);
    row("SQL Server trigger's RAISERROR", SqlServer, "50000", "", permanent);
    row("SQL Server transaction ended in trigger", SqlServer, "3609", "", permanent);
    row("SQL Server deadlock beside a conversion", SqlServer, "245;1205", "", transient);
    row("SQL Server link failure, no number", SqlServer, "0",
        "[Microsoft][ODBC Driver 17 for SQL Server]Communication link failure", transient);
    row("SQL Server driver message", SqlServer, "0", "[FreeTDS][SQL Server]Invalid cursor state", unknown);
}

void TestDatabaseHelpers::failureClasses()
{
    QFETCH(int, dialect);
    QFETCH(QString, code);
    QFETCH(QString, message);
    const QSqlError error(QString(), message, QSqlError::StatementError, code);
    QTEST(int(SqlDialect(SqlDialect::Kind(dialect)).classify(error)), "failure");
}

QTEST_GUILESS_MAIN(TestDatabaseHelpers)
#include "tst_database.moc"
