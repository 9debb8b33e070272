#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace Quorlix::Test {

// A real quorlix process in its own folder with its own quorlix.ini and log folder.
class QuorlixProcess
{
public:
    explicit QuorlixProcess(const QString& iniText);
    ~QuorlixProcess();

    QString folder() const { return m_dir.path(); }
    QString iniPath() const { return m_dir.filePath("quorlix.ini"); }
    // Runs quorlix with the arguments (the --config option is added) and waits for it to end.
    int runToEnd(const QStringList& arguments, int timeoutMs = 20000);
    // Starts quorlix --headless with the switches and waits until its log shows the start-up.
    bool start(const QStringList& switches, int timeoutMs = 10000);
    // Sends SIGTERM and waits for the exit code (-1 when it does not end).
    int terminate(int timeoutMs = 10000);
    void kill();
    QProcess& process() { return m_process; }
    QString output() const { return m_output; }
    // The text of the day's log file(s) of this process.
    QString logText() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_output;
};

} // namespace Quorlix::Test
