// One cell of the fault matrix: a fresh database, the kind's quorlix with its simulators, the fault
// struck at its moment, then the count of what was sent against what was stored.

#include "FaultMatrix.h"
#include "MatrixScripts.h"
#include "core/Stamps.h"
#include "support/QuorlixProcess.h"

#include <QDateTime>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <vector>

namespace Quorlix::Test {

namespace {

constexpr int StartDelayMs = 2000; // the simulators wait this long for their quorlix, per instance
constexpr int CellLimitMs = 300000;

int Sequence()
{
    static int n = 0;
    return ++n;
}

// How often each id appears in lines "WHAT ID COUNT" of a simulator's record, and the counts.
QHash<QString, int> RecordLines(const QString& file, const QString& what, bool sumCounts)
{
    QHash<QString, int> lines;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return lines;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QStringList parts = QString::fromLatin1(raw).split(' ');
        if (parts.size() == 3 && parts.at(0) == what)
            lines[parts.at(1)] += sumCounts ? parts.at(2).toInt() : 1;
    }
    return lines;
}

// The results per sample in the MGC online frames a LIMS heard: ":A" and nine characters, the id in
// 13, 21 characters, the count in 2.
QHash<QString, int> OnlineFrames(const QString& file)
{
    QHash<QString, int> results;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return results;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QStringList parts = QString::fromLatin1(raw).split(' ');
        if (parts.size() != 3 || parts.at(0) != "frame" || !parts.at(1).startsWith(":A"))
            continue;
        const QString text = QString(parts.at(1)).replace('_', ' ');
        results[text.mid(11, 13).trimmed()] += text.mid(45, 2).trimmed().toInt();
    }
    return results;
}

// Monitor lines that came more than once in a stretch of the log: in a steady state, a line written
// on every tick. Numbers are masked, so that counters and file names do not hide a repetition.
QStringList Repeated(const QString& logTail)
{
    static const QRegularExpression digits("\\d+");
    QHash<QString, int> seen;
    QStringList repeated;
    for (const QString& line : logTail.split('\n')) {
        const qsizetype at = line.indexOf("Monitor: ");
        if (at < 0)
            continue;
        const QString masked = line.mid(at).replace(digits, "#");
        if (++seen[masked] == 2)
            repeated << line.mid(at).left(160);
    }
    return repeated;
}

// The records set aside in the spool's subfolders.
QStringList QuarantinedFiles(const QString& spool)
{
    QStringList files;
    QDirIterator it(spool, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (QFileInfo(file).absolutePath() != QFileInfo(spool).absoluteFilePath())
            files << file;
    }
    return files;
}

// One quorlix of a cell and its simulators.
struct Instance
{
    QString id;
    QString prefix; // of its sample ids
    QString ini;
    QStringList switches;
    std::unique_ptr<QuorlixProcess> q;
    std::unique_ptr<Simulator> analyzer;
    std::unique_ptr<Simulator> lims;

    QString spool() const { return q->folder() + "/logs/spool"; }
    bool analyzerDone() { return !analyzer || analyzer->output().contains("sim: sent "); }
};

class CellRun
{
public:
    CellRun(PgCluster& pg, const MatrixCell& cell, const MatrixSize& size)
        : m_pg(pg), m_cell(cell), m_kind(*MatrixKind(cell.kind)), m_size(size)
    {
    }
    CellOutcome run();

private:
    bool sqlite() const { return m_cell.fault == Fault::OrderBetweenQueries; }
    bool exec(const QString& sql, const QVariantList& values = {});
    int count(const QString& sql, const QVariantList& values = {});
    QString prepare();
    void setUpRows(const Instance& in);
    QString start(Instance& in);
    QString firstInstanceOfTheDay();
    void drive();
    void strike(Instance& in);
    void fileBetween(const Instance& in);
    void insertFinished(int from, int to);
    void stopServer();
    void startServer();
    int activity();
    QList<qsizetype> settle();
    void tally(Instance& in, CellOutcome& out);
    int limsSeconds() const { return 30 + 6 * m_size.samples; }
    // Two instances allocating ids need many allocations to meet.
    int samples() const { return m_cell.fault == Fault::TwoInstances ? 10 * m_size.samples : m_size.samples; }

    PgCluster& m_pg;
    const MatrixCell& m_cell;
    const SiteKind& m_kind;
    MatrixSize m_size;
    QTemporaryDir m_dir;
    QString m_database;
    QString m_dbIni;
    std::unique_ptr<Database> m_db;
    std::vector<Instance> m_instances;
    QProcess m_mgcSim;
    QString m_mgcOutput;
    QString m_mgcFile;
    int m_finished = 0; // MGC online: finished samples filed so far
    bool m_serverDown = false;
    QElapsedTimer m_downFor;
    QElapsedTimer m_started; // since the first instance began to start
    QStringList m_problems;
};

bool CellRun::exec(const QString& sql, const QVariantList& values)
{
    if (!m_db)
        return false;
    SqlResult r = m_db->run(sql, values);
    if (!r.ok())
        m_problems << "setup: " + r.error().left(200);
    return r.ok();
}

int CellRun::count(const QString& sql, const QVariantList& values)
{
    if (!m_db)
        return -1;
    SqlResult r = m_db->run(sql, values);
    return r.next() ? r.value(0).toInt() : -1;
}

QString CellRun::prepare()
{
    const int n = Sequence();
    if (sqlite()) {
        m_database = m_dir.filePath("lab.db");
        m_dbIni = "database=" + m_database + "\n";
    } else {
        m_database = m_pg.createDatabase(QString("matrix%1").arg(n));
        m_dbIni = PgIniLines(m_pg, m_database);
    }
    QuorlixProcess init(m_dbIni);
    if (init.runToEnd({"--init-db", "--demo-data"}) != 0)
        return "--init-db failed: " + init.output();
    if (sqlite()) {
        m_db = std::make_unique<Database>(QString("matrix-check%1").arg(n));
        DatabaseTarget t;
        t.qtDriver = "QSQLITE";
        t.databaseName = m_database;
        t.dialect = SqlDialect(SqlDialect::SQLite);
        if (const QString error = m_db->open(t); !error.isEmpty())
            return error;
    } else {
        m_db = OpenPg(m_pg, m_database, QString("matrix-check%1").arg(n));
        if (!m_db)
            return "cannot open " + m_database;
    }

    const int instances = m_cell.fault == Fault::TwoInstances ? 2 : 1;
    for (int i = 0; i < instances; ++i) {
        Instance in;
        const QString base = !m_kind.templateId.isEmpty() ? m_kind.templateId
                             : m_kind.type == "ACT"       ? QString("ACT1")
                                                          : m_kind.label + "1";
        in.id = i == 0 ? base : base + "-2";
        in.prefix = QString("S%1-").arg(i + 1);
        if (i > 0)
            exec("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) "
                 "SELECT parameter_id, ?, channel_id, testiddsx FROM param2channel WHERE analyzer_id = ?",
                 {in.id, base});
        setUpRows(in);
        m_instances.push_back(std::move(in));
    }
    if (m_cell.fault == Fault::TriggerRefuses) {
        exec("CREATE TABLE matrix_refused (sample_id VARCHAR(50))");
        for (const Instance& in : m_instances)
            exec("INSERT INTO matrix_refused (sample_id) VALUES (?)", {RefusedSample(in.prefix)});
        // The laboratory's own rule: this sample's results are refused (a data error, SQLSTATE 23514).
        exec("CREATE FUNCTION matrix_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ "
             "DECLARE id TEXT := NEW.sample_id; BEGIN "
             "IF TG_TABLE_NAME = 'request' THEN IF NEW.result IS NULL THEN RETURN NEW; END IF; END IF; "
             "IF TG_TABLE_NAME = 'sample_base' THEN id := NEW.status_1; END IF; "
             "IF EXISTS (SELECT 1 FROM matrix_refused WHERE sample_id = id) THEN "
             "RAISE EXCEPTION 'the laboratory refuses the results of sample %', id USING ERRCODE = "
             "'check_violation'; END IF; RETURN NEW; END $$");
        for (const QString table : {"Raw_Results", "request", "sample_base"})
            exec(QString("CREATE TRIGGER matrix_refuse BEFORE INSERT OR UPDATE ON %1 FOR EACH ROW EXECUTE "
                         "FUNCTION matrix_refuse()")
                     .arg(table));
    }
    if (m_kind.type == "MGC") {
        m_mgcFile = m_dir.filePath("mgc240.db");
        QProcess init;
        init.start(QUORLIX_MGC_SIM, {"--db", m_mgcFile, "--init"});
        if (!init.waitForFinished(15000) || init.exitCode() != 0)
            return "quorlix-mgc-sim --init failed";
    }
    if (m_kind.type == "MGC_ONLINE")
        insertFinished(1, m_size.samples);
    return m_problems.isEmpty() ? QString() : m_problems.join("; ");
}

void CellRun::setUpRows(const Instance& in)
{
    const QVariant now = m_db->stamp(SqlStamp(QDateTime::currentDateTime()));
    if (m_kind.type == "MGC")
        for (int p = 1; p <= 5; ++p)
            exec("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (?, ?, ?)",
                 {p, in.id, p});
    if (m_kind.type == "MGC_ONLINE")
        for (int p = 1; p <= 5; ++p)
            exec("INSERT INTO app_protocols_testmap (Analyzer_id, AssignedChannel, TestDef_Id) "
                 "VALUES (?, ?, ?)",
                 {m_kind.outId, p, p});
    if (m_kind.role.startsWith("au") && in.id != "AU400")
        exec("INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, c5, c6) SELECT ?, "
             "param_id, stdcount, c1, c2, c3, c4, c5, c6 FROM calib_base WHERE analyzer_id = 'AU400'",
             {in.id});
    // The orders, as the LIMS would have placed them (the MGC240 takes those without a time).
    const bool orders = m_kind.ordersHere || m_kind.type == "MGC";
    QStringList samples;
    for (int n = 1; orders && n <= m_size.samples; ++n)
        samples << in.prefix + QString::number(n);
    if (m_cell.fault == Fault::OrderBetweenQueries) {
        samples << QueriedSample(in.prefix);
        exec("INSERT INTO control_results (control_id, parameter_id, analyzer_id) VALUES ('QC0001', 1, ?)",
             {in.id});
    }
    for (const QString& id : std::as_const(samples)) {
        exec("INSERT INTO sample_base (sample_id, p_id, si_id, cust_id, add3, entry_dat, last_change_dat) "
             "VALUES (?, 1, 'na', '999', 1, ?, ?)",
             {id, now, now});
        const int tests = id == QueriedSample(in.prefix) ? 1 : 5;
        for (int p = 1; p <= tests; ++p)
            exec("INSERT INTO request (sample_id, parameter_id, time_stamp) VALUES (?, ?, ?)",
                 {id, p, m_kind.type == "MGC" ? QVariant() : now});
    }
}

// MGC online: finished orders of samples F-from ... F-to, as another analyzer's instance leaves them.
void CellRun::insertFinished(int from, int to)
{
    const QVariant now = m_db->stamp(SqlStamp(QDateTime::currentDateTime()));
    const QStringList values{"95.2", "0.91", "30", "22", "32"};
    for (int n = from; n <= to; ++n) {
        const QString id = QString("F-%1").arg(n);
        exec("INSERT INTO sample_base (sample_id, p_id, si_id, cust_id, add3, entry_dat, last_change_dat) "
             "VALUES (?, 1, 'na', '999', 1, ?, ?)",
             {id, now, now});
        for (int p = 1; p <= 5; ++p)
            exec("INSERT INTO request (sample_id, parameter_id, result, analyzer_id, time_stamp) "
                 "VALUES (?, ?, ?, 'OTHER', ?)",
                 {id, p, values.at(p - 1).toDouble(), now});
    }
    m_finished = to;
}

QString CellRun::start(Instance& in)
{
    const SiteKind& kind = m_kind;
    const QString link = m_dir.filePath(in.id + "-line");
    const QString limsLink = m_dir.filePath(in.id + "-lims");
    in.ini = m_dbIni + "controlmask=QC????\n";
    in.switches = QStringList{"/id=" + in.id, "/type=" + kind.type};
    const CellScripts scripts = ScriptsFor(kind, m_cell.fault, in.prefix, samples(), limsSeconds());
    if (!kind.role.isEmpty()) {
        in.ini += "com1=" + link + "\n";
        in.switches << "/com=1";
    }
    if (!kind.outType.isEmpty()) {
        in.ini += "com2=" + limsLink + "\n";
        in.switches << "/outtype=" + kind.outType << "/outcom=2"
                    << "/outid=" + kind.outId;
        in.lims =
            std::make_unique<Simulator>(limsLink, scripts.lims, QStringList{"--hold", "--timeout", "10000"});
        if (!in.lims->waitForLink())
            return "the LIMS simulator did not start: " + in.lims->output();
    }
    if (kind.type == "MGC")
        in.ini += "mgcdriver=sqlite\nAccessPath=" + m_mgcFile + "\n";
    if (m_cell.fault == Fault::TwoInstances)
        in.ini += "au600pause=0\n"; // as fast as the line goes: the allocations meet
    in.switches << (kind.type == "MGC_ONLINE" ? "/autoval=1" : "/autoval=2");
    in.q = std::make_unique<QuorlixProcess>(in.ini);
    // Every analyzer of the cell begins at the same moment, once all its instances are up.
    if (!m_started.isValid())
        m_started.start();
    const qint64 startDelay =
        qMax<qint64>(500, StartDelayMs * qint64(m_instances.size()) - m_started.elapsed());
    if (!scripts.analyzer.isEmpty()) {
        in.analyzer =
            std::make_unique<Simulator>(link, scripts.analyzer,
                                        QStringList{"--hold", "--start-delay", QString::number(startDelay),
                                                    "--timeout", "5000", "--retry", "5"});
        if (!in.analyzer->waitForLink())
            return "the analyzer simulator did not start: " + in.analyzer->output();
    }
    if (!in.q->start(in.switches))
        return "quorlix did not start: " + in.q->output() + in.q->logText().right(1000);
    return {};
}

// Another instance (a manual input station needs no line) starts first on the fresh database and
// writes the day's and the shift's rows.
QString CellRun::firstInstanceOfTheDay()
{
    QuorlixProcess first(m_dbIni);
    if (!first.start({"/id=FIRST", "/type=INPUT", "/test=1"}))
        return "the first instance did not start: " + first.output();
    QTest::qWait(1500);
    first.terminate();
    if (count("SELECT COUNT(*) FROM quorlix_log WHERE log_key = 'd_change'") < 1)
        return "the first instance wrote no d_change row";
    return {};
}

void CellRun::stopServer()
{
    if (m_serverDown)
        return;
    m_db.reset();
    if (!m_pg.stop())
        m_problems << "the server did not stop: " + m_pg.error();
    m_serverDown = true;
    m_downFor.start();
}

void CellRun::startServer()
{
    if (!m_serverDown)
        return;
    if (!m_pg.start())
        m_problems << "the server did not start again: " + m_pg.error();
    m_serverDown = false;
    m_db = OpenPg(m_pg, m_database, QString("matrix-check%1").arg(Sequence()));
}

void CellRun::strike(Instance& in)
{
    if (m_cell.fault == Fault::DatabaseDownMidMessage) {
        stopServer();
    } else if (m_cell.fault == Fault::KillBetweenFrames) {
        in.q->kill();
        if (m_kind.type == "MGC")
            QTest::qWait(3000); // the analyzer measures on meanwhile, its controls too
        if (!in.q->start(in.switches))
            m_problems << "quorlix did not start again after the kill";
    }
}

void CellRun::fileBetween(const Instance& in)
{
    const QVariant now = m_db->stamp(SqlStamp(QDateTime::currentDateTime()));
    exec("INSERT INTO request (sample_id, parameter_id, time_stamp) VALUES (?, 2, ?)",
         {QueriedSample(in.prefix), now});
    exec("INSERT INTO control_results (control_id, parameter_id, analyzer_id) VALUES ('QC0001', 2, ?)",
         {in.id});
}

// Drives the run until the simulators are through, striking the fault at its moment.
void CellRun::drive()
{
    const Fault fault = m_cell.fault;
    if (m_kind.type == "MGC") {
        QObject::connect(&m_mgcSim, &QProcess::readyReadStandardOutput,
                         [this] { m_mgcOutput += QString::fromLatin1(m_mgcSim.readAllStandardOutput()); });
        m_mgcSim.start(QUORLIX_MGC_SIM, {"--db", m_mgcFile, "--interval", "1000", "--duration", "240"});
    }
    if (fault == Fault::DatabaseDownAtStart) {
        // Right after the start-up, which ends writing the day's row on a fresh database (a server
        // gone before that ends the start-up with exit code 3).
        QElapsedTimer startup;
        startup.start();
        while (count("SELECT COUNT(*) FROM quorlix_log WHERE log_key = 'd_change'") < 1 &&
               startup.elapsed() < 10000)
            QTest::qWait(20);
        stopServer();
    }
    QElapsedTimer clock;
    clock.start();
    bool struck = false;
    bool between = false;
    qint64 deafAt = -1;
    while (clock.elapsed() < CellLimitMs) {
        QTest::qWait(100);
        if (m_serverDown && m_downFor.elapsed() >= m_size.outageMs)
            startServer();
        Instance& in = m_instances.front();
        const QString simOutput = in.analyzer ? in.analyzer->output() : QString();
        if (!struck && simOutput.contains("sim: mid-message")) {
            struck = true;
            strike(in);
        }
        if (!between && simOutput.contains("sim: between")) {
            between = true;
            fileBetween(in);
        }
        // The MGC240 and the online tables have no line: the fault strikes once results were taken.
        if (!struck && (m_kind.type == "MGC" || m_kind.type == "MGC_ONLINE") && !m_serverDown &&
            (fault == Fault::DatabaseDownMidMessage || fault == Fault::KillBetweenFrames) &&
            (m_kind.type == "MGC" ? count("SELECT COUNT(*) FROM request WHERE result IS NOT NULL") > 0
                                  : in.q->logText().contains("H->L{STX}:A"))) {
            struck = true;
            strike(in);
            if (m_kind.type == "MGC_ONLINE")
                insertFinished(m_finished + 1, m_finished + m_size.samples);
        }
        if (in.lims && deafAt < 0 && in.lims->output().contains("sim: deaf")) {
            deafAt = clock.elapsed();
            if (m_kind.type == "MGC_ONLINE")
                insertFinished(m_finished + 1, m_finished + m_size.samples);
        }
        if (m_serverDown)
            continue;
        bool done = true;
        for (Instance& each : m_instances)
            done = done && each.analyzerDone();
        const bool lineless = m_kind.type == "MGC" || m_kind.type == "MGC_ONLINE";
        // The MGC240 measures a control only once it was ordered on a tick: a cell about armed controls
        // waits for one measured.
        if (m_kind.type == "MGC")
            done = m_mgcOutput.count("measured S1-") >= m_size.samples &&
                   (fault != Fault::SecondInstanceDayShift || m_mgcOutput.contains("measured QC"));
        if (m_kind.type == "MGC_ONLINE")
            done = OnlineFrames(in.lims->recordFile()).size() >= m_finished ||
                   in.lims->output().contains("sim: sent ");
        if (fault == Fault::LimsStopped && (deafAt < 0 || clock.elapsed() < deafAt + 12000))
            done = false;
        // Without a line the fault strikes once results were taken: it is waited for.
        const bool strikes = fault == Fault::DatabaseDownMidMessage || fault == Fault::KillBetweenFrames;
        if (done && strikes && !struck && lineless)
            continue;
        if (done && strikes && !struck)
            m_problems << "the fault never struck: no \"sim: mid-message\"";
        if (done)
            break;
    }
    if (m_kind.type == "MGC") {
        m_mgcSim.kill();
        m_mgcSim.waitForFinished(5000);
        m_mgcOutput += QString::fromLatin1(m_mgcSim.readAllStandardOutput());
    }
    startServer();
}

// A number that changes while anything is still being filed or reported.
int CellRun::activity()
{
    int sum =
        count("SELECT (SELECT COUNT(*) FROM Raw_Results) + (SELECT COUNT(*) FROM results) + (SELECT COUNT(*) "
              "FROM control_results) + (SELECT COUNT(*) FROM calibrations) + (SELECT COUNT(*) FROM request "
              "WHERE result IS NOT NULL) + (SELECT COUNT(*) FROM req2send)");
    for (Instance& in : m_instances) {
        sum += SpoolBacklog(in.spool()) * 100000;
        if (in.lims)
            sum += int(QFileInfo(in.lims->recordFile()).size());
    }
    return sum;
}

// Waits until nothing has changed for the idle time (long enough for two ticks of every timer the
// kind runs) and the spool is empty: the rows filed, the LIMS served. A spool that is not replayed
// within the longest wait between reconnects is given up on. Returns the size of each instance's
// log when the quiet began.
QList<qsizetype> CellRun::settle()
{
    const bool fiveSecondTicks = m_kind.type == "MGC" || m_kind.outType == "invH912";
    const qint64 idleMs = fiveSecondTicks ? m_size.idleMs * 3 / 2 : m_size.idleMs;
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer quiet;
    quiet.start();
    int last = -1;
    QList<qsizetype> logSizes;
    while (clock.elapsed() < 180000) {
        const int now = activity();
        int spooled = 0;
        for (const Instance& in : m_instances)
            spooled += SpoolBacklog(in.spool());
        if (now != last || logSizes.isEmpty()) {
            last = now;
            quiet.restart();
            logSizes.clear();
            for (Instance& in : m_instances)
                logSizes << in.q->logText().size();
        } else if (quiet.elapsed() >= idleMs && (spooled == 0 || quiet.elapsed() >= 70000)) {
            break;
        }
        QTest::qWait(500);
    }
    return logSizes;
}

CellOutcome CellRun::run()
{
    CellOutcome out;
    QString error = prepare();
    if (error.isEmpty() && m_cell.fault == Fault::SecondInstanceDayShift)
        error = firstInstanceOfTheDay();
    for (Instance& in : m_instances)
        if (error.isEmpty())
            error = start(in);
    if (!error.isEmpty()) {
        out.problems << error;
        out.line = "matrix " + m_cell.name() + ": not run: " + error.left(300);
        return out;
    }
    drive();
    // The steady state: nothing arrives, nothing is waiting; a line written now is written on a tick.
    const QList<qsizetype> logSizes = settle();
    for (size_t i = 0; i < m_instances.size(); ++i)
        out.repeated += Repeated(m_instances[i].q->logText().mid(logSizes.at(int(i))));
    if (sqlite()) {
        // Nothing left active: another program can checkpoint the whole WAL.
        SqlResult r = m_db->run("PRAGMA wal_checkpoint(TRUNCATE)");
        if (!r.next() || r.value(0).toInt() != 0)
            m_problems << "the WAL cannot be checkpointed while quorlix runs (a statement was left active)";
    }
    for (Instance& in : m_instances) {
        if (in.q->process().state() != QProcess::Running)
            m_problems << QString("%1: quorlix ended (exit status %2, code %3): %4 %5")
                              .arg(in.id)
                              .arg(in.q->process().exitStatus())
                              .arg(in.q->process().exitCode())
                              .arg(in.q->output().right(300), in.q->logText().right(600));
        in.q->terminate();
        tally(in, out);
        if (in.analyzer)
            in.analyzer->stop();
        if (in.lims)
            in.lims->stop();
    }
    if (m_cell.fault == Fault::TwoInstances) {
        const int merged = count("SELECT COUNT(*) FROM (SELECT sample_id FROM Raw_Results GROUP BY sample_id "
                                 "HAVING COUNT(DISTINCT analyzer_id) > 1) shared");
        if (merged != 0)
            m_problems << QString("%1 sample ids given to both instances (their samples merged)").arg(merged);
    }

    Tally& t = out.tally;
    if (t.lost > 0 || t.doubled > 0)
        m_problems << QString("lost %1, doubled %2: %3").arg(t.lost).arg(t.doubled).arg(t.wrong.join("; "));
    if (t.answered == 0 && t.sent == 0)
        m_problems << "nothing was sent";
    if (out.partial > 0)
        m_problems << QString("%1 record(s) stored in part").arg(out.partial);
    if (m_cell.refusesOne && out.quarantined == 0)
        m_problems << "the refused sample is not in the quarantine";
    if (!m_cell.refusesOne && out.quarantined > 0)
        m_problems << QString("quarantined %1, expected none").arg(out.quarantined);
    if (out.spool > 0)
        m_problems << QString("%1 record(s) still in the spool").arg(out.spool);
    if (!out.repeated.isEmpty())
        m_problems << "repeated on every tick: " + out.repeated.join(" | ");
    out.problems = m_problems;
    QString extra = QString("quarantined %1, spool %2").arg(out.quarantined).arg(out.spool);
    if (out.partial > 0)
        extra += QString(", partial %1").arg(out.partial);
    if (out.checksFailed > 0)
        extra += QString(", checks failed %1").arg(out.checksFailed);
    if (!out.repeated.isEmpty())
        extra += QString(", %1 line(s) repeated every tick").arg(out.repeated.size());
    out.line = t.line("matrix " + m_cell.name(), extra);
    return out;
}

// Counts one instance: what its analyzer (or the MGC240, or the tables) sent against what was
// filed, and what its LIMS received.
void CellRun::tally(Instance& in, CellOutcome& out)
{
    SimRecord record;
    QHash<QString, int> aborted;
    if (in.analyzer) {
        record = ReadSimRecord(in.analyzer->recordFile());
        aborted = RecordLines(in.analyzer->recordFile(), "aborted", true);
        const QString output = in.analyzer->output();
        static const QRegularExpression failed("checks failed (\\d+)");
        const int checks = failed.match(output).captured(1).toInt();
        out.checksFailed += checks;
        // A killed process misses answers on purpose; elsewhere every check counts.
        if (checks > 0 && m_cell.fault != Fault::KillBetweenFrames)
            m_problems << "simulator: " +
                              output.mid(output.indexOf("CHECK FAILED")).section('\n', 0, 0).left(300);
    }
    QHash<QString, int> rows;
    const auto add = [&](const QString& sql, const QVariantList& values) {
        SqlResult r = m_db->run(sql, values);
        while (r.next())
            rows[r.value(0).toString().trimmed()] += r.value(1).toInt();
    };
    if (m_kind.filed == Filed::RawResults && m_kind.type == "OAU600" && !m_kind.outType.isEmpty())
        add("SELECT b.status_1, COUNT(*) FROM Raw_Results r INNER JOIN sample_base b ON b.sample_id = "
            "r.sample_id "
            "WHERE r.analyzer_id = ? GROUP BY b.status_1",
            {in.id});
    else if (m_kind.filed == Filed::RawResults)
        add("SELECT sample_id, COUNT(*) FROM Raw_Results WHERE analyzer_id = ? GROUP BY sample_id", {in.id});
    else if (m_kind.filed == Filed::Requests)
        add("SELECT sample_id, COUNT(*) FROM (SELECT sample_id FROM request WHERE analyzer_id = ? AND result "
            "IS NOT "
            "NULL UNION ALL SELECT sample_id FROM results WHERE analyzer_id = ?) filed GROUP BY sample_id",
            {in.id, in.id});
    add("SELECT control_id, COUNT(*) FROM control_results WHERE analyzer_id = ? AND result IS NOT NULL GROUP "
        "BY "
        "control_id",
        {in.id});

    if (m_kind.type == "MGC") {
        // What the MGC240 measured, from its own report: the samples, and every measurement of a control.
        static const QRegularExpression measured("measured (\\S+): ([^\\n]*)");
        int controls = 0;
        for (auto it = measured.globalMatch(m_mgcOutput); it.hasNext();) {
            const auto match = it.next();
            const int items = int(match.captured(2).count(',')) + 1;
            if (match.captured(1).startsWith("QC"))
                controls += items;
            else if (match.captured(1).startsWith(in.prefix))
                record.answered[match.captured(1)] = items;
        }
        record.answeredFrames = int(record.answered.size());
        int storedControls = 0;
        for (auto it = rows.cbegin(); it != rows.cend(); ++it)
            if (it.key().startsWith("QC"))
                storedControls += it.value();
        if (m_cell.fault == Fault::SecondInstanceDayShift && controls == 0)
            m_problems << "no control was ordered: its control blocks were not armed";
        record.answered["controls"] = controls;
        ++record.answeredFrames;
        rows["controls"] = storedControls;
    }
    if (m_kind.type == "MGC_ONLINE") {
        for (int n = 1; n <= m_finished; ++n)
            record.answered[QString("F-%1").arg(n)] = 5;
        record.answeredFrames = m_finished;
        rows = OnlineFrames(in.lims->recordFile());
    }
    if (m_kind.role.startsWith("au") && m_cell.fault != Fault::TwoInstances) {
        // Two calibrations of two standards each: one row each, with both standards.
        for (const int parameter : {1, 3})
            record.answered[QString("calibration%1").arg(parameter)] = 2;
        record.answeredFrames += 2;
        SqlResult r =
            m_db->run("SELECT parameter_id, std_count FROM calibrations WHERE analyzer_id = ?", {in.id});
        while (r.next()) {
            rows[QString("calibration%1").arg(r.value(0).toInt())] += r.value(1).toInt();
            if (r.value(1).toInt() < 2)
                ++out.partial;
        }
    }
    if (m_cell.fault == Fault::TriggerRefuses) {
        const QString refused = RefusedSample(in.prefix);
        if (rows.value(refused) > 0)
            m_problems << refused + ": stored although the database refuses it";
        record.answered.remove(refused);
        record.unanswered.remove(refused);
        rows.remove(refused);
    }
    if (m_kind.filed == Filed::Nothing)
        rows.clear();
    Tally t = Compare(record, rows);
    t.sent += int(aborted.size()); // given up by the analyzer: sent, never answered
    if (m_kind.filed == Filed::Nothing)
        t.stored = t.lost = 0; // acknowledged and logged only: nothing to file without the window
    // Stored in part: a message or a frame of which some results are missing, or one the analyzer
    // gave up (it is not delivered).
    for (auto it = record.answered.cbegin(); it != record.answered.cend(); ++it)
        if (m_kind.filed != Filed::Nothing && rows.value(it.key()) > 0 && rows.value(it.key()) < it.value())
            ++out.partial;
    for (auto it = aborted.cbegin(); it != aborted.cend(); ++it)
        if (rows.value(it.key()) > 0)
            ++out.partial;

    if (in.lims && m_kind.outType == "invH912") {
        // Every finished sample reaches the LIMS once.
        const QHash<QString, int> heard = RecordLines(in.lims->recordFile(), "results", false);
        for (auto it = record.answered.cbegin(); it != record.answered.cend(); ++it) {
            if (it.key().startsWith("QC"))
                continue;
            const int n = heard.value(it.key());
            t.lost += n == 0 ? 1 : 0;
            t.doubled += n > 1 ? 1 : 0;
            if (n != 1 && t.wrong.size() < 10)
                t.wrong << QString("%1: %2 results frames to the LIMS").arg(it.key()).arg(n);
        }
    }
    if (in.lims && m_kind.outType.startsWith("invOAU")) {
        // The control goes to the LIMS once as "DQ".
        const int relayed = RecordLines(in.lims->recordFile(), "relayed-DQ", false).value("QC0001");
        if (record.answered.contains("QC0001") && relayed != 1) {
            t.lost += relayed == 0 ? 1 : 0;
            t.doubled += relayed > 1 ? 1 : 0;
            t.wrong << QString("QC0001: relayed to the LIMS %1 times").arg(relayed);
        }
    }
    Tally& sum = out.tally;
    sum.sent += t.sent;
    sum.answered += t.answered;
    sum.stored += t.stored;
    sum.lost += t.lost;
    sum.doubled += t.doubled;
    sum.wrong += t.wrong;
    const QStringList quarantined = QuarantinedFiles(in.spool());
    out.quarantined += int(quarantined.size());
    // The quarantine holds the refused sample's record(s) and nothing else.
    for (const QString& file : quarantined) {
        QFile f(file);
        if (m_cell.refusesOne && f.open(QIODevice::ReadOnly) &&
            !f.readAll().contains(RefusedSample(in.prefix).toLatin1()))
            m_problems << "in the quarantine, not the refused sample: " + QFileInfo(file).fileName();
    }
    out.spool += SpoolBacklog(in.spool());
}

} // namespace

CellOutcome RunCell(PgCluster& pg, const MatrixCell& cell, const MatrixSize& size)
{
    CellRun run(pg, cell, size);
    return run.run();
}

} // namespace Quorlix::Test
