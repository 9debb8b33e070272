#include "StoreFixture.h"
#include "store/Spool.h"
#include "store/Store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;

namespace {

const QDateTime Start(QDate(2026, 12, 7), QTime(10, 0, 0));

// A Hitachi 911 named H911 storing through a spool in a folder of its own.
struct Fixture : Test::StoreFixture
{
    explicit Fixture(const QString& backend) : StoreFixture(backend, Start) { restart(); }

    QString folder() const { return dir.filePath(QStringLiteral("spool")); }
    QStringList files(const QString& sub = QString()) const
    {
        return QDir(sub.isEmpty() ? folder() : QDir(folder()).filePath(sub))
            .entryList(QDir::Files, QDir::Name);
    }
    // A new spool on the same folder, as after a restart of the program.
    void restart() { store.openSpool(folder()); }
    // One result of parameter 7, one minute after the previous record.
    void sample(const QString& id, const QString& value = QStringLiteral("1"))
    {
        clock.advanceSeconds(60);
        sampleRecord = SampleRecord();
        sampleRecord.CurSampleId = id;
        sampleRecord.ResultCount = 1;
        sampleRecord.Results[0].ParameterId = 7;
        sampleRecord.Results[0].Value = value;
        sampleRecord.Results[0].DataAlarm = QStringLiteral(" ");
        storeSample();
    }
    void rename(const QString& from, const QString& to)
    {
        tdb.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(from, to));
    }

    QTemporaryDir dir;
};

} // namespace

class TestSpool : public QObject
{
    Q_OBJECT

private slots:
    void databaseFailsMidRun_data() { Test::AddBackendRows(); }
    void databaseFailsMidRun();
    void connectionLost_data() { Test::AddBackendRows(); }
    void connectionLost();
    void replayIsIdempotent_data() { Test::AddBackendRows(); }
    void replayIsIdempotent();
    void unreadableFilesAreMovedAside_data() { Test::AddBackendRows(); }
    void unreadableFilesAreMovedAside();
    void refusedRecordDoesNotBlock_data() { Test::AddBackendRows(); }
    void refusedRecordDoesNotBlock();
};

void TestSpool::databaseFailsMidRun()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    for (const QString& id :
         {QStringLiteral("S1"), QStringLiteral("S2"), QStringLiteral("S3"), QStringLiteral("S4")})
        f.tdb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES (?, 7)"), {id});
    f.tdb.exec(QStringLiteral("INSERT INTO control_def (control_id, parameter_id, range_low, range_high) "
                              "VALUES ('QC1', 7, 0, 10)"));
    f.tdb.exec(QStringLiteral(
        "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (7, 'H911', 7)"));

    f.sample(QStringLiteral("S1"));
    QVERIFY(!f.store.spool()->hasPending());

    // A table goes away: the order of S2 is filled, then its raw copy fails. The whole sample is
    // rolled back and kept; everything after it waits behind it.
    f.rename(QStringLiteral("Raw_Results"), QStringLiteral("raw_away"));
    f.sample(QStringLiteral("S2"), QStringLiteral("2"));
    QCOMPARE(f.store.spool()->pendingCount(), 1);
    QCOMPARE(f.tdb.count(QStringLiteral("request"),
                         QStringLiteral("sample_id = 'S2' AND result IS NULL AND analyzer_id IS NULL")),
             1);
    QCOMPARE(f.monitor().filter(QStringLiteral("sample S2 kept in the spool")).size(), 1);
    f.sample(QStringLiteral("S6"), QStringLiteral("6")); // first record of S6
    f.sampleRecord = SampleRecord();
    f.sampleRecord.CurSampleId = QStringLiteral("QC1");
    f.sampleRecord.ResultCount = 1;
    f.sampleRecord.Results[0] = {7, 7, QStringLiteral("5"), QStringLiteral(" ")};
    f.storeControl();
    f.calibrationRecord = CalibrationRecord();
    f.calibrationRecord.CalParameterId = 7;
    f.calibrationRecord.CalStdCount = 1;
    f.storeCalibration();
    f.sample(QStringLiteral("S6"), QStringLiteral("66")); // second record of S6
    QCOMPARE(f.store.spool()->pendingCount(), 5);
    QCOMPARE(f.files().size(), 5);

    f.clock.advanceSeconds(600);
    f.store.spool()->replay(); // the table is still missing
    QCOMPARE(f.store.spool()->pendingCount(), 5);
    QCOMPARE(f.tdb.count(QStringLiteral("control_results")), 0);

    f.rename(QStringLiteral("raw_away"), QStringLiteral("Raw_Results"));
    f.store.spool()->replay();
    QVERIFY(!f.store.spool()->hasPending());
    QCOMPARE(f.files().size(), 0);
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results")), 4);
    QCOMPARE(f.tdb.count(QStringLiteral("request"), QStringLiteral("sample_id = 'S2' AND result = 2")), 1);
    QCOMPARE(
        f.tdb.count(QStringLiteral("control_results"), QStringLiteral("control_id = 'QC1' AND result = 5")),
        1);
    QCOMPARE(f.tdb.count(QStringLiteral("control_block")), 1); // armed by its first result
    QCOMPARE(f.tdb.count(QStringLiteral("calibrations"), QStringLiteral("parameter_id = 7")), 1);
    QCOMPARE(f.tdb.count(QStringLiteral("quorlix_log"), QStringLiteral("log_key = 'spool_stored'")), 5);
    // Each record keeps the time it arrived; they were stored in the order they arrived.
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM Raw_Results WHERE sample_id = 'S2'")
                        .arg(f.stampOf(QStringLiteral("time_stamp")))),
             QStringLiteral("2026-12-07 10:02:00"));
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM sample_base WHERE sample_id = 'S6'")
                        .arg(f.stampOf(QStringLiteral("entry_dat")))),
             QStringLiteral("2026-12-07 10:03:00"));
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM sample_base WHERE sample_id = 'S6'")
                        .arg(f.stampOf(QStringLiteral("last_change_dat")))),
             QStringLiteral("2026-12-07 10:04:00"));
    QCOMPARE(f.monitor().filter(QStringLiteral("5 record(s) stored")).size(), 1);

    // Afterwards records go straight to the database again.
    f.sample(QStringLiteral("S4"));
    QVERIFY(!f.store.spool()->hasPending());
    QCOMPARE(f.tdb.count(QStringLiteral("request"), QStringLiteral("sample_id = 'S4' AND result = 1")), 1);
}

void TestSpool::connectionLost()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    if (backend == QLatin1String("sqlite")) {
        f.tdb.db().close();
    } else {
        // Another session ends ours, as a server restart would.
        const QString pid = f.tdb.scalar(QStringLiteral("SELECT pg_backend_pid()"));
        Database admin(QStringLiteral("spool-admin"));
        QCOMPARE(admin.open(f.tdb.target()), QString());
        QVERIFY(admin.run(QStringLiteral("SELECT pg_terminate_backend(?)"), {pid.toInt()}).ok());
    }
    f.sample(QStringLiteral("L1"));
    f.sample(QStringLiteral("L2"));
    QCOMPARE(f.store.spool()->pendingCount(), 2);
    f.store.spool()->replay();
    QVERIFY(!f.store.spool()->hasPending());
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results")), 2);
    QCOMPARE(f.tdb.count(QStringLiteral("sample_base")), 2);
}

void TestSpool::replayIsIdempotent()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.rename(QStringLiteral("Raw_Results"), QStringLiteral("raw_away"));
    f.sample(QStringLiteral("I1"));
    QCOMPARE(f.files().size(), 1);
    const QString file = QDir(f.folder()).filePath(f.files().first());
    QFile original(file);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray content = original.readAll();
    original.close();

    f.rename(QStringLiteral("raw_away"), QStringLiteral("Raw_Results"));
    f.store.spool()->replay();
    QCOMPARE(f.files().size(), 0);

    // As if the process had died between the commit and the removal of the file.
    QFile again(file);
    QVERIFY(again.open(QIODevice::WriteOnly));
    again.write(content);
    again.close();
    f.restart();
    QVERIFY(f.store.spool()->hasPending());
    f.store.spool()->replay();
    QVERIFY(!f.store.spool()->hasPending());
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results")), 1);
    QCOMPARE(f.tdb.count(QStringLiteral("request")), 1);
    QCOMPARE(f.files(QStringLiteral("bad")).size(), 0);
}

void TestSpool::unreadableFilesAreMovedAside()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.rename(QStringLiteral("Raw_Results"), QStringLiteral("raw_away"));
    f.sample(QStringLiteral("U1"));
    QCOMPARE(f.files(), QStringList{QStringLiteral("000000000001.json")});
    auto write = [&](const QString& name, const QByteArray& data) {
        QFile file(QDir(f.folder()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
    };
    write(QStringLiteral("000000000000.json"), "{ not json");
    write(QStringLiteral("000000000002.json"), R"({"format": 1, "id": "x", "kind": "sample"})");
    write(QStringLiteral("000000000003.json.tmp"), "{");
    f.restart(); // the interrupted write is set aside at once
    QCOMPARE(f.files(QStringLiteral("bad")), QStringList{QStringLiteral("000000000003.json.tmp")});
    QCOMPARE(f.store.spool()->pendingCount(), 3);

    f.rename(QStringLiteral("raw_away"), QStringLiteral("Raw_Results"));
    f.store.spool()->replay();
    QVERIFY(!f.store.spool()->hasPending());
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = 'U1'")), 1);
    QCOMPARE(f.files(QStringLiteral("bad")).size(), 3);
    QCOMPARE(f.monitor().filter(QStringLiteral("cannot be read")).size(), 2);

    // New records continue the numbering after what was found.
    f.rename(QStringLiteral("Raw_Results"), QStringLiteral("raw_away"));
    f.sample(QStringLiteral("U2"));
    QCOMPARE(f.files(), QStringList{QStringLiteral("000000000003.json")});
}

void TestSpool::refusedRecordDoesNotBlock()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.tdb.exec(QStringLiteral("CREATE UNIQUE INDEX ux_raw_once ON Raw_Results (sample_id, parameter_id)"));
    f.sample(QStringLiteral("R1"));
    f.sample(QStringLiteral("R1")); // refused by the index
    f.sample(QStringLiteral("R2")); // waits behind it
    QCOMPARE(f.store.spool()->pendingCount(), 2);
    f.store.spool()->replay();
    QVERIFY(!f.store.spool()->hasPending());
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = 'R2'")), 1);
    QCOMPARE(f.files(QStringLiteral("bad")).size(), 1);
    QCOMPARE(f.monitor().filter(QStringLiteral("refused by the database")).size(), 1);
}

QTEST_GUILESS_MAIN(TestSpool)
#include "tst_spool.moc"
