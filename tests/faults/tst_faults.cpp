// Nothing lost, nothing doubled: the real quorlix with quorlix-sim over pseudo-terminals against a
// real PostgreSQL server, under database outages, crashes, line trouble, load and hostile input.
// QUORLIX_FAULTS=full runs the full sizes (scripts/faults.sh); the default is a short form for CI.
// Each scenario prints one summary line.

#include "FaultRig.h"
#include "support/QuorlixProcess.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <cstdio>

using namespace Quorlix;
using namespace Quorlix::Test;

namespace {

bool Full()
{
    return qEnvironmentVariable("QUORLIX_FAULTS") == "full";
}

int Scale(int shortForm, int fullForm)
{
    return Full() ? fullForm : shortForm;
}

void Summary(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// A results frame of five results for sample PREFIX{n}, numbered so that every frame differs.
QString LoadScript(const QString& model, const QString& prefix, int frames,
                   const QString& between = QString())
{
    QString script = "model " + model + "\nloop " + QString::number(frames) + "\n";
    script += "results a " + prefix + "{n} number={n} 1=95.2 2=0.91 3=30 4=22 5=32\n";
    if (!between.isEmpty())
        script += between + "\n";
    return script + "end\n";
}

// Waits until the spool is empty and the stored rows stop changing.
void WaitUntilSettled(const QString& spoolFolder, Database& db, const QString& analyzerId, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    int last = -1;
    int stableFor = 0;
    while (timer.elapsed() < timeoutMs) {
        SqlResult r = db.run("SELECT COUNT(*) FROM Raw_Results WHERE analyzer_id = ?", {analyzerId});
        const int rows = r.next() ? r.value(0).toInt() : -1;
        stableFor = rows == last ? stableFor + 1 : 0;
        last = rows;
        if (SpoolBacklog(spoolFolder) == 0 && stableFor >= 4)
            return;
        QTest::qWait(500);
    }
}

} // namespace

// One analyzer's place: a fresh database with the demonstration data, its line, its quorlix.
struct Site
{
    Site(PgCluster& pg, const QString& database, const QString& extraIni = QString())
        : link(lines.filePath("analyzer")), q(PgIniLines(pg, pg.createDatabase(database)) +
                                              "controlmask=QC????\ncom1=" + link + "\n" + extraIni)
    {
        initialised = q.runToEnd({"--init-db", "--demo-data"}) == 0;
    }

    QTemporaryDir lines;
    QString link;
    QuorlixProcess q;
    bool initialised = false;
};

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void databaseOutage();
    void crashes();
    void lineTrouble();
    void manyAnalyzers();
    void hostileInput();

private:
    std::unique_ptr<PgCluster> m_pg;
    int m_databases = 0;
};

void TestFaults::initTestCase()
{
    m_pg = std::make_unique<PgCluster>();
    QVERIFY2(m_pg->ok(), qPrintable(m_pg->error()));
}

void TestFaults::databaseOutage()
{
    const int frames = Scale(60, 300);
    const int outageMs = Scale(6000, 30000);
    const QString database = QString("faults_outage%1").arg(++m_databases);
    Site site(*m_pg, database);
    QVERIFY(site.initialised);
    QuorlixProcess& q = site.q;
    const QString link = site.link;

    // A frame every tenth of a second or so, as a busy analyzer sends them.
    Simulator sim(link, LoadScript("911", "DB", frames, "wait 100"),
                  {"--start-delay", "1500", "--timeout", "5000"});
    QVERIFY(sim.waitForLink());
    QVERIFY2(q.start({"/id=HIT911", "/type=H911", "/com=1", "/autoval=2"}), qPrintable(q.output()));
    QTRY_VERIFY_WITH_TIMEOUT(sim.recorded() >= frames / 3, 60000);
    QVERIFY(m_pg->stop());
    QElapsedTimer outage;
    outage.start();
    const int before = sim.recorded();
    QTest::qWait(outageMs);
    const int answeredDuringOutage = sim.recorded() - before;
    QVERIFY(m_pg->start());
    QVERIFY2(sim.finish(120000), qPrintable(sim.output()));
    auto db = OpenPg(*m_pg, database, "outage-check");
    QVERIFY(db);
    WaitUntilSettled(q.folder() + "/logs/spool", *db, "HIT911", 120000);
    QCOMPARE(q.terminate(), 0);

    const Tally t = Count(sim.recordFile(), *db, "HIT911");
    Summary(
        t.line("database outage",
               QString("outage %1 s, answered during it %2").arg(outageMs / 1000).arg(answeredDuringOutage)));
    QVERIFY2(answeredDuringOutage > 0, qPrintable(q.logText().right(4000)));
    QCOMPARE(t.answered, frames);
    QCOMPARE(t.lost, 0);
    QCOMPARE(t.doubled, 0);
    QCOMPARE(t.stored, t.answered);
}

void TestFaults::crashes()
{
    const int frames = Scale(150, 1000);
    const int kills = Scale(4, 12);
    const QString database = QString("faults_crash%1").arg(++m_databases);
    Site site(*m_pg, database);
    QVERIFY(site.initialised);
    QuorlixProcess& q = site.q;
    const QString link = site.link;
    // The 902 pauses before every answer: a kill often falls between storing and answering.
    const QStringList switches{"/id=HIT902", "/type=H902", "/com=1", "/autoval=2"};
    Simulator sim(link, LoadScript("902", "K", frames),
                  {"--start-delay", "1500", "--timeout", "1500", "--retry", "30"});
    QVERIFY(sim.waitForLink());
    QVERIFY2(q.start(switches), qPrintable(q.output()));

    QRandomGenerator random(7);
    for (int k = 0; k < kills; ++k) {
        const int at = (k + 1) * frames / (kills + 1);
        QTRY_VERIFY_WITH_TIMEOUT(sim.recorded() >= at, 120000);
        QTest::qWait(int(random.bounded(150)));
        q.kill();
        QVERIFY2(q.start(switches), qPrintable(q.output()));
    }
    QVERIFY2(sim.finish(300000), qPrintable(sim.output()));
    auto db = OpenPg(*m_pg, database, "crash-check");
    QVERIFY(db);
    WaitUntilSettled(q.folder() + "/logs/spool", *db, "HIT902", 60000);
    QCOMPARE(q.terminate(), 0);
    const Tally t = Count(sim.recordFile(), *db, "HIT902");
    Summary(t.line("crash", QString("%1 kills").arg(kills)));
    QCOMPARE(t.answered, frames);
    QCOMPARE(t.lost, 0);
    QCOMPARE(t.doubled, 0);
}

void TestFaults::lineTrouble()
{
    const int frames = Scale(40, 200);
    const QString database = QString("faults_line%1").arg(++m_databases);
    Site site(*m_pg, database);
    QVERIFY(site.initialised);
    QuorlixProcess& q = site.q;
    const QString link = site.link;

    // Between valid frames: runs of random bytes, frames that never end, a megabyte of noise, and
    // the line going away and coming back; every frame goes out in random pieces.
    QString script =
        "model 911\nloop " + QString::number(frames) +
        "\n"
        "results b L{n} number={n} 1=95.2 2=0.91 3=30 4=22 5=32\nnoise 300\noverlong 5000\nend\n"
        "noise 1048576\nhangup 4000\nloop 10\nresults b LA{n} number={n} 1=1 2=2 3=3 4=4 5=5\nend\n";
    Simulator sim(link, script, {"--start-delay", "1500", "--timeout", "8000", "--retry", "3", "--split"});
    QVERIFY(sim.waitForLink());
    QVERIFY2(q.start({"/id=HIT911", "/type=H911", "/com=1"}), qPrintable(q.output()));
    qint64 peak = 0;
    while (!sim.finish(200))
        peak = qMax(peak, PeakMemoryKb(q.process().processId()));
    peak = qMax(peak, PeakMemoryKb(q.process().processId()));
    auto db = OpenPg(*m_pg, database, "line-check");
    QVERIFY(db);
    WaitUntilSettled(q.folder() + "/logs/spool", *db, "HIT911", 30000);
    QVERIFY(q.process().state() == QProcess::Running); // no crash
    QCOMPARE(q.terminate(), 0);
    const Tally t = Count(sim.recordFile(), *db, "HIT911");
    Summary(t.line("line trouble", QString("peak memory %1 MB").arg(peak / 1024)));
    QVERIFY2(sim.exitCode() == 0, qPrintable(sim.output().right(2000)));
    QCOMPARE(t.answered, frames + 10);
    QCOMPARE(t.lost, 0);
    QCOMPARE(t.doubled, 0);
    QVERIFY(peak < 100 * 1024);
}

void TestFaults::manyAnalyzers()
{
    const int seconds = Scale(20, 300);
    const QString database = m_pg->createDatabase(QString("faults_many%1").arg(++m_databases));
    struct Instance
    {
        QString id, type, model, autoval;
    };
    const QList<Instance> instances{{"HIT911", "H911", "911", "1"}, {"HIT902", "H902", "902", "2"},
                                    {"HIT912", "H912", "912", ""},  {"M911B", "H911", "911", "2"},
                                    {"M902B", "H902", "902", ""},   {"M912B", "H912", "912", "1"},
                                    {"M911C", "H911", "911", ""},   {"M912C", "H912", "912", "2"}};
    QTemporaryDir lines;
    std::vector<std::unique_ptr<QuorlixProcess>> processes;
    std::vector<std::unique_ptr<Simulator>> sims;
    // All processes start just before a shift boundary (shifts of 8 h from 06:00) and race for the
    // day and shift rows.
    const QString clockStart = QDate::currentDate().toString(Qt::ISODate) + "T13:59:52";
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < instances.size(); ++i) {
        const Instance& in = instances.at(i);
        const QString link = lines.filePath("line" + QString::number(i));
        processes.push_back(std::make_unique<QuorlixProcess>(
            PgIniLines(*m_pg, database) + "controlmask=QC????\nshiftlen=8\nfirstshift=06:00\ncom1=" + link +
            "\n"));
        if (i == 0) {
            QCOMPARE(processes.back()->runToEnd({"--init-db", "--demo-data"}), 0);
            // The further analyzers measure the same tests on the same channels as the first ones.
            auto setup = OpenPg(*m_pg, database, "many-setup");
            QVERIFY(setup);
            for (const Instance& other : instances)
                setup->run(
                    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) "
                    "SELECT parameter_id, ?, channel_id, testiddsx FROM param2channel WHERE analyzer_id = ? "
                    "AND NOT EXISTS (SELECT 1 FROM param2channel WHERE analyzer_id = ?)",
                    {other.id, "HIT" + other.model, other.id});
        }
        // Enough frames to keep the line busy for the whole run.
        sims.push_back(
            std::make_unique<Simulator>(link, LoadScript(in.model, in.id + "-", seconds * 40),
                                        QStringList{"--start-delay", "2000", "--timeout", "10000"}));
        QVERIFY(sims.back()->waitForLink());
        QStringList switches{"--clock-start", clockStart, "/id=" + in.id, "/type=" + in.type, "/com=1"};
        if (!in.autoval.isEmpty())
            switches << "/autoval=" + in.autoval;
        QVERIFY2(processes.back()->start(switches), qPrintable(processes.back()->output()));
    }
    QHash<int, qint64> peaks;
    while (timer.elapsed() < seconds * 1000) {
        for (int i = 0; i < instances.size(); ++i)
            peaks[i] = qMax(peaks.value(i), PeakMemoryKb(processes.at(i)->process().processId()));
        QTest::qWait(500);
    }
    for (auto& p : processes)
        QCOMPARE(p->terminate(), 0); // the simulators' lines go quiet: no answer counts from here
    for (auto& s : sims)
        s->finish(30000);

    auto db = OpenPg(*m_pg, database, "many-check");
    QVERIFY(db);
    int frames = 0;
    for (int i = 0; i < instances.size(); ++i) {
        const Tally t = Count(sims.at(i)->recordFile(), *db, instances.at(i).id);
        Summary(t.line("many analyzers " + instances.at(i).id,
                       QString("peak memory %1 MB").arg(peaks.value(i) / 1024)));
        QVERIFY(t.answered > 0);
        QCOMPARE(t.lost, 0);
        QCOMPARE(t.doubled, 0);
        frames += t.answered;
    }
    SqlResult shifts = db->run("SELECT COUNT(*) FROM quorlix_log WHERE log_key = 's_change'");
    const int shiftRows = shifts.next() ? shifts.value(0).toInt() : 0;
    Summary(QString("many analyzers: %1 frames in %2 s, %3 frames per second, %4 s_change rows")
                .arg(frames)
                .arg(seconds)
                .arg(double(frames) / seconds, 0, 'f', 1)
                .arg(shiftRows));
    QVERIFY(shiftRows >= 1); // the shift boundary was crossed
}

void TestFaults::hostileInput()
{
    const QString database = QString("faults_hostile%1").arg(++m_databases);
    // Quotes and a comment in the ini values and the analyzer name must not change a statement.
    Site site(*m_pg, database, "controlmask=QC'?--\nlanguage=x'];DROP TABLE request;--\n");
    QVERIFY(site.initialised);
    QuorlixProcess& q = site.q;
    const QString link = site.link;
    const QStringList ids{"O'Brien", "A1';DELETE",     "X--comment", "Y/*c*/",
                          "Z;DROP",  "Q{0x1C}R{0x01}", "''''"};
    QString script = "model 911\n";
    for (int i = 0; i < ids.size(); ++i)
        script += QString("results b %1 number=%2 1=95.2 2=0.91\n").arg(ids.at(i)).arg(i + 1);
    Simulator sim(link, script, {"--start-delay", "1500"});
    QVERIFY(sim.waitForLink());
    QVERIFY2(q.start({"/id=HIT'911", "/type=H911", "/com=1", "/autoval=2"}), qPrintable(q.output()));
    QVERIFY(sim.finish(30000));
    auto db = OpenPg(*m_pg, database, "hostile-check");
    QVERIFY(db);
    WaitUntilSettled(q.folder() + "/logs/spool", *db, "HIT'911", 20000);
    QCOMPARE(q.terminate(), 0);
    const Tally t = Count(sim.recordFile(), *db, "HIT'911");
    Summary(t.line("hostile input"));
    QCOMPARE(t.answered, ids.size());
    QCOMPARE(t.stored, ids.size());
    for (const QString& raw : ids) {
        QString id = raw;
        id.replace("{0x1C}", QString(QChar(0x1C))).replace("{0x01}", QString(QChar(0x01)));
        SqlResult r = db->run("SELECT COUNT(*) FROM sample_base WHERE sample_id = ? AND analyzer_id = ?",
                              {id, "HIT'911"});
        QVERIFY2(r.next() && r.value(0).toInt() == 1, qPrintable(id));
    }
    SqlResult tables = db->run("SELECT COUNT(*) FROM test_def");
    QVERIFY(tables.next() && tables.value(0).toInt() == 12); // nothing dropped or deleted
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
