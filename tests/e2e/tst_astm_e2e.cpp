#include "core/Database.h"
#include "support/QuorlixProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::QuorlixProcess;

// The real quorlix executable serving quorlix-sim as an Indiko and as a DSX over a
// pseudo-terminal, against a SQLite laboratory database with the demonstration data. The scripts
// send results (with a wrong checksum, a wrong frame number, a lost ACK, a message sent twice)
// and queries, check every answer record, and bid at the same moment as the host.
class TestAstmEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void instrument_data();
    void instrument();
};

void TestAstmEndToEnd::instrument_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("checks"); // "SQL => value", ? is the analyzer id

    QTest::newRow("Indiko")
        << "IND"
        << "IND1"
        << "indiko.sim"
        << QStringList{"SELECT COUNT(*) FROM Raw_Results WHERE analyzer_id = ? => 7",
                       "SELECT data_alarm FROM Raw_Results WHERE analyzer_id = ? AND parameter_id = 1 "
                       "=> Lipemic",
                       "SELECT data_alarm FROM request WHERE analyzer_id = ? AND parameter_id = 1 => !",
                       "SELECT time_stamp FROM Raw_Results WHERE analyzer_id = ? AND parameter_id = 7 "
                       "=> 2026-01-05 09:34:00",
                       "SELECT result FROM request WHERE analyzer_id = ? AND sample_id = '10385238' AND "
                       "parameter_id = 4 => 21"};
    QTest::newRow("DSX")
        << "DSX"
        << "DSX1"
        << "dsx.sim"
        << QStringList{"SELECT COUNT(*) FROM request WHERE analyzer_id = ? AND result IS NOT NULL => 4",
                       "SELECT result FROM request WHERE analyzer_id = ? AND parameter_id = 1 => 95.2",
                       "SELECT COUNT(*) FROM sample_base WHERE analyzer_id = ? AND p_id = 1 AND "
                       "si_id = 'na' AND cust_id = '999' => 2"};
}

void TestAstmEndToEnd::instrument()
{
    QFETCH(QString, type);
    QFETCH(QString, id);
    QFETCH(QString, script);
    QFETCH(QStringList, checks);
    QTemporaryDir dir;
    const QString link = dir.filePath("analyzer");
    QuorlixProcess q("database=lab.db\ncontrolmask=QC????\ncom1=" + link + "\n");
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);

    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QUORLIX_SIM, {"--pty", link, "--start-delay", "1500", QString(QUORLIX_SCRIPTS) + "/" + script});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link), 5000);
    QVERIFY2(q.start({"/id=" + id, "/type=" + type, "/com=1"}), qPrintable(q.output()));
    QVERIFY(sim.waitForFinished(90000));
    const QString dialogue = QString::fromLocal8Bit(sim.readAll());
    QVERIFY2(sim.exitCode() == 0, qPrintable(dialogue + "\n" + q.logText()));
    QCOMPARE(q.terminate(), 0);

    Database db("e2e-" + type);
    DatabaseTarget target;
    target.qtDriver = "QSQLITE";
    target.databaseName = q.folder() + "/lab.db";
    target.dialect = SqlDialect(SqlDialect::SQLite);
    QCOMPARE(db.open(target), QString());
    for (const QString& check : checks) {
        SqlResult r = db.run(check.section(" => ", 0, 0), {id});
        QCOMPARE(r.next() ? r.value(0).toString() : "no row", check.section(" => ", 1));
    }
    // Every frame the simulator sent is in the log as received, and every frame of ours as sent.
    QCOMPARE(q.logText().count("  A->H{STX}"), dialogue.count("  A->H{STX}"));
    QCOMPARE(q.logText().count("  H->A{STX}"), dialogue.count("  H->A{STX}"));
}

QTEST_GUILESS_MAIN(TestAstmEndToEnd)
#include "tst_astm_e2e.moc"
