// Nothing lost, nothing doubled: the real quorlix with quorlix-sim over pseudo-terminals against a
// real PostgreSQL server, under database outages, crashes, line trouble, load and hostile input.
// QUORLIX_FAULTS=full runs the full sizes (scripts/faults.sh); the default is a short form for CI.
// Each scenario prints one summary line.

#include "FaultRig.h"
#include "SiteRig.h"
#include "support/QuorlixProcess.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

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
    void site();
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

// One analyzer of the site: its quorlix, the simulators on its lines, what it is to send.
struct SiteInstance
{
    const SiteKind* kind = nullptr;
    QString id;
    QString prefix; // of its sample ids
    int samples = 0;
    QString autoval;
    std::unique_ptr<QuorlixProcess> q;
    std::unique_ptr<Simulator> analyzer;
    std::unique_ptr<Simulator> lims;
    qint64 peakKb = 0;
    quint16 metricsPort = 0;
    QString metrics; // scraped at the end, once its analyzer has stopped sending
};

QString MetricSample(const QString& name, const QString& analyzerId, const QString& line = QString())
{
    return name + "{analyzer=\"" + analyzerId + "\"" + (line.isEmpty() ? "" : ",line=\"" + line + "\"") + "}";
}

// The rows of the instance's results per sample id: its raw copies, or its orders filled and not
// yet validated together with its validated results.
QHash<QString, int> StoredRows(Database& db, const SiteInstance& in, Filed where)
{
    const QString sql =
        where == Filed::RawResults
            ? "SELECT sample_id, COUNT(*) FROM Raw_Results WHERE analyzer_id = ? GROUP BY sample_id"
            : "SELECT sample_id, COUNT(*) FROM (SELECT sample_id FROM request WHERE analyzer_id = ? AND "
              "result IS NOT NULL UNION ALL SELECT sample_id FROM results WHERE analyzer_id = ?) filed "
              "GROUP BY sample_id";
    QHash<QString, int> rows;
    SqlResult r = db.run(sql, where == Filed::RawResults ? QVariantList{in.id} : QVariantList{in.id, in.id});
    while (r.next())
        rows.insert(r.value(0).toString(), r.value(1).toInt());
    return rows;
}

// What the MGC240 measured (its own database is its record): results per sample.
SimRecord MgcRecord(const QString& file, const QString& prefix)
{
    SimRecord record;
    Database mgc("site-mgc-check");
    DatabaseTarget t;
    t.qtDriver = "QSQLITE";
    t.databaseName = file;
    t.dialect = SqlDialect(SqlDialect::SQLite);
    if (!mgc.open(t).isEmpty())
        return record;
    SqlResult r = mgc.run("SELECT samp_id, COUNT(*) FROM samp_dat WHERE data_state = 3 AND samp_id LIKE ? "
                          "GROUP BY samp_id",
                          {prefix + "%"});
    while (r.next()) {
        record.answered.insert(r.value(0).toString(), r.value(1).toInt());
        ++record.answeredFrames;
    }
    return record;
}

// The statements the server logged as slow, most frequent first: "COUNT x STATEMENT (longest MS)".
QStringList SlowStatements(const QString& serverLog, int most)
{
    static const QRegularExpression slow("duration: ([0-9.]+) ms  (?:statement|execute [^:]*): ([^\n]*)");
    QHash<QString, QPair<int, double>> seen;
    for (auto it = slow.globalMatch(serverLog); it.hasNext();) {
        const auto m = it.next();
        auto& [count, longest] = seen[m.captured(2).left(100)];
        ++count;
        longest = qMax(longest, m.captured(1).toDouble());
    }
    QList<QPair<int, QString>> byCount;
    for (auto it = seen.cbegin(); it != seen.cend(); ++it)
        byCount.append(
            {it->first,
             QString("%1 x %2 (longest %3 ms)").arg(it->first).arg(it.key()).arg(it->second, 0, 'f', 0)});
    std::sort(byCount.begin(), byCount.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QStringList lines;
    for (qsizetype i = 0; i < byCount.size() && i < most; ++i)
        lines << byCount.at(i).second;
    return lines;
}

QString Milliseconds(qint64 micros)
{
    return QString::number(double(micros) / 1000.0, 'f', 1) + " ms";
}

// Analyzers of every kind on one database, each simulated analyzer sending at the full rate of a
// 9600-baud line: ask for a sample's orders, send its results, the next sample. Their processes
// cross a shift boundary (shifts of 8 h from 06:00) together and race for the shift rows.
void TestFaults::site()
{
    // QUORLIX_SITE_SECONDS, QUORLIX_SITE_LINE_RATE (baud; 0: as fast as the answers come),
    // QUORLIX_SITE_SCALE (2: twice as many analyzers of each kind) and QUORLIX_SITE_HEARTBEAT=0 (no
    // status rows) change the run.
    const int seconds = qEnvironmentVariableIsSet("QUORLIX_SITE_SECONDS")
                            ? qEnvironmentVariableIntValue("QUORLIX_SITE_SECONDS")
                            : Scale(40, 300);
    const QString lineRate = qEnvironmentVariable("QUORLIX_SITE_LINE_RATE", "9600");
    const int scale = qMax(1, qEnvironmentVariableIntValue("QUORLIX_SITE_SCALE"));
    const bool heartbeat = qEnvironmentVariable("QUORLIX_SITE_HEARTBEAT") != "0";
    // A pseudo-terminal without a line rate carries many times more.
    const int unthrottled = lineRate.toInt() > 0 ? 1 : 8;
    const QString database = m_pg->createDatabase(QString("faults_site%1").arg(++m_databases));
    QTemporaryDir lines;
    std::vector<SiteInstance> site;
    for (const SiteKind& kind : SiteKinds()) {
        int instances = (Full() ? kind.instancesInFullForm : 1) * scale;
        // The site has one MGC240 database, so one MGC240: a bigger site has another 912 instead.
        if (kind.type == "MGC")
            instances = 1;
        if (kind.type == "H912")
            instances += scale - 1;
        for (int k = 1; k <= instances; ++k) {
            SiteInstance in;
            in.kind = &kind;
            in.id = QString("%1-%2").arg(kind.label).arg(k);
            in.prefix = QString("S%1-").arg(site.size() + 1, 2, 10, QChar('0'));
            // Enough samples to keep the line busy for the whole run.
            in.samples = int(std::ceil(kind.samplesPerSecond * (seconds + 60))) * unthrottled;
            // Half of them validate: their validation takes every finished order of the database. The
            // MGC online tables validate only with "1".
            in.autoval = kind.filed == Filed::ToLims ? "1" : site.size() % 2 == 0 ? "2" : "";
            site.push_back(std::move(in));
        }
    }

    // The database: the demonstration data, every analyzer's channels, and the orders of its
    // samples with their sample rows, as the LIMS would have placed them. The orders carry the time
    // they were placed, so that the MGC240 (which puts every order without one on its work list)
    // leaves them to their analyzers.
    const QString mgcFile = lines.filePath("mgc240.db");
    {
        QuorlixProcess init(PgIniLines(*m_pg, database));
        QCOMPARE(init.runToEnd({"--init-db", "--demo-data"}), 0);
        auto setup = OpenPg(*m_pg, database, "site-setup");
        QVERIFY(setup);
        for (const SiteInstance& in : site) {
            if (!in.kind->templateId.isEmpty())
                QVERIFY(
                    setup
                        ->run("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) "
                              "SELECT parameter_id, ?, channel_id, testiddsx FROM param2channel "
                              "WHERE analyzer_id = ?",
                              {in.id, in.kind->templateId})
                        .ok());
            if (in.kind->filed == Filed::ToLims)
                QVERIFY(
                    setup
                        ->run("INSERT INTO app_protocols_testmap (Analyzer_id, AssignedChannel, TestDef_Id) "
                              "SELECT ?, p, p FROM generate_series(1, 5) p",
                              {in.kind->outId})
                        .ok());
            if (in.kind->type == "MGC")
                QVERIFY(setup
                            ->run("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) "
                                  "SELECT p, ?, p FROM generate_series(1, 5) p",
                                  {in.id})
                            .ok());
            if (!in.kind->ordersHere)
                continue;
            QVERIFY(setup
                        ->run("INSERT INTO sample_base (sample_id, p_id, si_id, cust_id, add3, entry_dat, "
                              "last_change_dat) SELECT CAST(? AS VARCHAR) || n, 1, 'na', '999', 1, "
                              "LOCALTIMESTAMP(0), LOCALTIMESTAMP(0) FROM generate_series(1, ?) n",
                              {in.prefix, in.samples})
                        .ok());
            QVERIFY(setup
                        ->run("INSERT INTO request (sample_id, parameter_id, time_stamp) SELECT CAST(? AS "
                              "VARCHAR) || n, p, LOCALTIMESTAMP(0) FROM generate_series(1, ?) n, "
                              "generate_series(1, 5) p",
                              {in.prefix, in.samples})
                        .ok());
        }
        setup->run("ANALYZE");
        QProcess mgcInit;
        mgcInit.start(QUORLIX_MGC_SIM, {"--db", mgcFile, "--init"});
        QVERIFY(mgcInit.waitForFinished(15000) && mgcInit.exitCode() == 0);
    }

    // Every simulated analyzer starts sending at the same moment, once all processes are up, and
    // every process's clock reaches 14:00 eight seconds later.
    QElapsedTimer clock;
    clock.start();
    const qint64 go = 4000 + qint64(site.size()) * 800;
    const qint64 boundary = go + 8000;
    const QDate siteDay = QDate::currentDate(); // one day for every clock, even across midnight
    qint64 firstCrossing = std::numeric_limits<qint64>::max(), lastCrossing = 0;
    QStringList withControls; // the analyzers with the demonstration's controls
    for (size_t i = 0; i < site.size(); ++i) {
        SiteInstance& in = site[i];
        const SiteKind& kind = *in.kind;
        const QString link = lines.filePath(QString("line%1").arg(i));
        const QString limsLink = lines.filePath(QString("lims%1").arg(i));
        QString ini = PgIniLines(*m_pg, database) + "controlmask=QC????\nshiftlen=8\nfirstshift=06:00\n";
        if (!heartbeat)
            ini += "heartbeat=0\n";
        in.metricsPort = FreeLoopbackPort();
        ini += QString("metrics=127.0.0.1:%1\n").arg(in.metricsPort);
        QStringList switches{"/id=" + in.id, "/type=" + kind.type};
        if (!kind.role.isEmpty()) {
            ini += "com1=" + link + "\n";
            switches << "/com=1";
        }
        if (!kind.outType.isEmpty()) {
            ini += "com2=" + limsLink + "\n";
            switches << "/outtype=" + kind.outType << "/outcom=2"
                     << "/outid=" + kind.outId;
            in.lims = std::make_unique<Simulator>(limsLink, kind.limsScript.arg(seconds + go / 1000 + 60));
            QVERIFY(in.lims->waitForLink());
        }
        if (kind.type == "MGC")
            ini += "mgcdriver=sqlite\nAccessPath=" + mgcFile + "\n";
        if (!in.autoval.isEmpty())
            switches << "/autoval=" + in.autoval;
        in.q = std::make_unique<QuorlixProcess>(ini);
        if (!kind.role.isEmpty()) {
            QStringList options{"--start-delay", QString::number(qMax<qint64>(0, go - clock.elapsed())),
                                "--timeout",     "10000",
                                "--line-rate",   lineRate};
            if (!kind.outType.isEmpty())
                options << "--reply-pause"
                        << "0"; // the LIMS answers, through quorlix, without a pause
            in.analyzer = std::make_unique<Simulator>(link, SiteScript(kind, in.prefix, in.samples), options);
            QVERIFY(in.analyzer->waitForLink());
        }
        const QDateTime crossing(siteDay, QTime(14, 0));
        const qint64 toBoundary = qMax<qint64>(3000, boundary - clock.elapsed());
        firstCrossing = qMin(firstCrossing, clock.elapsed() + toBoundary);
        lastCrossing = qMax(lastCrossing, clock.elapsed() + toBoundary);
        if (!kind.templateId.isEmpty())
            withControls << in.id;
        switches.prepend(crossing.addMSecs(-toBoundary).toString(Qt::ISODate));
        switches.prepend("--clock-start");
        QVERIFY2(in.q->start(switches), qPrintable(in.id + ": " + in.q->output() + in.q->logText()));
    }
    QProcess mgcSim;
    mgcSim.start(QUORLIX_MGC_SIM, {"--db", mgcFile, "--interval", "1000", "--duration",
                                   QString::number(seconds + go / 1000 + 60)});

    // The run: the LIMS orders two samples a second for the MGC240; the sessions waiting for a lock
    // are counted ten times a second.
    auto db = OpenPg(*m_pg, database, "site-check");
    QVERIFY(db);
    // Every analyzer arms its controls at its start, and again at the shift change whichever
    // process writes the shift's row: in between their blocks are emptied, as if every control had
    // passed. (The MGC240 measures its controls during the run, which books them: it is left out.)
    QTRY_COMPARE_WITH_TIMEOUT(UnarmedControls(*db, withControls), QStringList{}, 10000);
    for (const QString& id : std::as_const(withControls))
        QVERIFY(db->run("DELETE FROM control_block WHERE analyzer_id = ?", {id}).ok());
    // A clock started on a whole second may run up to a second ahead.
    QVERIFY2(clock.elapsed() < firstCrossing - 1500,
             "the start-up took too long to tell it from the shift change");
    const qsizetype serverLogBefore = m_pg->serverLog().size();
    QTest::qWait(int(qMax<qint64>(0, go - clock.elapsed())));
    int mgcSamples = 0;
    int looks = 0;
    int looksWaiting = 0;
    int mostWaiting = 0;
    int scrapedMidway = -1;
    for (int tick = 0; clock.elapsed() < go + seconds * 1000; ++tick) {
        if (scrapedMidway < 0 && clock.elapsed() > go + seconds * 500) {
            scrapedMidway = 0;
            for (const SiteInstance& in : site)
                scrapedMidway +=
                    MetricValue(ScrapeMetrics(in.metricsPort),
                                MetricSample("quorlix_frames_received_total", in.id, "analyzer")) >= 0
                        ? 1
                        : 0;
        }
        for (int k = 0; k < 2 && tick % 10 == 0; ++k) {
            const QString id = QString("M-%1").arg(++mgcSamples);
            db->run("INSERT INTO sample_base (sample_id, p_id, si_id, cust_id, add3) VALUES (?, 1, 'na', "
                    "'999', 1)",
                    {id});
            db->run("INSERT INTO request (sample_id, parameter_id) SELECT ?, p FROM generate_series(1, 5) p",
                    {id});
        }
        SqlResult waits = db->run("SELECT COUNT(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock'");
        const int waiting = waits.next() ? waits.value(0).toInt() : 0;
        ++looks;
        looksWaiting += waiting > 0 ? 1 : 0;
        mostWaiting = qMax(mostWaiting, waiting);
        QTest::qWait(100);
    }
    const QString serverLog = m_pg->serverLog().mid(serverLogBefore);
    QTest::qWait(int(qMax<qint64>(0, lastCrossing + 4000 - clock.elapsed()))); // and a Timer1 tick
    QTRY_COMPARE_WITH_TIMEOUT(UnarmedControls(*db, withControls), QStringList{}, 5000);
    Summary(
        QString("site: the controls of %1 analyzers armed at their start and again after the shift change")
            .arg(withControls.size()));

    // The site's status as its operators see it, while every instance runs, on the clock the
    // instances have.
    QuorlixProcess status(PgIniLines(*m_pg, database));
    const QDateTime siteNow = QDateTime(siteDay, QTime(14, 0)).addMSecs(clock.elapsed() - boundary);
    const int statusExit =
        heartbeat ? status.runToEnd({"--clock-start", siteNow.toString(Qt::ISODate), "--status"}) : 0;
    Summary(status.output().trimmed());
    QCOMPARE(statusExit, 0);
    for (const SiteInstance& in : site)
        QVERIFY2(!heartbeat ||
                     QRegularExpression("(^|\\n)" + QRegularExpression::escape(in.id) + " .* online ")
                         .match(status.output())
                         .hasMatch(),
                 qPrintable(in.id));

    // The end: the simulated analyzers stop (a frame in flight goes unanswered) and each process's
    // metrics are read; then the processes stop, and the LIMS simulators with them; the MGC240's
    // process takes what was measured last, then stops too.
    for (SiteInstance& in : site)
        in.peakKb = PeakMemoryKb(in.q->process().processId());
    mgcSim.kill();
    mgcSim.waitForFinished(5000);
    for (SiteInstance& in : site)
        if (in.analyzer)
            in.analyzer->stop();
    QTest::qWait(1500);
    for (SiteInstance& in : site)
        in.metrics = ScrapeMetrics(in.metricsPort);
    for (SiteInstance& in : site)
        if (in.kind->type != "MGC")
            QCOMPARE(in.q->terminate(), 0);
    for (SiteInstance& in : site)
        if (in.lims)
            in.lims->stop();
    for (SiteInstance& in : site) {
        if (in.kind->type != "MGC")
            continue;
        const SimRecord measured = MgcRecord(mgcFile, "M-");
        int expected = 0;
        for (const int items : measured.answered)
            expected += items;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                int rows = 0;
                for (const int n : StoredRows(*db, in, Filed::Requests))
                    rows += n;
                return rows >= expected;
            }(),
            20000);
        QCOMPARE(in.q->terminate(), 0);
    }

    int frames = 0;
    int inquiries = 0;
    qint64 countedRequests = 0; // by the instances' metrics
    QList<qint64> allMicros;
    qint64 minPeak = std::numeric_limits<qint64>::max(), maxPeak = 0;
    QHash<QString, QList<QPair<int, QString>>> framesOfKind; // the analyzers' frames by kind
    for (const SiteInstance& in : site) {
        const SiteKind& kind = *in.kind;
        minPeak = qMin(minPeak, in.peakKb);
        maxPeak = qMax(maxPeak, in.peakKb);
        const QString memory = QString("peak memory %1 MB, spool %2")
                                   .arg(double(in.peakKb) / 1024, 0, 'f', 1)
                                   .arg(SpoolBacklog(in.q->folder() + "/logs/spool"));
        QCOMPARE(SpoolBacklog(in.q->folder() + "/logs/spool"), 0);
        if (kind.filed == Filed::ToLims) {
            // It validates every finished order of the database and sends the results to the LIMS.
            const int sent = int(in.q->logText().count("  H->L{STX}:A"));
            SqlResult waiting = db->run("SELECT COUNT(DISTINCT sample_id) FROM MGC_Result");
            Summary(QString("site %1: %2 result frames to the LIMS, %3 per second, %4 samples waiting, %5")
                        .arg(in.id)
                        .arg(sent)
                        .arg(double(sent) / seconds, 0, 'f', 1)
                        .arg(waiting.next() ? waiting.value(0).toInt() : -1)
                        .arg(memory));
            QVERIFY2(sent > 0, qPrintable(in.id + "\n" + in.q->logText().right(3000)));
            continue;
        }
        const SimRecord record =
            kind.type == "MGC" ? MgcRecord(mgcFile, "M-") : ReadSimRecord(in.analyzer->recordFile());
        Tally t = Compare(record, kind.filed == Filed::Nothing ? QHash<QString, int>{}
                                                               : StoredRows(*db, in, kind.filed));
        QString filed;
        if (kind.filed == Filed::Nothing) {
            t.stored = t.lost = 0; // acknowledged and logged; without the sample-ID window nothing is filed
            filed = "nothing filed without the sample-ID window, ";
        }
        if (kind.filed == Filed::RawResults) {
            // Beside the raw copies: each result in request or, validated, in results, once.
            const Tally validated = Compare(record, StoredRows(*db, in, Filed::Requests));
            filed = QString("validated or waiting %1, ").arg(validated.stored);
            t.lost += validated.lost;
            t.doubled += validated.doubled;
            t.wrong += validated.wrong;
        }
        const int answered = t.answered + int(record.inquiryMicros.size());
        // Its metrics count what its simulator saw: an order request answered as the simulator
        // stopped may be missing from the simulator's record.
        const double requests = MetricValue(in.metrics, MetricSample("quorlix_order_requests_total", in.id));
        countedRequests += qint64(requests);
        QVERIFY2(
            requests >= record.inquiryMicros.size() && requests <= record.inquiryMicros.size() + 1,
            qPrintable(QString("%1: %2 order requests in its metrics, %3 answered in its simulator's record")
                           .arg(in.id)
                           .arg(requests)
                           .arg(record.inquiryMicros.size())));
        frames += answered;
        framesOfKind[kind.label] << qMakePair(answered, in.id);
        inquiries += int(record.inquiryMicros.size());
        allMicros += record.inquiryMicros;
        QString extra = filed + QString("%1 %2 per second")
                                    .arg(double(answered) / seconds, 0, 'f', 1)
                                    .arg(kind.type == "MGC" ? "samples" : "frames");
        if (!record.inquiryMicros.isEmpty())
            extra += QString(", %1 inquiries, p99 %2 (median %3)")
                         .arg(record.inquiryMicros.size())
                         .arg(Milliseconds(Percentile(record.inquiryMicros, 99)),
                              Milliseconds(Percentile(record.inquiryMicros, 50)));
        Summary(t.line("site " + in.id, extra + ", " + memory));
        QVERIFY2(t.answered > 0, qPrintable(in.id + "\n" + in.q->logText().right(3000)));
        QVERIFY2(t.lost == 0 && t.doubled == 0, qPrintable(t.wrong.join("; ")));
    }
    // Analyzers of one kind run the same script on equal lines: one far behind the others has
    // stalled, even if nothing it sent was lost.
    for (auto kind = framesOfKind.cbegin(); kind != framesOfKind.cend(); ++kind) {
        const auto [fewest, most] = std::minmax_element(kind->cbegin(), kind->cend());
        QVERIFY2(fewest->first * 2 >= most->first, qPrintable(QString("%1 answered %2 frames, %3 answered %4")
                                                                  .arg(fewest->second)
                                                                  .arg(fewest->first)
                                                                  .arg(most->second)
                                                                  .arg(most->first)));
    }
    SqlResult shifts = db->run("SELECT COUNT(*) FROM quorlix_log WHERE log_key = 's_change'");
    const int shiftRows = shifts.next() ? shifts.value(0).toInt() : 0;
    SqlResult deadlocks = db->run("SELECT deadlocks FROM pg_stat_database WHERE datname = ?", {database});
    Summary(QString("site of %1 analyzers: %2 frames in %3 s, %4 frames per second, %5 inquiries, p99 %6 "
                    "(median %7), peak memory %8-%9 MB, sessions waiting for a lock in %10 % of looks "
                    "(at most %11 at once), %12 statements over 200 ms, %13 lock waits over 1 s, "
                    "deadlocks %14, %15 s_change rows")
                .arg(site.size())
                .arg(frames)
                .arg(seconds)
                .arg(double(frames) / seconds, 0, 'f', 1)
                .arg(inquiries)
                .arg(Milliseconds(Percentile(allMicros, 99)), Milliseconds(Percentile(allMicros, 50)))
                .arg(double(minPeak) / 1024, 0, 'f', 1)
                .arg(double(maxPeak) / 1024, 0, 'f', 1)
                .arg(100.0 * looksWaiting / qMax(1, looks), 0, 'f', 1)
                .arg(mostWaiting)
                .arg(serverLog.count("duration: "))
                .arg(serverLog.count("still waiting for"))
                .arg(deadlocks.next() ? deadlocks.value(0).toInt() : -1)
                .arg(shiftRows));
    QVERIFY(shiftRows >= 1); // the shift boundary was crossed
    for (const QString& slow : SlowStatements(serverLog, 5))
        Summary("site: statements over 200 ms: " + slow);
    Summary(QString("site metrics: scraped from %1 of %2 instances midway and from all at the end; %3 order "
                    "requests counted by the instances, %4 answered in the simulators' records%5")
                .arg(scrapedMidway)
                .arg(site.size())
                .arg(countedRequests)
                .arg(inquiries)
                .arg(heartbeat ? "" : "; status rows off"));
    QCOMPARE(scrapedMidway, int(site.size()));
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
