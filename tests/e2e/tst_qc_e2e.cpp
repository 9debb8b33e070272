#include "core/Database.h"
#include "support/QuorlixProcess.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::QuorlixProcess;

namespace {

// Glucose (parameter 1: channel 1 of the Hitachi and the AU, test GLU of the Indiko) of the control
// QC0001, with assigned targets 100 +- 2: results 5 and 6 of the series lie 5 SD high, the scatter
// before them fires nothing. A host stamps results to the second: the results come 1.2 s apart.
const QString Series = QStringLiteral("QC0001:1:6:100:2:shift=5@5:every=1200");

QString Text(const QVariant& stamp)
{
    return stamp.toString().replace(QLatin1Char('T'), QLatin1Char(' ')).left(19);
}

} // namespace

// Statistical quality control seen from outside: quorlix-sim sends a control series with a shift to
// the real quorlix over a pseudo-terminal, then a patient sample, a control in control and another
// patient sample; the SQLite database and the communication log must show the rule events, and with
// QcHold=1 the hold of glucose from the rejected control to the passing one.
class TestQcEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void shiftAndHold_data();
    void shiftAndHold();
};

void TestQcEndToEnd::shiftAndHold_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("analyzerId");
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("hold");

    const QString hitachi = "model 911\n"
                            "control-series " +
                            Series +
                            "\nwait 1200\n"
                            "results b 10385236 pos=1 1=95.2 2=0.91 5=32\n"
                            "wait 1200\n"
                            "control b QC0001 pos=2 1=100.4\n"
                            "wait 1200\n"
                            "results b 10385237 pos=3 1=88 6=205 7=120\n";
    const QString au = "role au400\n"
                       "control-series " +
                       Series +
                       "\nwait 1200\n"
                       "results 10385236 cup=1 1=95.2 2=0.91 5=32\n"
                       "wait 1200\n"
                       "control QC0001 cup=2 1=100.4\n"
                       "wait 1200\n"
                       "results 10385237 cup=3 1=88 6=205 7=120\n";
    // The Indiko stamps its results itself: the series a minute apart up to its start, then the
    // sample, the control and the sample two, three and four minutes after the script was made.
    const auto message = [](int minutes, const QString& order, const QString& results) {
        return "send H|\\^&|||1^Indiko Basic^2.0|||||1^quorlix^1.0||P|1|" +
               QDateTime::currentDateTime().addSecs(60 * minutes).toString("yyyyMMddHHmmss") + "; P|1; O|1|" +
               order + "; " + results + "; L|1|N\n";
    };
    const QString indiko =
        "role indiko\ncontrol-series QC0001:GLU:6:100:2:shift=5@5\n" +
        message(2, "10385236^^1^1", "R|1|^^^GLU|95.2|mg/dl; R|2|^^^CREA|0.91|mg/dl; R|3|^^^AST|32|U/l") +
        message(3, "QC0001^^1^1", "R|1|^^^GLU|100.4|mg/dl") +
        message(4, "10385237^^1^2", "R|1|^^^GLU|88|mg/dl; R|2|^^^CHOL|205|mg/dl; R|3|^^^TRIG|120|mg/dl");
    QTest::newRow("Hitachi 911, QcHold=1") << "H911"
                                           << "HIT911" << hitachi << true;
    QTest::newRow("Hitachi 911, QcHold off") << "H911"
                                             << "HIT911" << hitachi << false;
    QTest::newRow("AU400, QcHold=1") << "OAU400"
                                     << "AU400" << au << true;
    QTest::newRow("Indiko, QcHold=1") << "IND"
                                      << "IND1" << indiko << true;
}

void TestQcEndToEnd::shiftAndHold()
{
    QFETCH(QString, type);
    QFETCH(QString, analyzerId);
    QFETCH(QString, script);
    QFETCH(bool, hold);
    QTemporaryDir dir;
    const QString link = dir.filePath("analyzer");
    QuorlixProcess q("database=lab.db\ncontrolmask=QC????\nshowcalibchart=0\ncom1=" + link +
                     (hold ? "\nQcHold=1\n" : "\n"));
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);

    Database db("e2e-qc-" + analyzerId);
    DatabaseTarget target;
    target.qtDriver = "QSQLITE";
    target.databaseName = q.folder() + "/lab.db";
    target.dialect = SqlDialect(SqlDialect::SQLite);
    QCOMPARE(db.open(target), QString());
    QVERIFY(
        db.run("INSERT INTO control_targets (control_id, parameter_id, analyzer_id, mean, sd, valid_from) "
               "VALUES ('QC0001', 1, ?, 100, 2, '2000-01-01 00:00:00')",
               {analyzerId})
            .ok());

    QFile file(dir.filePath("qc.sim"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(script.toUtf8());
    file.close();
    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QUORLIX_SIM, {"--pty", link, "--start-delay", "1500", "--timeout", "15000", file.fileName()});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link), 5000);
    QVERIFY2(q.start({"/id=" + analyzerId, "/type=" + type, "/com=1", "/autoval=2"}), qPrintable(q.output()));
    QVERIFY(sim.waitForFinished(60000));
    const QString dialogue = QString::fromLocal8Bit(sim.readAll());
    QVERIFY2(sim.exitCode() == 0, qPrintable(dialogue + "\n" + q.logText()));
    QCOMPARE(q.terminate(), 0);
    const QString log = q.logText();

    // The control's glucose results in the order they came: 6 of the series, then the passing one.
    QStringList stamps;
    QList<double> values;
    {
        SqlResult r = db.run("SELECT time_stamp, result FROM control_results WHERE control_id = 'QC0001' "
                             "AND parameter_id = 1 AND analyzer_id = ? ORDER BY time_stamp",
                             {analyzerId});
        while (r.next()) {
            stamps << Text(r.value(0));
            values << r.value(1).toDouble();
        }
    }
    QCOMPARE(stamps.size(), 7);
    QCOMPARE(QSet<QString>(stamps.cbegin(), stamps.cend()).size(), 7);

    // Rejections exactly at results 5 (1-3s) and 6 (1-3s, and 2-2s with result 5); a warning only
    // where a result lies beyond 2 SD; each event with its Monitor line.
    QMap<QString, QStringList> rejections, warnings;
    {
        SqlResult r = db.run("SELECT time_stamp, rule, severity, z_score FROM control_rule_events WHERE "
                             "control_id = 'QC0001' AND parameter_id = 1 AND analyzer_id = ? ORDER BY rule",
                             {analyzerId});
        while (r.next()) {
            const QString stamp = Text(r.value(0)), rule = r.value(1).toString(),
                          severity = r.value(2).toString();
            const double z = r.value(3).toDouble();
            const qsizetype result = stamps.indexOf(stamp);
            QVERIFY2(result >= 0, qPrintable(stamp));
            QVERIFY2(qAbs(z - (values.at(result) - 100) / 2) < 0.01, qPrintable(rule));
            (severity == "rejection" ? rejections : warnings)[stamp] << rule;
            QVERIFY2(severity == "rejection" || severity == "warning", qPrintable(severity));
            const QString line = QString("Monitor: QC QC0001 parameter 1: %1 %2 (z = %3)")
                                     .arg(rule, severity, QString::asprintf("%+.2f", z));
            QVERIFY2(log.contains(line), qPrintable(line + "\n" + log));
        }
    }
    QCOMPARE(rejections.keys(), (QStringList{stamps.at(4), stamps.at(5)}));
    QCOMPARE(rejections.value(stamps.at(4)), QStringList{"1-3s"});
    QCOMPARE(rejections.value(stamps.at(5)), (QStringList{"1-3s", "2-2s"}));
    for (auto w = warnings.cbegin(); w != warnings.cend(); ++w) {
        QCOMPARE(w.value(), QStringList{"1-2s"});
        QVERIFY(w.key() == stamps.at(4) || w.key() == stamps.at(5));
    }

    // The hold: from the first rejected control to the passing one.
    const auto count = [&](const QString& sql) {
        SqlResult r = db.run(sql, {analyzerId});
        return r.next() ? r.value(0).toInt() : -1;
    };
    {
        SqlResult r = db.run("SELECT held_from, control_id, released_at, released_by FROM qc_holds "
                             "WHERE parameter_id = 1 AND analyzer_id = ?",
                             {analyzerId});
        QCOMPARE(r.next(), hold);
        if (hold) {
            QCOMPARE(Text(r.value(0)), stamps.at(4));
            QCOMPARE(r.value(1).toString(), QString("QC0001"));
            QCOMPARE(Text(r.value(2)), stamps.at(6));
            QCOMPARE(r.value(3).toString(), QString("QC0001"));
            QVERIFY(!r.next());
        }
    }
    const QString held = QString("Monitor: QC hold: parameter 1 held on %1 from %2 (control QC0001 rejected)")
                             .arg(analyzerId, stamps.at(4));
    const QString released =
        QString("Monitor: QC hold: parameter 1 released on %1 at %2 (control QC0001 passed)")
            .arg(analyzerId, stamps.at(6));
    QCOMPARE(log.contains(held), hold);
    QCOMPARE(log.contains(released), hold);
    QCOMPARE(log.count("QC hold: "), hold ? 2 : 0);

    // Glucose of the sample measured under the rejection waits in request with QcHold=1; the
    // sample's other tests, and glucose measured after the passing control, are autovalidated.
    QCOMPARE(count("SELECT COUNT(*) FROM request WHERE sample_id = '10385236' AND parameter_id = 1 "
                   "AND result IS NOT NULL AND analyzer_id = ?"),
             hold ? 1 : 0);
    QCOMPARE(count("SELECT COUNT(*) FROM results WHERE sample_id = '10385236' AND parameter_id = 1 "
                   "AND analyzer_id = ?"),
             hold ? 0 : 1);
    QCOMPARE(count("SELECT COUNT(*) FROM results WHERE sample_id = '10385236' AND analyzer_id = ?"),
             hold ? 2 : 3);
    QCOMPARE(count("SELECT COUNT(*) FROM results WHERE sample_id = '10385237' AND analyzer_id = ?"), 3);
}

QTEST_GUILESS_MAIN(TestQcEndToEnd)
#include "tst_qc_e2e.moc"
