#include "core/Database.h"
#include "store/Autovalidation.h"
#include "store/Transaction.h"
#include "support/TestDatabase.h"

#include <QElapsedTimer>
#include <QTest>

#include <thread>

using namespace Quorlix;
using namespace Quorlix::Test;

// Many processes validate into one database at once, each the finished orders of the whole table
// (those an analyzer without autovalidation left, say). Two of them must never both take an order,
// nor may one delete an order without validating it.
class TestAutovalidation : public QObject
{
    Q_OBJECT

private slots:
    void twoAtOnceTakeEachOrderOnce_data();
    void twoAtOnceTakeEachOrderOnce();
};

void TestAutovalidation::twoAtOnceTakeEachOrderOnce_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("autoVal");
    for (const QString& backend : Backends()) {
        // SQLite lets one connection write at a time: the race needs a server.
        if (backend == "sqlite")
            continue;
        for (const char* autoVal : {"1", "2"})
            QTest::addRow("%s, autoval %s", qPrintable(backend), autoVal) << backend << QString(autoVal);
    }
    if (Backends().size() == 1)
        QSKIP("no database server (QUORLIX_TEST_PG)");
}

void TestAutovalidation::twoAtOnceTakeEachOrderOnce()
{
    QFETCH(QString, backend);
    QFETCH(QString, autoVal);
    TestDatabase tdb(backend);
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    tdb.exec("INSERT INTO test_def (parameter_id, short, range_low, range_high) VALUES (1, 'GLU', 2, 750)");
    tdb.exec("INSERT INTO interpretation (id, value, value_arab) VALUES (2, 'normal', 'n')");
    tdb.exec("INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
             "VALUES (1, 0, 99999, 2, 0, 1)");
    tdb.exec("INSERT INTO sample_base (sample_id, add3) VALUES ('S1', 1)");
    // A result an analyzer without autovalidation filed.
    tdb.exec("INSERT INTO request (sample_id, parameter_id, analyzer_id, time_stamp, result) "
             "VALUES ('S1', 1, 'DSX1', ?, 95.2)",
             {tdb.db().stamp("20261207 10:00:00")});

    // The first takes the order and holds it until it commits ...
    Transaction first(tdb.db());
    QVERIFY(first.begin().ok());
    QVERIFY(Autovalidate(tdb.db(), autoVal).ok());

    // ... while the second, on a connection of its own, validates meanwhile and has to wait.
    bool secondOk = false;
    std::thread second([&] {
        Database db("autovalidation-second");
        if (!db.open(tdb.target()).isEmpty())
            return;
        Transaction t(db);
        secondOk = t.begin().ok() && Autovalidate(db, autoVal).ok() && t.commit().ok();
    });
    // Watched from outside any transaction: inside one, PostgreSQL shows the same activity throughout.
    Database watch("autovalidation-watch");
    QCOMPARE(watch.open(tdb.target()), QString());
    QElapsedTimer waited;
    waited.start();
    const auto waiting = [&] {
        SqlResult r = watch.run("SELECT COUNT(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'");
        return r.next() && r.value(0).toInt() > 0;
    };
    while (!waiting() && waited.elapsed() < 10000)
        QTest::qWait(20);
    const bool secondWaited = waited.elapsed() < 10000;
    QVERIFY(first.commit().ok());
    second.join();
    QVERIFY(secondWaited);
    QVERIFY(secondOk);

    QCOMPARE(tdb.count("results", "sample_id = 'S1' AND parameter_id = 1 AND result = 95.2"), 1);
    QCOMPARE(tdb.count("request"), 0);
}

QTEST_GUILESS_MAIN(TestAutovalidation)
#include "tst_autovalidation.moc"
