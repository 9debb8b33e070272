#include "core/Database.h"
#include "support/QuorlixProcess.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::QuorlixProcess;

namespace {

// A simulator playing a role over a pseudo-terminal it creates at the link.
struct Sim
{
    Sim(const QString& link, const QString& script, const QStringList& options = {})
    {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QUORLIX_SIM, QStringList{"--pty", link, "--start-delay", "1500", "--timeout", "15000"} +
                                       options + QStringList{QString(QUORLIX_SCRIPTS) + "/" + script});
    }
    QProcess process;
};

} // namespace

// The real quorlix executable serving quorlix-sim as an AU400, AU600 and AU680 over a
// pseudo-terminal, against a SQLite laboratory database with the demonstration data; and once with
// a second simulator playing the LIMS on the LIMS port.
class TestAuEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void model_data();
    void model();
    void withLims();

private:
    static int Count(const QString& folder, const QString& sql, const QString& analyzerId);
};

int TestAuEndToEnd::Count(const QString& folder, const QString& sql, const QString& analyzerId)
{
    Database db("e2e-" + analyzerId);
    DatabaseTarget target;
    target.qtDriver = "QSQLITE";
    target.databaseName = folder + "/lab.db";
    target.dialect = SqlDialect(SqlDialect::SQLite);
    if (!db.open(target).isEmpty())
        return -1;
    SqlResult r = db.run(sql, sql.contains('?') ? QVariantList{analyzerId} : QVariantList{});
    return r.next() ? r.value(0).toInt() : -1;
}

void TestAuEndToEnd::model_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("results");
    QTest::addColumn<int>("controls");
    QTest::addColumn<int>("calibrations");
    QTest::newRow("AU400") << "OAU400"
                           << "au400.sim" << QStringList{} << 8 << 6 << 1;
    QTest::newRow("AU600, au600pause") << "OAU600"
                                       << "au600.sim" << QStringList{} << 5 << 6 << 1;
    QTest::newRow("AU680, frames in random pieces") << "OAU680"
                                                    << "au680.sim" << QStringList{"--split"} << 6 << 2 << 1;
}

void TestAuEndToEnd::model()
{
    QFETCH(QString, type);
    QFETCH(QString, script);
    QFETCH(QStringList, options);
    QTemporaryDir dir;
    const QString link = dir.filePath("analyzer");
    QuorlixProcess q("database=lab.db\ncontrolmask=QC????\nshowcalibchart=0\nau600pause=300\ncom1=" + link +
                     "\n");
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);

    Sim sim(link, script, options);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link), 5000);
    const QString analyzerId = "AU" + type.mid(3);
    QVERIFY2(q.start({"/id=" + analyzerId, "/type=" + type, "/com=1", "/autoval=2"}), qPrintable(q.output()));
    QVERIFY(sim.process.waitForFinished(60000));
    const QString dialogue = QString::fromLocal8Bit(sim.process.readAll());
    QVERIFY2(sim.process.exitCode() == 0, qPrintable(dialogue + "\n" + q.logText()));
    QCOMPARE(q.terminate(), 0);

    QTEST(Count(q.folder(), "SELECT COUNT(*) FROM results WHERE analyzer_id = ?", analyzerId), "results");
    QCOMPARE(Count(q.folder(), "SELECT COUNT(*) FROM Raw_Results WHERE analyzer_id = ?", analyzerId),
             Count(q.folder(), "SELECT COUNT(*) FROM results WHERE analyzer_id = ?", analyzerId));
    QTEST(Count(q.folder(),
                "SELECT COUNT(*) FROM control_results WHERE analyzer_id = ? AND result IS NOT NULL",
                analyzerId),
          "controls");
    QTEST(Count(q.folder(), "SELECT COUNT(*) FROM calibrations WHERE analyzer_id = ?", analyzerId),
          "calibrations");
    // Every frame the simulator sent is in the log as received, and every ACK as sent.
    QCOMPARE(q.logText().count("  A->H{STX}"), dialogue.count("  A->H{STX}"));
    QCOMPARE(q.logText().count("  H->A{ACK}"), dialogue.count("  H->A{ACK}"));
}

void TestAuEndToEnd::withLims()
{
    QTemporaryDir dir;
    const QString analyzerLink = dir.filePath("analyzer"), limsLink = dir.filePath("lims");
    QuorlixProcess q("database=lab.db\ncontrolmask=QC????\nshowcalibchart=0\ncom1=" + analyzerLink +
                     "\ncom2=" + limsLink + "\n");
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);

    Sim lims(limsLink, "lims-au.sim");
    Sim analyzer(analyzerLink, "au400-lims.sim");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(analyzerLink) && QFileInfo::exists(limsLink), 5000);
    QVERIFY2(q.start({"/id=AU400", "/type=OAU400", "/com=1", "/outtype=invOAU400", "/outcom=2", "/outid=LIMS",
                      "/autoval=2"}),
             qPrintable(q.output()));
    QVERIFY(analyzer.process.waitForFinished(60000));
    QVERIFY(lims.process.waitForFinished(30000));
    const QString analyzerSide = QString::fromLocal8Bit(analyzer.process.readAll());
    const QString limsSide = QString::fromLocal8Bit(lims.process.readAll());
    QVERIFY2(analyzer.process.exitCode() == 0 && lims.process.exitCode() == 0,
             qPrintable(analyzerSide + "\n" + limsSide + "\n" + q.logText()));
    QCOMPARE(q.terminate(), 0);

    QCOMPARE(Count(q.folder(), "SELECT COUNT(*) FROM results WHERE analyzer_id = ?", "AU400"), 2);
    QCOMPARE(Count(q.folder(),
                   "SELECT COUNT(*) FROM control_results WHERE analyzer_id = ? AND result IS NOT NULL",
                   "AU400"),
             2);
    QCOMPARE(Count(q.folder(), "SELECT COUNT(*) FROM calibrations WHERE analyzer_id = ?", "AU400"), 1);
    // Nothing sends req2send rows to a LIMS that plays the AU host: none are written.
    QCOMPARE(Count(q.folder(), "SELECT COUNT(*) FROM req2send", "AU400"), 0);
    QCOMPARE(q.logText().count("  H->L{STX}"), 3); // the request, the control, "DB"
    QCOMPARE(q.logText().count("  L->H"), 2);      // the LIMS's ACK and order frame
}

QTEST_GUILESS_MAIN(TestAuEndToEnd)
#include "tst_au_e2e.moc"
