#include "core/Database.h"
#include "support/QuorlixProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::QuorlixProcess;

namespace {

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The body of GET /metrics, empty when it cannot be had.
QString Scrape(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(3000))
        return {};
    socket.write("GET /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(3000))
        reply += socket.readAll();
    reply += socket.readAll();
    if (!reply.startsWith("HTTP/1.1 200 OK"))
        return {};
    return QString::fromUtf8(reply.mid(reply.indexOf("\r\n\r\n") + 4));
}

// The value of one sample, -1 when it is not there.
double Sample(const QString& text, const QString& nameAndLabels)
{
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(nameAndLabels + QLatin1Char(' ')))
            return line.section(QLatin1Char(' '), -1).toDouble();
    }
    return -1;
}

} // namespace

// A real quorlix serving /metrics while quorlix-sim plays a Hitachi 911 (two inquiries, two
// samples, a control sent twice, a calibration): what a scraper reads agrees with the
// communication log and the database.
class TestMetricsEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void scrapedDuringAndAfterARun();
};

void TestMetricsEndToEnd::scrapedDuringAndAfterARun()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("analyzer");
    const quint16 port = FreePort();
    QuorlixProcess q("database=lab.db\ncontrolmask=QC????\nshowcalibchart=0\ncom1=" + link +
                     "\nmetrics=127.0.0.1:" + QString::number(port) + "\n");
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);

    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QUORLIX_SIM,
              {"--pty", link, "--start-delay", "1500", QString(QUORLIX_SCRIPTS) + "/hit911.sim"});
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(link), 5000);
    QVERIFY2(q.start({"/id=HIT911", "/type=H911", "/com=1"}), qPrintable(q.output()));

    // The server listens once the engine has started, just after the log's first lines.
    QString during;
    QTRY_VERIFY_WITH_TIMEOUT(!(during = Scrape(port)).isEmpty(), 5000);
    QVERIFY2(Sample(during, R"(quorlix_start_time_seconds{analyzer="HIT911"})") > 0,
             qPrintable(during + "\n" + q.logText()));
    QCOMPARE(Sample(during, R"(quorlix_link_up{analyzer="HIT911",line="lims"})"), -1.0);

    QVERIFY(sim.waitForFinished(30000));
    const QString dialogue = QString::fromLocal8Bit(sim.readAll());
    QVERIFY2(sim.exitCode() == 0, qPrintable(dialogue + "\n" + q.logText()));
    const QString after = Scrape(port);
    const QString log = q.logText();
    QCOMPARE(q.terminate(), 0);

    const auto metric = [&after](const QString& name, const QString& line = {}) {
        return int(Sample(after, name + R"({analyzer="HIT911")" +
                                     (line.isEmpty() ? QString() : ",line=\"" + line + "\"") + "}"));
    };
    QCOMPARE(metric("quorlix_frames_received_total", "analyzer"), int(log.count("  A->H")));
    QCOMPARE(metric("quorlix_frames_sent_total", "analyzer"), int(log.count("  H->A")));
    QCOMPARE(metric("quorlix_frames_received_total", "analyzer"), int(dialogue.count("  A->H{STX}")));
    QCOMPARE(metric("quorlix_order_requests_total"), 2);
    QCOMPARE(metric("quorlix_order_reply_seconds_count"), 2);

    Database db("e2e-metrics");
    DatabaseTarget target;
    target.qtDriver = "QSQLITE";
    target.databaseName = q.folder() + "/lab.db";
    target.dialect = SqlDialect(SqlDialect::SQLite);
    QCOMPARE(db.open(target), QString());
    auto count = [&](const QString& sql) {
        SqlResult r = db.run(sql, {QStringLiteral("HIT911")});
        return r.next() ? r.value(0).toInt() : -1;
    };
    QCOMPARE(metric("quorlix_results_stored_total"),
             count("SELECT COUNT(DISTINCT sample_id) FROM Raw_Results WHERE analyzer_id = ?"));
    QCOMPARE(metric("quorlix_results_stored_total"), 2);
    QCOMPARE(
        metric("quorlix_controls_stored_total"),
        count("SELECT COUNT(DISTINCT control_id) FROM control_results WHERE analyzer_id = ? AND result IS "
              "NOT NULL"));
    QCOMPARE(metric("quorlix_calibrations_stored_total"),
             count("SELECT COUNT(*) FROM calibrations WHERE analyzer_id = ?"));
    QCOMPARE(metric("quorlix_database_failures_total"), 0);
    QCOMPARE(metric("quorlix_spool_records"), 0);
}

QTEST_GUILESS_MAIN(TestMetricsEndToEnd)
#include "tst_metrics_e2e.moc"
