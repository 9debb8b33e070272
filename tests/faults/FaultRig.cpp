#include "FaultRig.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

#include <algorithm>
#include <cmath>

#include <unistd.h>

namespace Quorlix::Test {

namespace {

const QString PgBin = QStringLiteral("/usr/lib/postgresql/15/bin/");

int FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

bool Run(const QString& program, const QStringList& arguments, QString* output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    const bool ok = p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    *output = QString::fromLocal8Bit(p.readAll());
    return ok;
}

} // namespace

PgCluster::PgCluster() : m_port(FreePort())
{
    QString out;
    Run("chown", {"postgres", m_dir.path()}, &out);
    m_ok = Run("runuser",
               {"-u", "postgres", "--", PgBin + "initdb", "-D", m_dir.filePath("data"), "-U", "postgres",
                "-A", "trust", "-E", "UTF8", "--locale=C.UTF-8", "--no-sync"},
               &out);
    if (!m_ok)
        m_error = out;
    m_ok = m_ok && start();
}

PgCluster::~PgCluster()
{
    pgctl({"-m", "immediate", "stop"});
}

bool PgCluster::pgctl(const QStringList& arguments)
{
    QString out;
    const bool ok = Run("runuser",
                        QStringList{"-u", "postgres", "--", PgBin + "pg_ctl", "-D", m_dir.filePath("data"),
                                    "-l", m_dir.filePath("server.log"), "-w", "-t", "30"} +
                            arguments,
                        &out);
    if (!ok)
        m_error = out;
    return ok;
}

bool PgCluster::start()
{
    return pgctl({"-o",
                  // Statements slower than 200 ms and lock waits over a second go into the server's log.
                  QString("-c listen_addresses=127.0.0.1 -p %1 -k %2 -c fsync=off -c max_connections=200 "
                          "-c log_min_duration_statement=200 -c log_lock_waits=on")
                      .arg(m_port)
                      .arg(m_dir.path()),
                  "start"});
}

QString PgCluster::serverLog() const
{
    QFile log(m_dir.filePath("server.log"));
    log.open(QIODevice::ReadOnly);
    return QString::fromUtf8(log.readAll());
}

bool PgCluster::stop()
{
    return pgctl({"-m", "fast", "stop"});
}

QString PgCluster::createDatabase(const QString& name)
{
    auto admin = OpenPg(*this, "postgres", "admin-" + name);
    if (!admin)
        return {};
    admin->run(QString("CREATE DATABASE %1").arg(name));
    return name;
}

QString PgIniLines(const PgCluster& cluster, const QString& database)
{
    return QString("dbdriver=postgresql\nserver=127.0.0.1:%1\ndatabase=%2\ndbuser=postgres\n")
        .arg(cluster.port())
        .arg(database);
}

std::unique_ptr<Database> OpenPg(const PgCluster& cluster, const QString& database, const QString& connection)
{
    auto db = std::make_unique<Database>(connection);
    DatabaseTarget t;
    t.qtDriver = "QPSQL";
    t.host = "127.0.0.1";
    t.port = cluster.port();
    t.user = "postgres";
    t.databaseName = database;
    t.dialect = SqlDialect(SqlDialect::PostgreSQL);
    t.description = "fault-suite database " + database;
    if (!db->open(t).isEmpty())
        return nullptr;
    return db;
}

QString Tally::line(const QString& name, const QString& extra) const
{
    return QString("%1: sent %2, answered %3, stored %4, lost %5, doubled %6%7")
        .arg(name)
        .arg(sent)
        .arg(answered)
        .arg(stored)
        .arg(lost)
        .arg(doubled)
        .arg(extra.isEmpty() ? QString() : ", " + extra);
}

SimRecord ReadSimRecord(const QString& file)
{
    SimRecord record;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return record;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QStringList parts = QString::fromLatin1(raw).split(' ');
        if (parts.size() != 3)
            continue;
        if (parts.at(0) == "answered") {
            ++record.answeredFrames;
            record.answered.insert(parts.at(1), parts.at(2).toInt());
        } else if (parts.at(0) == "unanswered") {
            ++record.unansweredFrames;
            record.unanswered.insert(parts.at(1), parts.at(2).toInt());
        } else if (parts.at(0) == "inquiry") {
            record.inquiryMicros << parts.at(2).toLongLong();
        }
    }
    return record;
}

Tally Compare(const SimRecord& record, const QHash<QString, int>& rows)
{
    Tally t;
    t.sent = record.answeredFrames + record.unansweredFrames;
    t.answered = record.answeredFrames;
    for (auto it = record.answered.cbegin(); it != record.answered.cend(); ++it) {
        const int have = rows.value(it.key());
        if (have == it.value())
            ++t.stored;
        else if (have < it.value())
            ++t.lost;
        else
            ++t.doubled;
        if (have != it.value() && t.wrong.size() < 10)
            t.wrong << QString("%1: %2 results, %3 stored").arg(it.key()).arg(it.value()).arg(have);
    }
    // A frame that got no answer may have been stored all the same, but only once.
    for (auto it = record.unanswered.cbegin(); it != record.unanswered.cend(); ++it)
        if (!record.answered.contains(it.key()) && rows.value(it.key()) > it.value())
            ++t.doubled;
    return t;
}

qint64 Percentile(QList<qint64> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = qsizetype(std::ceil(p / 100.0 * double(values.size())));
    return values.at(std::clamp<qsizetype>(rank - 1, 0, values.size() - 1));
}

Tally Count(const QString& recordFile, Database& db, const QString& analyzerId)
{
    QHash<QString, int> rows;
    SqlResult r = db.run(
        "SELECT sample_id, COUNT(*) FROM Raw_Results WHERE analyzer_id = ? GROUP BY sample_id", {analyzerId});
    while (r.next())
        rows.insert(r.value(0).toString(), r.value(1).toInt());
    return Compare(ReadSimRecord(recordFile), rows);
}

qint64 PeakMemoryKb(qint64 pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    static const QRegularExpression hwm("VmHWM:\\s+(\\d+)");
    const auto match = hwm.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

int SpoolBacklog(const QString& folder)
{
    return int(QDir(folder).entryList({"*.json"}, QDir::Files).size());
}

Simulator::Simulator(const QString& link, const QString& script, const QStringList& options) : m_link(link)
{
    QFile file(m_dir.filePath("script.sim"));
    file.open(QIODevice::WriteOnly);
    file.write(script.toLatin1());
    file.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A session of its own (so a scheduling group of its own): an analyzer is a machine of its own.
    m_process.setChildProcessModifier([] { ::setsid(); });
    QObject::connect(&m_process, &QProcess::readyRead,
                     [this] { m_output += QString::fromLocal8Bit(m_process.readAll()); });
    m_process.start(QUORLIX_SIM, QStringList{"--quiet", "--record", recordFile()} + options +
                                     QStringList{"--pty", link, m_dir.filePath("script.sim")});
}

Simulator::~Simulator()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool Simulator::waitForLink(int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    while (!QFileInfo::exists(m_link) && !deadline.hasExpired())
        QTest::qWait(20);
    return QFileInfo::exists(m_link);
}

bool Simulator::finish(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(50);
    return m_process.state() == QProcess::NotRunning;
}

void Simulator::stop()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

QString Simulator::output()
{
    return m_output;
}

int Simulator::recorded() const
{
    QFile file(recordFile());
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return int(file.readAll().count('\n'));
}

} // namespace Quorlix::Test
