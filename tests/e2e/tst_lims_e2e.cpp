#include "core/Database.h"
#include "support/QuorlixProcess.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::QuorlixProcess;

// The real quorlix executable between quorlix-sim as a Hitachi 902 on one pseudo-terminal and
// quorlix-sim as the LIMS host on another (out-type invH912), against a SQLite laboratory database
// with the demonstration data: the LIMS's order reaches the analyzer, the analyzer's results reach
// the LIMS.
class TestLimsEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void analyzerQuorlixLims();
};

void TestLimsEndToEnd::analyzerQuorlixLims()
{
    QTemporaryDir dir;
    const QString analyzerLink = dir.filePath("analyzer");
    const QString limsLink = dir.filePath("lims");
    QuorlixProcess q("database=lab.db\ncom1=" + analyzerLink + "\ncom2=" + limsLink + "\n");
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);

    const QString scripts = QString(QUORLIX_SCRIPTS) + "/";
    QProcess analyzer, lims;
    for (QProcess* sim : {&analyzer, &lims})
        sim->setProcessChannelMode(QProcess::MergedChannels);
    lims.start(QUORLIX_SIM, {"--pty", limsLink, "--timeout", "20000", scripts + "lims-host.sim"});
    analyzer.start(QUORLIX_SIM, {"--pty", analyzerLink, "--timeout", "10000", "--start-delay", "1500",
                                 scripts + "lims-analyzer.sim"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(analyzerLink) && QFileInfo::exists(limsLink), 5000);
    QVERIFY2(q.start({"/id=HIT902", "/type=H902", "/com=1", "/outtype=invH912", "/outcom=2", "/outid=LIMS",
                      "/autoval=2"}),
             qPrintable(q.output()));
    QVERIFY(analyzer.waitForFinished(40000));
    QVERIFY(lims.waitForFinished(40000));
    const QString analyzerSide = QString::fromLocal8Bit(analyzer.readAll());
    const QString limsSide = QString::fromLocal8Bit(lims.readAll());
    QVERIFY2(analyzer.exitCode() == 0 && lims.exitCode() == 0,
             qPrintable(analyzerSide + "\n" + limsSide + "\n" + q.logText()));
    QCOMPARE(q.terminate(), 0);
    // The LIMS's summary counts its side: two inquiries answered, one results frame received.
    QVERIFY2(limsSide.contains("sim: sent 2 answers to inquiries, received 1 other frames, checks failed 0"),
             qPrintable(limsSide));

    Database db("e2e-lims");
    DatabaseTarget target;
    target.qtDriver = "QSQLITE";
    target.databaseName = q.folder() + "/lab.db";
    target.dialect = SqlDialect(SqlDialect::SQLite);
    QCOMPARE(db.open(target), QString());
    auto text = [&](const QString& sql) {
        SqlResult r = db.run(sql);
        QStringList rows;
        while (r.next())
            rows << r.value(0).toString();
        return rows.join(';');
    };
    // The order's patient, customer and sample, its tests measured and validated, nothing left to send.
    QCOMPARE(text("SELECT p.surname || '/' || p.forename || '/' || s.cust_id || '/' || s.collector || '/' || "
                  "s.coll_dat FROM sample_base s INNER JOIN patients p ON p.p_id = s.p_id WHERE s.sample_id "
                  "= '240101'"),
             QString("O\u00B4Neil/Anna/W7/Dr Lang/2026-12-07 08:15:00"));
    QCOMPARE(text("SELECT parameter_id FROM results WHERE sample_id = '240101' ORDER BY parameter_id"),
             "1;2;9");
    QCOMPARE(text("SELECT COUNT(*) FROM request WHERE sample_id IN ('240101', '240199')"), "0");
    QCOMPARE(text("SELECT COUNT(*) FROM req2send"), "0");
    // Both lines in the log: the inquiry and the results toward the LIMS, the order and the LIMS's
    // acknowledgement from it.
    const QString log = q.logText();
    QCOMPARE(log.count("  H->L{STX};A"), 2);
    QCOMPARE(log.count("  H->L{STX}:A"), 1);
    QCOMPARE(log.count("  L->H{STX};A"), 2);
    QCOMPARE(log.count("  L->H{STX}>{ETX}"), 1);
}

QTEST_GUILESS_MAIN(TestLimsEndToEnd)
#include "tst_lims_e2e.moc"
