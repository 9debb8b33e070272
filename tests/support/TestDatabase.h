#pragma once

#include "core/Database.h"
#include "core/Settings.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace Quorlix::Test {

// The database servers the tests run against: SQLite always, PostgreSQL when the test command
// started one (QUORLIX_TEST_PG=host:port), and PostgreSQL through ODBC when QUORLIX_TEST_ODBC=1.
QStringList Backends();
// Adds a "backend" column with one row per available backend to a data-driven test.
void AddBackendRows();

// A fresh, empty laboratory database with every table created: a new SQLite file, or a new schema
// on the PostgreSQL server (dropped again at the end).
class TestDatabase
{
public:
    explicit TestDatabase(const QString& backend);
    ~TestDatabase();

    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    Database& db() { return *m_db; }
    QString backend() const { return m_backend; }
    // The ini keys that point a real quorlix process at this database.
    QString iniLines() const;
    DatabaseTarget target() const { return m_target; }

    // The server goes down: the program's connection is closed and cannot be opened again (the
    // server does not answer) until serverUp(), which opens it again as a reconnect would.
    void serverDown();
    void serverUp();
    // The server takes no writes for now, as a standby not yet promoted: reads still work.
    void readOnly(bool on);

    // A trigger that refuses every row inserted into the table for which the condition (on NEW)
    // holds, raising "refused by the laboratory", as a laboratory's own rule would.
    void refuseInserts(const QString& table, const QString& condition);
    // The laboratory repeals it.
    void allowInserts(const QString& table);

    // Runs a statement and fails the test when it does not run.
    void exec(const QString& sql, const QVariantList& values = {});
    // The first column of the first row of a query, as text ("" for NULL or no row).
    QString scalar(const QString& sql, const QVariantList& values = {});
    // Every row of a query as "a|b;c|d" (NULL as "NULL"), or "error: ..." when it does not run.
    QString rows(const QString& sql, const QVariantList& values = {});
    int count(const QString& table, const QString& where = QString(), const QVariantList& values = {});
    // Runs a statement on a second connection, as another program sharing the database would.
    void execElsewhere(const QString& sql, const QVariantList& values = {});
    // SQLite: whether a second connection can checkpoint the whole WAL now. It cannot while a
    // statement of the first one is still active (an unfinished query keeps a stale snapshot).
    // Empty when it can (or on other backends), else what stopped it.
    QString walCheckpointBlocked();

private:
    QString openObserver();

    QString m_backend;
    QTemporaryDir m_dir;
    QString m_schema;
    DatabaseTarget m_target;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<Database> m_observer;
    QString m_error;
};

} // namespace Quorlix::Test
