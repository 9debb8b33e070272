#include "comm/LinkState.h"
#include "core/DayShift.h"
#include "core/InstanceStats.h"
#include "store/status/StatusRow.h"
#include "support/DriverRig.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::DriverRig;

namespace {

const QDateTime Start(QDate(2026, 12, 7), QTime(10, 39, 40));

StatusIdentity Identity()
{
    StatusIdentity identity;
    identity.analyzerId = QStringLiteral("H911-1");
    identity.analyzerType = QStringLiteral("H911");
    identity.hostName = QStringLiteral("lab-pc-3");
    identity.processId = 4242;
    identity.version = QStringLiteral("9.8.7");
    identity.hasAnalyzerLink = true;
    identity.hasLimsLink = false;
    return identity;
}

// The instance's row, column by column: texts as stored, times as ISO, NULL as "NULL".
QStringList Row(DriverRig& rig)
{
    SqlResult row = rig.tdb.db().run(QStringLiteral(
        "SELECT analyzer_id, analyzer_type, host_name, process_id, version, started_at, last_heartbeat, "
        "stopped_at, analyzer_link, lims_link, last_received, last_received_at, last_sent, last_sent_at, "
        "spool_waiting, quarantined, last_error, last_error_at FROM analyzer_status"));
    if (!row.next())
        return {QStringLiteral("no row")};
    QStringList values;
    for (int i = 0; i < 18; ++i) {
        const QVariant value = row.value(i);
        const bool time = row.columns().at(i).endsWith(QLatin1String("_at")) ||
                          row.columns().at(i).contains(QLatin1String("heartbeat"));
        values << (value.isNull() ? QStringLiteral("NULL")
                   : time         ? DateTimeOf(value).toString(Qt::ISODate)
                                  : value.toString());
    }
    if (row.next())
        values << QStringLiteral("a second row");
    return values;
}

} // namespace

class TestStatusRow : public QObject
{
    Q_OBJECT

private slots:
    void rowCarriesTheInstance_data() { Test::AddBackendRows(); }
    void rowCarriesTheInstance();
    void failingDatabaseSkipsTheHeartbeat_data() { Test::AddBackendRows(); }
    void failingDatabaseSkipsTheHeartbeat();
    void endedConnectionIsOpenedAgain_data() { Test::AddBackendRows(); }
    void endedConnectionIsOpenedAgain();
};

void TestStatusRow::rowCarriesTheInstance()
{
    QFETCH(QString, backend);
    DriverRig rig(backend, Start);
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    // A row an earlier run of this analyzer left, stopped.
    rig.tdb.execElsewhere(
        QStringLiteral("INSERT INTO analyzer_status (analyzer_id, analyzer_type, stopped_at) "
                       "VALUES ('H911-1', 'H902', ?)"),
        {rig.tdb.db().stamp(QStringLiteral("20261206 18:00:00"))});
    QTemporaryDir spool;
    rig.store.openSpool(spool.path());
    InstanceStats stats;
    StatusRow status(rig.tdb.db(), rig.log, rig.time, rig.link, stats);

    status.start(Identity(), rig.store.spool());
    QCOMPARE(Row(rig), (QStringList{"H911-1", "H911", "lab-pc-3", "4242", "9.8.7", "2026-12-07T10:39:40",
                                    "2026-12-07T10:39:40", "NULL", "online", "none", "NULL", "NULL", "NULL",
                                    "NULL", "0", "0", "NULL", "NULL"}));
    QCOMPARE(stats.lastHeartbeat, Start);

    // A heartbeat later: the frames, the silent line and the last error as the stats hold them.
    rig.time.advanceSeconds(3);
    stats.analyzer.lastReceived = QStringLiteral("{STX}1H|\\^&{ETX}");
    stats.analyzer.lastReceivedAt = Start.addSecs(1);
    stats.analyzer.lastSent = QStringLiteral("{ACK}");
    stats.analyzer.lastSentAt = Start.addSecs(2);
    stats.lastError = QString(300, QLatin1Char('e'));
    stats.lastErrorAt = Start.addSecs(2);
    rig.link.analyzerOnline = false;
    status.write();
    QCOMPARE(Row(rig), (QStringList{"H911-1", "H911", "lab-pc-3", "4242", "9.8.7", "2026-12-07T10:39:40",
                                    "2026-12-07T10:39:43", "NULL", "offline", "none", "{STX}1H|\\^&{ETX}",
                                    "2026-12-07T10:39:41", "{ACK}", "2026-12-07T10:39:42", "0", "0",
                                    QString(255, QLatin1Char('e')), "2026-12-07T10:39:42"}));

    rig.time.advanceSeconds(2);
    status.stop();
    QCOMPARE(Row(rig).at(7), "2026-12-07T10:39:45");
    rig.time.advanceSeconds(3);
    status.write(); // nothing after the stop
    QCOMPARE(Row(rig).at(6), "2026-12-07T10:39:45");
    QCOMPARE(rig.monitor(), QStringList());
}

void TestStatusRow::failingDatabaseSkipsTheHeartbeat()
{
    QFETCH(QString, backend);
    DriverRig rig(backend, Start);
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    InstanceStats stats;
    StatusRow status(rig.tdb.db(), rig.log, rig.time, rig.link, stats);
    status.start(Identity(), nullptr);

    // Two minutes of ticks without the server: one line, and no tick waits for it.
    rig.tdb.serverDown();
    QElapsedTimer elapsed;
    elapsed.start();
    for (int tick = 0; tick < 40; ++tick) {
        rig.time.advanceSeconds(3);
        status.write();
    }
    QVERIFY2(elapsed.elapsed() < 3000, qPrintable(QString::number(elapsed.elapsed())));
    QCOMPARE(rig.monitor().size(), 1);
    QVERIFY2(rig.monitor().first().startsWith("status row: not written ("),
             qPrintable(rig.monitor().first()));
    QCOMPARE(stats.lastHeartbeat, Start);

    // Back: written again within the longest wait, with one line.
    rig.tdb.serverUp();
    for (int tick = 0; tick < StatusRow::MaxRetryDelaySeconds / 3; ++tick) {
        rig.time.advanceSeconds(3);
        status.write();
    }
    QCOMPARE(rig.monitor().size(), 2);
    QCOMPARE(rig.monitor().last(), "status row: written again");
    QCOMPARE(Row(rig).at(6), rig.time.now().toString(Qt::ISODate));
    QCOMPARE(stats.lastHeartbeat, rig.time.now());
}

void TestStatusRow::endedConnectionIsOpenedAgain()
{
    QFETCH(QString, backend);
    DriverRig rig(backend, Start);
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    InstanceStats stats;
    StatusRow status(rig.tdb.db(), rig.log, rig.time, rig.link, stats);
    status.start(Identity(), nullptr);
    if (backend == QLatin1String("sqlite")) {
        rig.tdb.db().close();
    } else {
        // Another session ends ours, as a server restart would; no record comes to reconnect it.
        const QString pid = rig.tdb.scalar(QStringLiteral("SELECT pg_backend_pid()"));
        Database admin(QStringLiteral("status-admin"));
        QCOMPARE(admin.open(rig.tdb.target()), QString());
        QVERIFY(admin.run(QStringLiteral("SELECT pg_terminate_backend(?)"), {pid.toInt()}).ok());
    }
    rig.time.advanceSeconds(3);
    status.write();
    rig.time.advanceSeconds(3);
    status.write();
    QCOMPARE(rig.monitor().size(), 2);
    QCOMPARE(rig.monitor().last(), "status row: written again");
    QCOMPARE(stats.lastHeartbeat, Start.addSecs(6));
}

QTEST_GUILESS_MAIN(TestStatusRow)
#include "tst_statusrow.moc"
