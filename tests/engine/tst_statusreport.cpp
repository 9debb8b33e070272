#include "core/CommandLine.h"
#include "core/Stamps.h"
#include "engine/Startup.h"
#include "engine/StatusReport.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(14, 0, 0));

AnalyzerStatus Running(const QString& id, qint64 heartbeatAge, const QString& link)
{
    AnalyzerStatus row;
    row.analyzerId = id;
    row.analyzerType = QStringLiteral("H911");
    row.hostName = QStringLiteral("lab-pc-3");
    row.processId = 77;
    row.version = QStringLiteral("1.4.0");
    row.startedAt = Now.addSecs(-3600);
    if (heartbeatAge >= 0)
        row.lastHeartbeat = Now.addSecs(-heartbeatAge);
    row.analyzerLink = link;
    row.limsLink = QStringLiteral("none");
    return row;
}

// Two analyzers of a site: one at work, one whose process went away with records in its spool.
QList<AnalyzerStatus> Site()
{
    AnalyzerStatus au = Running(QStringLiteral("AU680-2"), 2, QStringLiteral("online"));
    au.analyzerType = QStringLiteral("OAU680");
    au.hostName = QStringLiteral("lab-pc-12");
    au.processId = 8812;
    au.limsLink = QStringLiteral("online");
    au.lastReceived = QStringLiteral("{STX}D 1{ETX}");
    au.lastReceivedAt = Now.addSecs(-14);
    AnalyzerStatus hitachi = Running(QStringLiteral("H911-1"), 42, QStringLiteral("offline"));
    hitachi.spoolWaiting = 3;
    hitachi.quarantined = 1;
    hitachi.lastError = QStringLiteral("database failure: server closed the connection");
    hitachi.lastErrorAt = Now.addSecs(-302);
    return {au, hitachi};
}

const QString SiteTable = QStringLiteral(
    "analyzer  type    state   LIMS    host        pid  version  heartbeat  last frame  spool  quarantine  "
    "last error\n"
    "AU680-2   OAU680  online  online  lab-pc-12  8812  1.4.0           2s         14s      0           0\n"
    "H911-1    H911    gone    -       lab-pc-3     77  1.4.0          42s           -      3           1  "
    "database failure: server closed the connection (5m02s ago)");

} // namespace

class TestStatusReport : public QObject
{
    Q_OBJECT

private slots:
    void stateOfARow_data();
    void stateOfARow();
    void exitCodeOfTheSite();
    void alignedTable();
    void colouredOnlyTheState();
    void rowTextIsNotObeyedByTheTerminal();
    void jsonHasEveryColumn();
    void command_data();
    void command();
};

void TestStatusReport::stateOfARow_data()
{
    QTest::addColumn<int>("heartbeatAge"); // seconds; -1: never
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("heartbeat 2 s ago") << 2 << "online" << false << "online" << 0;
    QTest::newRow("a type without a line") << 2 << "none" << false << "online" << 0;
    QTest::newRow("9 s: still within three ticks") << 9 << "online" << false << "online" << 0;
    QTest::newRow("analyzer line silent") << 2 << "offline" << false << "offline" << 1;
    QTest::newRow("10 s without a heartbeat") << 10 << "online" << false << "gone" << 1;
    QTest::newRow("never a heartbeat") << -1 << "online" << false << "gone" << 1;
    QTest::newRow("gone outweighs offline") << 60 << "offline" << false << "gone" << 1;
    QTest::newRow("stopped in order") << 2 << "online" << true << "stopped" << 1;
    QTest::newRow("stopped long ago is not gone") << 86400 << "online" << true << "stopped" << 1;
}

void TestStatusReport::stateOfARow()
{
    QFETCH(int, heartbeatAge);
    QFETCH(QString, link);
    QFETCH(bool, stopped);
    AnalyzerStatus row = Running(QStringLiteral("H911-1"), heartbeatAge, link);
    if (stopped)
        row.stoppedAt = row.lastHeartbeat;
    QTEST(StateName(StateOf(row, Now)), "state");
    QTEST(StatusExitCode({row}, Now), "exitCode");
}

void TestStatusReport::exitCodeOfTheSite()
{
    const AnalyzerStatus online = Running(QStringLiteral("A"), 1, QStringLiteral("online"));
    const AnalyzerStatus gone = Running(QStringLiteral("B"), 30, QStringLiteral("online"));
    QCOMPARE(StatusExitCode({online, online}, Now), 0);
    QCOMPARE(StatusExitCode({online, gone}, Now), 1);
    // No row at all: a check pointed at the wrong database must not pass.
    QCOMPARE(StatusExitCode({}, Now), 1);
}

void TestStatusReport::alignedTable()
{
    QCOMPARE(StatusTable(Site(), Now, false), SiteTable);
}

void TestStatusReport::colouredOnlyTheState()
{
    const QString coloured = StatusTable(Site(), Now, true);
    QVERIFY(coloured.contains("\x1b[32monline\x1b[0m  online"));
    QVERIFY(coloured.contains("\x1b[31mgone  \x1b[0m"));
    QString stripped = coloured;
    stripped.remove(QRegularExpression("\x1b\\[[0-9]+m"));
    QCOMPARE(stripped, SiteTable);
}

void TestStatusReport::rowTextIsNotObeyedByTheTerminal()
{
    AnalyzerStatus row = Running(QStringLiteral("H\x1b[2J"), 1, QStringLiteral("online"));
    row.lastError = QStringLiteral("refused\x07");
    row.lastErrorAt = Now;
    const QString table = StatusTable({row}, Now, false);
    QVERIFY2(!table.contains(QChar(0x1b)) && !table.contains(QChar(0x07)), qPrintable(table));
    QVERIFY(table.contains("H?[2J"));
}

void TestStatusReport::jsonHasEveryColumn()
{
    const QJsonArray rows = QJsonDocument::fromJson(StatusJson(Site(), Now)).array();
    QCOMPARE(rows.size(), 2);
    const QJsonObject hitachi = rows.at(1).toObject();
    QStringList keys = hitachi.keys();
    keys.sort();
    QCOMPARE(keys, (QStringList{"analyzer_id", "analyzer_link", "analyzer_type", "host_name", "last_error",
                                "last_error_at", "last_heartbeat", "last_received", "last_received_at",
                                "last_sent", "last_sent_at", "lims_link", "process_id", "quarantined",
                                "spool_waiting", "started_at", "state", "stopped_at", "version"}));
    QCOMPARE(hitachi.value("state").toString(), "gone");
    QCOMPARE(hitachi.value("process_id").toInteger(), 77);
    QCOMPARE(hitachi.value("spool_waiting").toInt(), 3);
    QCOMPARE(hitachi.value("last_heartbeat").toString(), "2026-12-07T13:59:18");
    QVERIFY(hitachi.value("stopped_at").isNull());
    QVERIFY(hitachi.value("last_received").isNull());
    QCOMPARE(rows.at(0).toObject().value("last_received").toString(), "{STX}D 1{ETX}");
}

void TestStatusReport::command_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<bool>("withTable");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("every analyzer online") << "--status" << true << 0;
    QTest::newRow("as JSON") << "--status --json" << true << 0;
    QTest::newRow("one analyzer that is online") << "--status /id=H911-1" << true << 0;
    QTest::newRow("one analyzer without a row") << "--status /id=H902" << true << 1;
    QTest::newRow("a database without the table") << "--status" << false << int(ExitDatabase);
    QTest::newRow("a switch that cannot be used") << "--status /com=x" << true << int(ExitConfiguration);
}

void TestStatusReport::command()
{
    QFETCH(QString, args);
    QFETCH(bool, withTable);

    Test::TestDatabase tdb(QStringLiteral("sqlite"));
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    tdb.exec(QStringLiteral("INSERT INTO analyzer_status (analyzer_id, analyzer_type, last_heartbeat, "
                            "analyzer_link, lims_link) VALUES ('H911-1', 'H911', ?, 'online', 'none')"),
             {tdb.db().stamp(SqlStamp(Now.addSecs(-2)))});
    if (!withTable)
        tdb.exec(QStringLiteral("DROP TABLE analyzer_status"));
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("quorlix.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write(tdb.iniLines().toUtf8());
    ini.close();

    QStringList list = QStringList{QStringLiteral("--config"), ini.fileName()} + args.split(QLatin1Char(' '));
    const LaunchOptions options = TakeLaunchOptions(list);
    QVERIFY2(options.error.isEmpty(), qPrintable(options.error));
    QTEST(RunStatusReport(options, list.join(QLatin1Char(' ')), dir.path(), Now), "exitCode");
}

QTEST_GUILESS_MAIN(TestStatusReport)
#include "tst_statusreport.moc"
