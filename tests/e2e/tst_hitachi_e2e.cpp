#include "core/Database.h"
#include "support/QuorlixProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::QuorlixProcess;

// The real quorlix executable serving quorlix-sim as a Hitachi 911, 902 and 912 over a
// pseudo-terminal, against a SQLite laboratory database with the demonstration data.
class TestHitachiEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void model_data();
    void model();
};

void TestHitachiEndToEnd::model_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("results");
    QTest::addColumn<int>("raw");
    QTest::addColumn<int>("controls");
    QTest::newRow("911") << "H911" << "hit911.sim" << 5 << 5 << 6;
    QTest::newRow("902") << "H902" << "hit902.sim" << 5 << 5 << 0;
    QTest::newRow("912") << "H912" << "hit912.sim" << 5 << 5 << 2;
}

void TestHitachiEndToEnd::model()
{
    QFETCH(QString, type);
    QFETCH(QString, script);
    QTemporaryDir dir;
    const QString link = dir.filePath("analyzer");
    QuorlixProcess q("database=lab.db\ncontrolmask=QC????\nshowcalibchart=0\ncom1=" + link + "\n");
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);

    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QUORLIX_SIM, {"--pty", link, "--start-delay", "1500", QString(QUORLIX_SCRIPTS) + "/" + script});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link), 5000);
    const QString analyzerId = "HIT" + type.mid(1);
    QVERIFY2(q.start({"/id=" + analyzerId, "/type=" + type, "/com=1", "/autoval=2"}), qPrintable(q.output()));
    QVERIFY(sim.waitForFinished(30000));
    const QString dialogue = QString::fromLocal8Bit(sim.readAll());
    QVERIFY2(sim.exitCode() == 0, qPrintable(dialogue + "\n" + q.logText()));
    QCOMPARE(q.terminate(), 0);

    Database db("e2e-" + type);
    DatabaseTarget target;
    target.qtDriver = "QSQLITE";
    target.databaseName = q.folder() + "/lab.db";
    target.dialect = SqlDialect(SqlDialect::SQLite);
    QCOMPARE(db.open(target), QString());
    auto count = [&](const QString& sql) {
        SqlResult r = db.run(sql, {analyzerId});
        return r.next() ? r.value(0).toInt() : -1;
    };
    QTEST(count("SELECT COUNT(*) FROM results WHERE analyzer_id = ?"), "results");
    QTEST(count("SELECT COUNT(*) FROM Raw_Results WHERE analyzer_id = ?"), "raw");
    QTEST(count("SELECT COUNT(*) FROM control_results WHERE analyzer_id = ? AND result IS NOT NULL"), "controls");
    QCOMPARE(count("SELECT COUNT(*) FROM calibrations WHERE analyzer_id = ?"), 1);
    // Every frame the simulator sent is in the log as received, and every answer as sent.
    QCOMPARE(q.logText().count("  A->H{STX}"), dialogue.count("  A->H{STX}"));
    QCOMPARE(q.logText().count("  H->A{STX}"), dialogue.count("  H->A{STX}"));
}

QTEST_GUILESS_MAIN(TestHitachiEndToEnd)
#include "tst_hitachi_e2e.moc"
