#include "StoreFixture.h"
#include "drivers/astm/IndikoStore.h"
#include "drivers/au/AuReceivedJob.h"
#include "store/SampleStore.h"
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
    explicit Fixture(const QString& backend, int quarantineLimit = Spool::DefaultQuarantineLimit)
        : StoreFixture(backend, Start), limit(quarantineLimit)
    {
        restart();
    }

    QString folder() const { return dir.filePath(QStringLiteral("spool")); }
    QString bad() const { return QDir(folder()).filePath(QStringLiteral("bad")); }
    QStringList files(const QString& sub = QString()) const
    {
        return QDir(sub.isEmpty() ? folder() : QDir(folder()).filePath(sub))
            .entryList(QDir::Files, QDir::Name);
    }
    // A new spool on the same folder, as after a restart of the program.
    void restart() { store.openSpool(folder(), limit); }
    // One result of parameter 7, one minute after the previous record.
    JobOutcome sample(const QString& id, const QString& value = QStringLiteral("1"))
    {
        clock.advanceSeconds(60);
        sampleRecord = SampleRecord();
        sampleRecord.SampleId = id;
        sampleRecord.ResultCount = 1;
        sampleRecord.Results[0].ParameterId = 7;
        sampleRecord.Results[0].Value = value;
        sampleRecord.Results[0].DataAlarm = QStringLiteral(" ");
        return store.submit(
            store.newJob(store.kinds().require<SampleJobKind>(), SampleJob{sampleRecord, {}}));
    }
    void control(const QString& id)
    {
        sampleRecord = SampleRecord();
        sampleRecord.SampleId = id;
        sampleRecord.ResultCount = 1;
        sampleRecord.Results[0] = {7, 7, QStringLiteral("5"), QStringLiteral(" ")};
        storeControl();
    }
    void order(const QString& id)
    {
        tdb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES (?, 7)"), {id});
    }
    int filled(const QString& id)
    {
        return tdb.count(QStringLiteral("request"), QStringLiteral("sample_id = ? AND result IS NOT NULL"),
                         {id});
    }

    int limit;
    QTemporaryDir dir;
};

} // namespace

class TestSpool : public QObject
{
    Q_OBJECT

private slots:
    void databaseDown_data() { Test::AddBackendRows(); }
    void databaseDown();
    void connectionLost_data() { Test::AddBackendRows(); }
    void connectionLost();
    void replayIsIdempotent_data() { Test::AddBackendRows(); }
    void replayIsIdempotent();
    void unreadableFilesAreMovedAside_data() { Test::AddBackendRows(); }
    void unreadableFilesAreMovedAside();
    void refusedRecordDoesNotBlock_data() { Test::AddBackendRows(); }
    void refusedRecordDoesNotBlock();
    void refusedInReplay_data() { Test::AddBackendRows(); }
    void refusedInReplay();
    void quarantineIsBounded_data() { Test::AddBackendRows(); }
    void quarantineIsBounded();
    void quarantinedRecordsMovedBack_data() { Test::AddBackendRows(); }
    void quarantinedRecordsMovedBack();
    void analyzersShareTheFolder();
    void previousReleaseFiles_data();
    void previousReleaseFiles();
};

void TestSpool::databaseDown()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    for (const QString& id : {QStringLiteral("S1"), QStringLiteral("S2"), QStringLiteral("S4")})
        f.order(id);
    f.tdb.exec(QStringLiteral("INSERT INTO control_def (control_id, parameter_id, range_low, range_high) "
                              "VALUES ('QC1', 7, 0, 10)"));
    f.tdb.exec(QStringLiteral(
        "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (7, 'H911', 7)"));

    QCOMPARE(f.sample(QStringLiteral("S1")).result, JobOutcome::Stored);
    QVERIFY(!f.store.spool()->hasPending());

    // The server stops: every record waits, whole and in order; none is taken as refused.
    f.tdb.serverDown();
    QCOMPARE(f.sample(QStringLiteral("S2"), QStringLiteral("2")).result, JobOutcome::Waiting);
    QCOMPARE(f.monitor().filter(QStringLiteral("sample S2 kept in the spool")).size(), 1);
    f.sample(QStringLiteral("S6"), QStringLiteral("6")); // first record of S6
    f.control(QStringLiteral("QC1"));
    f.calibrationRecord = CalibrationRecord();
    f.calibrationRecord.CalParameterId = 7;
    f.calibrationRecord.CalStdCount = 1;
    f.storeCalibration();
    f.sample(QStringLiteral("S6"), QStringLiteral("66")); // second record of S6
    QCOMPARE(f.store.spool()->pendingCount(), 5);
    QCOMPARE(f.files().size(), 5);
    for (int tick = 0; tick < 5; ++tick) {
        f.clock.advanceSeconds(120);
        f.store.spool()->replay();
    }
    QCOMPARE(f.store.spool()->pendingCount(), 5);
    QCOMPARE(f.files(QStringLiteral("bad")), QStringList{});
    QCOMPARE(f.monitor().filter(QStringLiteral("the database cannot be reached")).size(), 1);

    f.tdb.serverUp();
    f.clock.advanceSeconds(120);
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
    QCOMPARE(f.monitor().filter(QStringLiteral("5 record(s) stored; none waiting")).size(), 1);

    // Afterwards records go straight to the database again.
    QCOMPARE(f.sample(QStringLiteral("S4")).result, JobOutcome::Stored);
    QCOMPARE(f.filled(QStringLiteral("S4")), 1);
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
    QCOMPARE(f.files(QStringLiteral("bad")), QStringList{});
}

void TestSpool::replayIsIdempotent()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.tdb.serverDown();
    f.sample(QStringLiteral("I1"));
    QCOMPARE(f.files().size(), 1);
    const QString file = QDir(f.folder()).filePath(f.files().first());
    QFile original(file);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray content = original.readAll();
    original.close();

    f.tdb.serverUp();
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
    f.tdb.serverDown();
    f.sample(QStringLiteral("U1"));
    QCOMPARE(f.files(), QStringList{QStringLiteral("000000000001-H911.json")});
    auto write = [&](const QString& name, const QByteArray& data) {
        QFile file(QDir(f.folder()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
    };
    write(QStringLiteral("000000000000-H911.json"), "{ not json");
    write(QStringLiteral("000000000002-H911.json"), R"({"format": 1, "id": "x", "kind": "sample"})");
    write(QStringLiteral("000000000003-H911.json.tmp"), "{");
    write(QStringLiteral("000000000004-H912.json.tmp"), "{"); // another analyzer's, being written
    f.restart(); // this analyzer's interrupted write is set aside at once
    QCOMPARE(f.files(QStringLiteral("bad")), QStringList{QStringLiteral("000000000003-H911.json.tmp")});
    QCOMPARE(f.store.spool()->pendingCount(), 3);

    f.tdb.serverUp();
    f.store.spool()->replay();
    QVERIFY(!f.store.spool()->hasPending());
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = 'U1'")), 1);
    QCOMPARE(f.files(QStringLiteral("bad")).size(), 3);
    QCOMPARE(f.files(), QStringList{QStringLiteral("000000000004-H912.json.tmp")});
    QCOMPARE(f.monitor().filter(QStringLiteral("cannot be read")).size(), 2);

    // New records continue the numbering after what was found.
    f.tdb.serverDown();
    f.sample(QStringLiteral("U2"));
    QCOMPARE(f.files().first(), QStringLiteral("000000000003-H911.json"));
}

void TestSpool::refusedRecordDoesNotBlock()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.tdb.exec(QStringLiteral("CREATE UNIQUE INDEX ux_raw_once ON Raw_Results (sample_id, parameter_id)"));
    QCOMPARE(f.sample(QStringLiteral("R1")).result, JobOutcome::Stored);
    // Refused by the index: set aside at once; the next record is stored at once.
    QCOMPARE(f.sample(QStringLiteral("R1")).result, JobOutcome::Quarantined);
    QCOMPARE(f.sample(QStringLiteral("R2")).result, JobOutcome::Stored);
    QVERIFY(!f.store.spool()->hasPending());
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = 'R2'")), 1);
    QCOMPARE(f.files(QStringLiteral("bad")), QStringList{QStringLiteral("000000000001-H911.json")});
    const QStringList lines = f.monitor().filter(QStringLiteral("sample R1"));
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains(QStringLiteral("set aside in")), qPrintable(lines.first()));
}

void TestSpool::refusedInReplay()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.order(QStringLiteral("P1"));
    f.order(QStringLiteral("P2"));
    f.tdb.serverDown();
    f.sample(QStringLiteral("P1"));
    f.control(QStringLiteral("QC1"));
    f.sample(QStringLiteral("P2"));
    QCOMPARE(f.store.spool()->pendingCount(), 3);

    f.tdb.serverUp();
    f.tdb.refuseInserts(QStringLiteral("Raw_Results"), QStringLiteral("NEW.sample_id = 'P1'"));
    f.store.spool()->replay();

    // The refused record is set aside whole (the order of P1, filled before its raw copy was
    // refused, is open again); the records behind it are stored.
    QVERIFY(!f.store.spool()->hasPending());
    QCOMPARE(f.files(QStringLiteral("bad")).size(), 1);
    QCOMPARE(f.filled(QStringLiteral("P1")), 0);
    QCOMPARE(f.filled(QStringLiteral("P2")), 1);
    QCOMPARE(f.tdb.count(QStringLiteral("control_results")), 1);
    const QStringList lines = f.monitor().filter(QStringLiteral("refused by the database"));
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.first().contains(QStringLiteral("sample P1")), qPrintable(lines.first()));
    QCOMPARE(f.monitor().filter(QStringLiteral("2 record(s) stored, 1 refused and set aside")).size(), 1);
    QCOMPARE(f.monitor().filter(QStringLiteral("still fails")).size(), 0);
}

void TestSpool::quarantineIsBounded()
{
    QFETCH(QString, backend);
    Fixture f(backend, 2);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.tdb.refuseInserts(QStringLiteral("Raw_Results"), QStringLiteral("NEW.sample_id LIKE 'Q%'"));
    for (const QString& id :
         {QStringLiteral("Q1"), QStringLiteral("Q2"), QStringLiteral("Q3"), QStringLiteral("Q4")})
        QCOMPARE(f.sample(id).result, JobOutcome::Quarantined);
    f.tdb.serverDown();
    f.sample(QStringLiteral("Q5"));
    f.tdb.serverUp();
    f.store.spool()->replay();

    // Two are kept in the quarantine; the others are written whole into the log, and nothing
    // waits in the spool.
    QCOMPARE(f.files(QStringLiteral("bad")).size(), 2);
    QCOMPARE(f.files(), QStringList{});
    QCOMPARE(f.monitor().filter(QStringLiteral("its limit")).size(), 1);
    for (const QString& id : {QStringLiteral("Q3"), QStringLiteral("Q4"), QStringLiteral("Q5")}) {
        const QStringList full = f.monitor().filter(QStringLiteral("\"CurSampleId\":\"%1\"").arg(id));
        QCOMPARE(full.size(), 1);
        QVERIFY2(full.first().startsWith(QStringLiteral("sample %1 not stored").arg(id)),
                 qPrintable(full.first()));
    }

    // Room again once the site has dealt with the quarantine.
    QVERIFY(QDir(f.bad()).removeRecursively());
    QCOMPARE(f.sample(QStringLiteral("Q6")).result, JobOutcome::Quarantined);
    QCOMPARE(f.files(QStringLiteral("bad")).size(), 1);
}

void TestSpool::quarantinedRecordsMovedBack()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.order(QStringLiteral("M1"));
    f.tdb.refuseInserts(QStringLiteral("Raw_Results"), QStringLiteral("NEW.sample_id = 'M1'"));
    QCOMPARE(f.sample(QStringLiteral("M1"), QStringLiteral("4")).result, JobOutcome::Quarantined);
    QCOMPARE(f.sample(QStringLiteral("M2")).result, JobOutcome::Stored);
    const QStringList aside = f.files(QStringLiteral("bad"));
    QCOMPARE(aside.size(), 1);

    // The site repairs its database and moves the record back (keeping a copy): it is stored on
    // the next tick, once; the copy moved back later is not stored again.
    f.tdb.allowInserts(QStringLiteral("Raw_Results"));
    const QString back = QDir(f.folder()).filePath(aside.first());
    QVERIFY(QFile::copy(QDir(f.bad()).filePath(aside.first()), f.dir.filePath(QStringLiteral("copy"))));
    QVERIFY(QFile::rename(QDir(f.bad()).filePath(aside.first()), back));
    f.store.spool()->replay();
    QCOMPARE(f.files(), QStringList{});
    QCOMPARE(f.tdb.count(QStringLiteral("request"), QStringLiteral("sample_id = 'M1' AND result = 4")), 1);
    QVERIFY(QFile::rename(f.dir.filePath(QStringLiteral("copy")), back));
    f.store.spool()->replay();
    QCOMPARE(f.files(), QStringList{});
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = 'M1'")), 1);
    QCOMPARE(f.files(QStringLiteral("bad")), QStringList{});
}

void TestSpool::analyzersShareTheFolder()
{
    // Two processes of one site, each with its analyzer, keep their records in the same folder
    // while the database is down.
    Fixture f(QStringLiteral("sqlite"));
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    Settings other = f.setup;
    other.AnalyzerId = QStringLiteral("H 2/b");
    Store second(other, f.tdb.db(), f.log, f.clock, f.limsLine);
    second.openSpool(f.folder());
    const auto sampleOfSecond = [&](const QString& id) {
        SampleRecord record;
        record.SampleId = id;
        record.ResultCount = 1;
        record.Results[0] = {7, 7, QStringLiteral("2"), QStringLiteral(" ")};
        second.StoreSampleResult(record, {}, {});
    };
    f.tdb.serverDown();
    f.sample(QStringLiteral("A1"));
    sampleOfSecond(QStringLiteral("B1"));
    sampleOfSecond(QStringLiteral("B2"));
    f.sample(QStringLiteral("A2"));
    QCOMPARE(f.files(), (QStringList{"000000000001-H%202%2Fb.json", "000000000001-H911.json",
                                     "000000000002-H%202%2Fb.json", "000000000002-H911.json"}));
    // A record of the naming before, of the second analyzer.
    QVERIFY(QFile::rename(QDir(f.folder()).filePath("000000000002-H%202%2Fb.json"),
                          QDir(f.folder()).filePath("000000000009.json")));
    QCOMPARE(f.monitor().filter(QStringLiteral("cannot be kept")), QStringList{});

    f.tdb.serverUp();
    f.store.spool()->replay();
    QCOMPARE(f.tdb.rows(QStringLiteral("SELECT sample_id, analyzer_id FROM Raw_Results ORDER BY sample_id")),
             QStringLiteral("A1|H911;A2|H911"));
    QCOMPARE(f.files().size(), 2);
    second.spool()->replay();
    QCOMPARE(f.tdb.rows(QStringLiteral("SELECT sample_id, analyzer_id FROM Raw_Results ORDER BY sample_id")),
             QStringLiteral("A1|H911;A2|H911;B1|H 2/b;B2|H 2/b"));
    QCOMPARE(f.files(), QStringList{});
}

// Records as the previous release spooled them (its sample records held the id, disc and position
// of each analyzer family in fields of their own), with the rows it stored from them.
void TestSpool::previousReleaseFiles_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("analyzer");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("sampleBase");
    const QByteArray settings = R"json("settings":{"AnalyzerId":"%1","AnalyzerType":"%2","AutoVal":"",
        "OutComPort":null,"OutId":"","OutType":"","ShowCalibChart":"0"})json";
    const QByteArray noFrame = R"json("frame":{"CurDate":"","CurFlag1":"","CurFlag2":"","CurFrameClass":"",
        "CurFrameEnd":"","CurFrameStart":"","CurFunction":"","CurInfo1":"","CurInfo2":"","CurMark":"",
        "CurNumber":"","CurTime":""})json";
    const QByteArray hitachi = R"json({"format":1,
        "frame":{"CurDate":"","CurFlag1":"","CurFlag2":"","CurFrameClass":"","CurFrameEnd":"",
        "CurFrameStart":"","CurFunction":":","CurInfo1":"","CurInfo2":"","CurMark":"","CurNumber":"0042",
        "CurTime":""},
        "frameKey":"","frameWindow":0,"id":"previous-1","kind":"sample","receivedAt":"20261207 10:39:40",
        "sample":{"AuCupPos":"","AuRackNo":"","AuSampleId":"","CurSampleDisc":"2","CurSampleId":"S1",
        "CurSamplePos":"13","IndMeasTime":"","IndParameterId":0,"IndResult":"","IndSampleDisc":"",
        "IndSampleId":"","IndSamplePos":"","Results":[{"Channel":12,"DataAlarm":" ","ParameterId":7,
        "Value":"  123.4"},{"Channel":13,"DataAlarm":"H","ParameterId":8,"Value":"5"}]},
        SETTINGS,"stamp":"20261207 10:39:40"})json";
    const QByteArray au = R"json({"format":1,
        "frameKey":"AU1:39d88b573c35d2ff144e946255bd2194366a771f","frameWindow":10,"id":"previous-1",
        "kind":"au-received","model":"AU400","receivedAt":"20261207 10:39:40",
        "sample":{"AuCupPos":"03","AuRackNo":"0012","AuSampleId":"  4711  ","CurSampleDisc":"",
        "CurSampleId":"","CurSamplePos":"","IndMeasTime":"","IndParameterId":0,"IndResult":"",
        "IndSampleDisc":"","IndSampleId":"","IndSamplePos":"","Results":[{"Channel":5,"DataAlarm":"  ",
        "ParameterId":0,"Value":"   1.5"}]},
        SETTINGS,"stamp":"20261207 10:39:40","standards":[],"target":"sample"})json";
    const QByteArray indikoSample = R"json({"format":1,FRAME,
        "frameKey":"","frameWindow":0,"id":"previous-1","kind":"sample","receivedAt":"20261207 10:39:40",
        "sample":{"AuCupPos":"","AuRackNo":"","AuSampleId":"","CurSampleDisc":"","CurSampleId":"",
        "CurSamplePos":"","IndMeasTime":"20261207 10:35:00","IndParameterId":3,"IndResult":"4.2",
        "IndSampleDisc":"2","IndSampleId":" P1 ","IndSamplePos":"7","Results":[{"Channel":0,
        "DataAlarm":"","ParameterId":3,"Value":"4.2"}]},
        SETTINGS,"stamp":"20261207 10:35:00"})json";
    const QByteArray indikoResult = R"json({"format":1,
        "frameKey":"IND1:19f34ee1e406ea84ca83c835a3301b5d9014a788","frameWindow":0,"id":"previous-1",
        "kind":"indiko-result","receivedAt":"20261207 10:39:40",
        "result":{"comments":[],"control":false,"disc":"2","position":"7","sampleId":" P1 ",
        "testCode":"A","value":"4.2"},
        SETTINGS,"stamp":"20261207 10:35:00"})json";
    auto file = [&](QByteArray json, const char* id, const char* type) {
        return json.replace("FRAME", noFrame)
            .replace("SETTINGS", QByteArray(settings).replace("%1", id).replace("%2", type));
    };
    // The Indiko's orders of a run within 13 minutes of the measurement take its time (10:30 -> 10:35).
    const QString indikoRequest =
        QStringLiteral("P1|1|IND1|2026-12-07 10:35:00|1|NULL;P1|3|IND1|2026-12-07 10:35:00|4.2|");
    for (const QString& backend : Test::Backends()) {
        QTest::newRow(qPrintable(backend + QStringLiteral("/Hitachi sample")))
            << backend << "H911" << file(hitachi, "H911", "H911") << "S1"
            << "S1|7|H911|2026-12-07 10:39:40|123.4| ;S1|8|H911|2026-12-07 10:39:40|5|H"
            << "S1|7|H911|2026-12-07 10:39:40|123.4|;S1|8|H911|2026-12-07 10:39:40|5|H"
            << "S1|2|13|H911|";
        QTest::newRow(qPrintable(backend + QStringLiteral("/AU sample")))
            << backend << "AU1" << file(au, "AU1", "OAU400") << "4711"
            << "4711|7|AU1|2026-12-07 10:39:40|1.5| "
            << "4711|7|AU1|2026-12-07 10:39:40|1.5|"
            << "4711|12|3|AU1|";
        QTest::newRow(qPrintable(backend + QStringLiteral("/Indiko result as a sample")))
            << backend << "IND1" << file(indikoSample, "IND1", "IND") << "P1" << indikoRequest
            << "P1|3|IND1|2026-12-07 10:35:00|4.2|"
            << "P1|2|7|IND1|";
        QTest::newRow(qPrintable(backend + QStringLiteral("/Indiko result")))
            << backend << "IND1" << file(indikoResult, "IND1", "IND") << "P1" << indikoRequest
            << "P1|3|IND1|2026-12-07 10:35:00|4.2|"
            << "P1|2|7|IND1|";
    }
}

void TestSpool::previousReleaseFiles()
{
    QFETCH(QString, backend);
    QFETCH(QString, analyzer);
    QFETCH(QByteArray, file);
    QFETCH(QString, id);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    // What the drivers register before the spool is replayed.
    SetAuStoreRules(f.store.kinds());
    SetIndikoStoreRules(f.store.kinds());
    f.store.kinds().require<AuReceivedJobKind>();
    f.store.kinds().require<IndikoResultJobKind>();
    f.tdb.exec(QStringLiteral("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) "
                              "VALUES (7, 'AU1', 5, NULL), (3, 'IND1', NULL, 'A')"));
    f.tdb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 7), ('4711', 7), "
                              "('P1', 3)"));
    f.tdb.exec(
        QStringLiteral("INSERT INTO request (sample_id, parameter_id, analyzer_id, time_stamp, result) "
                       "VALUES ('P1', 1, 'IND1', ?, 1)"),
        {f.tdb.db().stamp(QStringLiteral("20261207 10:30:00"))});

    f.setup.AnalyzerId = analyzer;
    QFile spooled(QDir(f.folder()).filePath(QStringLiteral("000000000001-%1.json").arg(analyzer)));
    QVERIFY(spooled.open(QIODevice::WriteOnly));
    spooled.write(file);
    spooled.close();
    f.restart();
    f.store.replaySpool();

    QCOMPARE(f.files(), QStringList{});
    QCOMPARE(f.files(QStringLiteral("bad")), QStringList{});
    const QString stamp = f.stampOf(QStringLiteral("time_stamp"));
    QTEST(f.tdb.rows(QStringLiteral("SELECT sample_id, parameter_id, analyzer_id, %1, result, data_alarm "
                                    "FROM request WHERE sample_id = ? ORDER BY parameter_id")
                         .arg(stamp),
                     {id}),
          "request");
    QTEST(f.tdb.rows(QStringLiteral("SELECT sample_id, parameter_id, analyzer_id, %1, result, data_alarm "
                                    "FROM Raw_Results ORDER BY parameter_id")
                         .arg(stamp)),
          "raw");
    QTEST(f.tdb.rows(QStringLiteral("SELECT sample_id, sample_disc, sample_pos, analyzer_id, status_1 FROM "
                                    "sample_base")),
          "sampleBase");
}

QTEST_GUILESS_MAIN(TestSpool)
#include "tst_spool.moc"
