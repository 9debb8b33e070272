#include "FakeLine.h"

namespace Quorlix::Test {

FakeLine::FakeLine(CommLog* log, QString role) : m_log(log), m_role(std::move(role)) {}

void FakeLine::takeTimeForPauses(Timers& timers)
{
    m_pauseTimer = timers.create(true, [this] { drain(); });
}

void FakeLine::send(const QString& text, Direction logDirection, const QString& logText)
{
    if (isBusy()) {
        m_waiting.append({text, logText, logDirection, 0});
        return;
    }
    write(text, logDirection, logText);
    if (m_pauseTimer)
        emit idle();
}

void FakeLine::pause(int milliseconds)
{
    if (!m_pauseTimer) {
        m_operations << QStringLiteral("pause %1").arg(milliseconds);
        return;
    }
    if (isBusy()) {
        m_waiting.append({QString(), QString(), Direction::HostToAnalyzer, milliseconds});
        return;
    }
    m_pauseTimer->start(milliseconds);
}

void FakeLine::write(const QString& text, Direction logDirection, const QString& logText)
{
    if (!m_open)
        return;
    m_frames << text;
    m_operations << text;
    if (m_log)
        m_log->logall(logText, logDirection);
}

// A pause has passed: it shows among the operations now, before the send it held back.
void FakeLine::drain()
{
    m_operations << QStringLiteral("pause %1").arg(m_pauseTimer->interval());
    while (!m_waiting.isEmpty()) {
        const Waiting next = m_waiting.takeFirst();
        if (next.text.isEmpty()) {
            m_pauseTimer->start(next.pauseMs);
            return;
        }
        write(next.text, next.direction, next.logText);
    }
    emit idle();
}

QString FakeLine::takeSent()
{
    const QString all = m_frames.join(QString());
    m_frames.clear();
    m_operations.clear();
    return all;
}

QStringList FakeLine::takeFrames()
{
    const QStringList frames = m_frames;
    m_frames.clear();
    m_operations.clear();
    return frames;
}

QStringList FakeLine::takeOperations()
{
    const QStringList operations = m_operations;
    m_operations.clear();
    m_frames.clear();
    return operations;
}

} // namespace Quorlix::Test
