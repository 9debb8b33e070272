#include "core/Database.h"
#include "support/QuorlixProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::QuorlixProcess;

// The real quorlix executable under --headless serving quorlix-sim as a Coulter ACT 8 over a
// pseudo-terminal. Without the sample-ID window no measurement is named: every message is
// acknowledged and logged, and nothing is stored.
class TestActEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void headless();
};

void TestActEndToEnd::headless()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("analyzer");
    QuorlixProcess q("database=lab.db\ncom1=" + link + "\n");
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);

    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QUORLIX_SIM, {"--pty", link, "--start-delay", "1500", QString(QUORLIX_SCRIPTS) + "/act.sim"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link), 5000);
    QVERIFY2(q.start({"/id=ACT1", "/type=ACT", "/com=1"}), qPrintable(q.output()));
    QVERIFY(sim.waitForFinished(30000));
    const QString dialogue = QString::fromLocal8Bit(sim.readAll());
    QVERIFY2(sim.exitCode() == 0, qPrintable(dialogue + "\n" + q.logText()));
    QVERIFY2(dialogue.contains("result frames sent 3, answered 3"), qPrintable(dialogue));
    QCOMPARE(q.terminate(), 0);

    const QString log = q.logText();
    QCOMPARE(log.count("ACT results are not stored without the sample-ID window"), 1);
    // One line per message as received, and one for every ACK: ENQ, H, P, the results and L.
    QCOMPARE(log.count(QRegularExpression("  A->H\\{ENQ\\}\\{STX\\}1H\\|[^\\n]*L\\|1\\|N")), 3);
    QCOMPARE(log.count("  H->A{ACK}"), (1 + 2 + 5 + 1) + (1 + 2 + 3 + 1) + (1 + 2 + 2 + 1));
    QCOMPARE(log.count("no sample or control chosen for this measurement"), 3);

    Database db("e2e-act");
    DatabaseTarget target;
    target.qtDriver = "QSQLITE";
    target.databaseName = q.folder() + "/lab.db";
    target.dialect = SqlDialect(SqlDialect::SQLite);
    QCOMPARE(db.open(target), QString());
    for (const char* sql : {"SELECT COUNT(*) FROM request WHERE analyzer_id = 'ACT1'",
                            "SELECT COUNT(*) FROM control_results", "SELECT COUNT(*) FROM Raw_Results"}) {
        SqlResult r = db.run(sql);
        QVERIFY(r.next());
        QCOMPARE(r.value(0).toInt(), 0);
    }
}

QTEST_GUILESS_MAIN(TestActEndToEnd)
#include "tst_act_e2e.moc"
