// Failures the test servers can really be made to raise, through every driver: what the
// database refuses is permanent (the record is set aside), what the server or the connection
// suffers is transient (the record waits).
#include "core/Database.h"
#include "store/DbOutcome.h"
#include "support/TestDatabase.h"

#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

class TestDbOutcome : public QObject
{
    Q_OBJECT

private slots:
    void classified_data();
    void classified();
};

void TestDbOutcome::classified_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("kind");
    const int refused = DbOutcome::DataRejected;
    const int failed = DbOutcome::DatabaseFailed;
    for (const QString& backend : Test::Backends()) {
        const QByteArray b = backend.toLatin1();
        QTest::addRow("%s unique index", b.data()) << backend << "unique index" << refused;
        QTest::addRow("%s trigger", b.data()) << backend << "trigger" << refused;
        QTest::addRow("%s missing table", b.data()) << backend << "missing table" << refused;
        QTest::addRow("%s missing column", b.data()) << backend << "missing column" << refused;
        QTest::addRow("%s lock held by another program", b.data()) << backend << "lock" << failed;
        QTest::addRow("%s connection closed", b.data()) << backend << "closed" << failed;
        if (backend != QLatin1String("sqlite")) {
            QTest::addRow("%s session ended by the server", b.data()) << backend << "terminated" << failed;
            QTest::addRow("%s statement timeout", b.data()) << backend << "timeout" << failed;
            // Without a time-out of its own the statement waited for the lock for ever.
            QTest::addRow("%s lock held, the connection's own time-out", b.data())
                << backend << "lock, default time-out" << failed;
        }
    }
}

void TestDbOutcome::classified()
{
    QFETCH(QString, backend);
    QFETCH(QString, failure);
    TestDatabase t(backend);
    QVERIFY2(t.ok(), qPrintable(t.error()));
    Database& db = t.db();
    const bool sqlite = backend == QLatin1String("sqlite");
    QString sql = QStringLiteral("INSERT INTO quorlix_log (log_key, log_val) VALUES ('refused', 'x')");
    if (failure == QLatin1String("unique index")) {
        t.exec(QStringLiteral("CREATE UNIQUE INDEX ux_log_once ON quorlix_log (log_key)"));
        t.exec(sql);
    } else if (failure == QLatin1String("trigger")) {
        t.refuseInserts(QStringLiteral("quorlix_log"), QStringLiteral("NEW.log_key = 'refused'"));
    } else if (failure == QLatin1String("missing table")) {
        sql = QStringLiteral("INSERT INTO quorlix_absent (log_key) VALUES ('x')");
    } else if (failure == QLatin1String("missing column")) {
        sql = QStringLiteral("INSERT INTO quorlix_log (log_absent) VALUES ('x')");
    } else if (failure.startsWith(QLatin1String("lock"))) {
        if (failure == QLatin1String("lock"))
            t.exec(sqlite ? QStringLiteral("PRAGMA busy_timeout = 100")
                          : QStringLiteral("SET lock_timeout = 100"));
        t.execElsewhere(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
        if (!sqlite)
            t.execElsewhere(QStringLiteral("LOCK TABLE quorlix_log IN ACCESS EXCLUSIVE MODE"));
    } else if (failure == QLatin1String("closed")) {
        db.close();
    } else if (failure == QLatin1String("terminated")) {
        const QString pid = t.scalar(QStringLiteral("SELECT pg_backend_pid()"));
        t.execElsewhere(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid.toInt()));
    } else if (failure == QLatin1String("timeout")) {
        t.exec(QStringLiteral("SET statement_timeout = 100"));
        sql = QStringLiteral("SELECT pg_sleep(2)");
    }
    SqlResult result = db.run(sql);
    QVERIFY(!result.ok());
    const DbOutcome outcome = DbOutcome::of(db, result).decided(db);
    if (failure.startsWith(QLatin1String("lock")))
        t.execElsewhere(QStringLiteral("ROLLBACK"));
    QFETCH(int, kind);
    QVERIFY2(int(outcome.kind) == kind,
             qPrintable(QStringLiteral("kind %1: %2").arg(outcome.kind).arg(outcome.error)));
}

QTEST_GUILESS_MAIN(TestDbOutcome)
#include "tst_dboutcome.moc"
