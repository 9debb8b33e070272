#include "FaultRig.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

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
                  QString("-c listen_addresses=127.0.0.1 -p %1 -k %2 -c fsync=off -c max_connections=100")
                      .arg(m_port)
                      .arg(m_dir.path()),
                  "start"});
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

Tally Count(const QString& recordFile, Database& db, const QString& analyzerId)
{
    QHash<QString, int> rows;
    SqlResult r = db.run(
        "SELECT sample_id, COUNT(*) FROM Raw_Results WHERE analyzer_id = ? GROUP BY sample_id", {analyzerId});
    while (r.next())
        rows.insert(r.value(0).toString(), r.value(1).toInt());

    Tally t;
    QFile file(recordFile);
    file.open(QIODevice::ReadOnly);
    QHash<QString, int> expected;
    QHash<QString, int> unanswered;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QStringList parts = QString::fromLatin1(raw).split(' ');
        if (parts.size() != 3)
            continue;
        ++t.sent;
        if (parts.at(0) == "answered") {
            ++t.answered;
            expected.insert(parts.at(1), parts.at(2).toInt());
        } else {
            unanswered.insert(parts.at(1), parts.at(2).toInt());
        }
    }
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const int have = rows.value(it.key());
        if (have == it.value())
            ++t.stored;
        else if (have < it.value())
            ++t.lost;
        else
            ++t.doubled;
    }
    // A frame that got no answer may have been stored all the same, but only once.
    for (auto it = unanswered.cbegin(); it != unanswered.cend(); ++it)
        if (!expected.contains(it.key()) && rows.value(it.key()) > it.value())
            ++t.doubled;
    return t;
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
