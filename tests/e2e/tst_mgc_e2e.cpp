#include "core/Database.h"
#include "support/PtyPeer.h"
#include "support/QuorlixProcess.h"

#include <QProcess>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::PtyPeer;
using Quorlix::Test::QuorlixProcess;

namespace {

Database& Open(Database& db, const QString& file)
{
    DatabaseTarget t;
    t.qtDriver = "QSQLITE";
    t.databaseName = file;
    t.dialect = SqlDialect(SqlDialect::SQLite);
    if (const QString error = db.open(t); !error.isEmpty())
        qWarning("%s", qPrintable(error));
    return db;
}

int Count(Database& db, const QString& sql)
{
    SqlResult r = db.run(sql);
    return r.next() ? r.value(0).toInt() : -1;
}

void Exec(Database& db, const QStringList& statements)
{
    for (const QString& sql : statements) {
        if (!db.run(sql).ok())
            QFAIL(qPrintable(sql));
    }
}

bool RunSim(QStringList arguments)
{
    QProcess sim;
    sim.start(QUORLIX_MGC_SIM, arguments);
    return sim.waitForFinished(15000) && sim.exitStatus() == QProcess::NormalExit && sim.exitCode() == 0;
}

} // namespace

// The real quorlix executable as type "MGC" against quorlix-mgc-sim on the MGC240's database file,
// and as type "MGC_ONLINE" toward a LIMS on a pseudo-terminal; SQLite laboratory databases with the
// demonstration data.
class TestMgcEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void wholeCycle();
    void online();
};

// Orders go into the analyzer's work list, the simulated analyzer measures them, and results,
// control results and a calibration come back into the laboratory database.
void TestMgcEndToEnd::wholeCycle()
{
    QuorlixProcess q("database=lab.db\nmgcdriver=sqlite\nAccessPath=mgc240.db\n");
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);
    const QString mgcFile = q.folder() + "/mgc240.db";
    {
        // MGC1 measures glucose, creatinine and triglycerides; the controls are armed for the first two.
        Database lab("e2e-mgc-setup");
        Exec(
            Open(lab, q.folder() + "/lab.db"),
            {"INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, 'MGC1', 1)",
             "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (2, 'MGC1', 2)",
             "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (7, 'MGC1', 7)",
             "INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2) VALUES ('MGC1', 1, 2, 0, 100)",
             "INSERT INTO analyzers (analyzer_id, com_port) VALUES ('MGC1', 1)"});
    }
    QVERIFY(RunSim({"--db", mgcFile, "--init", "--calibrate", "1"}));
    QVERIFY2(q.start({"/id=MGC1", "/type=MGC"}), qPrintable(q.output()));

    Database mgc("e2e-mgc");
    Open(mgc, mgcFile);
    // The first Timer2 tick orders the three open samples and the controls.
    QTRY_COMPARE_WITH_TIMEOUT(Count(mgc, "SELECT COUNT(*) FROM samp_odr WHERE samp_id LIKE '1038%'"), 3,
                              15000);
    QVERIFY(RunSim({"--db", mgcFile, "--once"}));

    Database lab("e2e-mgc-lab");
    Open(lab, q.folder() + "/lab.db");
    const QString filled = "SELECT COUNT(*) FROM request WHERE analyzer_id = 'MGC1' AND result IS NOT NULL";
    QTRY_COMPARE_WITH_TIMEOUT(Count(lab, filled), 4, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(Count(lab, "SELECT COUNT(*) FROM control_results WHERE analyzer_id = 'MGC1'"),
                              6, 10000);
    QCOMPARE(q.terminate(), 0);

    // Parameters without a channel on MGC1 stay open.
    QCOMPARE(Count(lab, "SELECT COUNT(*) FROM request WHERE analyzer_id IS NULL"), 4);
    QCOMPARE(Count(lab, "SELECT COUNT(*) FROM calibrations WHERE analyzer_id = 'MGC1' AND s11abs = 0 AND "
                        "ROUND(s21abs) = 512"),
             1);
    QCOMPARE(Count(lab, "SELECT com_port FROM analyzers WHERE analyzer_id = 'MGC1'"), 0);
    QVERIFY2(q.logText().contains("Monitor: MGC240: "), qPrintable(q.logText()));
}

// Finished results and a new sample id go to the LIMS in the online tables' frames.
void TestMgcEndToEnd::online()
{
    PtyPeer lims;
    QVERIFY(lims.ok());
    QuorlixProcess q("database=lab.db\ncom2=" + lims.slaveName() + "\n");
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);
    {
        Database lab("e2e-online-setup");
        Exec(Open(lab, q.folder() + "/lab.db"),
             {"INSERT INTO app_protocols_testmap (Analyzer_id, AssignedChannel, TestDef_Id) VALUES "
              "('MGC240', 21, 1)",
              "INSERT INTO results (sample_id, parameter_id, result) VALUES ('10385299', 1, 98.5)",
              "INSERT INTO MGC_Result (sample_id, parameter_id) VALUES ('10385299', 1)",
              "INSERT INTO MGC_SampleID (sample_id, send) VALUES ('10385300', 0)"});
    }
    QVERIFY2(q.start({"/id=MGCON", "/type=MGC_ONLINE", "/outtype=MGC240", "/outcom=2", "/outid=MGC240"}),
             qPrintable(q.output()));
    QByteArray received;
    for (int i = 0; i < 40 && !(received.contains(";A2") && received.contains(":A1")); ++i)
        received += lims.readAtLeast(1, 250);
    QCOMPARE(q.terminate(), 0);
    QVERIFY2(received.contains("   1038529902531"), received.constData());
    QVERIFY2(received.contains("21  98.5 000000\x03"), received.constData());
    QVERIFY2(received.contains("\x02;A2    11 15     1038530002530"), received.constData());
    Database lab("e2e-online");
    Open(lab, q.folder() + "/lab.db");
    QCOMPARE(Count(lab, "SELECT COUNT(*) FROM MGC_Result"), 0);
    QCOMPARE(Count(lab, "SELECT send FROM MGC_SampleID"), 1);
    QCOMPARE(q.logText().count("check SampleID's"), q.logText().count("check Results"));
}

QTEST_GUILESS_MAIN(TestMgcEndToEnd)
#include "tst_mgc_e2e.moc"
