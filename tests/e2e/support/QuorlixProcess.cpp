#include "QuorlixProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace Quorlix::Test {

QuorlixProcess::QuorlixProcess(const QString& iniText)
{
    QDir(m_dir.path()).mkpath("logs");
    QFile ini(iniPath());
    ini.open(QIODevice::WriteOnly);
    ini.write(("ComLogPath=" + m_dir.path() + "/logs\n" + iniText).toUtf8());
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A session of its own, as a service manager starts a service: the scheduler then weighs the
    // process like any service (the kernel's autogroups are per session), not as one of many
    // children of the test sharing one share of the processor.
    m_process.setChildProcessModifier([] { ::setsid(); });
    QObject::connect(&m_process, &QProcess::readyRead, [this] { m_output += QString::fromLocal8Bit(m_process.readAll()); });
}

QuorlixProcess::~QuorlixProcess()
{
    kill();
}

int QuorlixProcess::runToEnd(const QStringList& arguments, int timeoutMs)
{
    m_process.start(QUORLIX_BINARY, QStringList{"--config", iniPath()} + arguments);
    if (!m_process.waitForFinished(timeoutMs))
        return -1;
    m_output += QString::fromLocal8Bit(m_process.readAll());
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

bool QuorlixProcess::start(const QStringList& switches, int timeoutMs)
{
    m_process.start(QUORLIX_BINARY, QStringList{"--config", iniPath(), "--headless"} + switches);
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running)
            return false;
        if (logText().contains("Vandrel Communication Module Started"))
            return true;
        QTest::qWait(20);
    }
    return false;
}

int QuorlixProcess::terminate(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitCode();
    ::kill(pid_t(m_process.processId()), SIGTERM);
    QDeadlineTimer deadline(timeoutMs);
    while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(20);
    if (m_process.state() != QProcess::NotRunning)
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

void QuorlixProcess::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString QuorlixProcess::logText() const
{
    QString text;
    const QDir logs(m_dir.filePath("logs"));
    for (const QString& name : logs.entryList({"*_log.txt"}, QDir::Files, QDir::Name)) {
        QFile f(logs.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            text += QString::fromLatin1(f.readAll());
    }
    return text;
}

} // namespace Quorlix::Test
