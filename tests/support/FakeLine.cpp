#include "FakeLine.h"

namespace Quorlix::Test {

FakeLine::FakeLine(CommLog* log, QString role) : m_log(log), m_role(std::move(role)) {}

void FakeLine::send(const QString& text, Direction logDirection)
{
    if (!m_open)
        return;
    m_frames << text;
    m_operations << text;
    if (m_log)
        m_log->logall(text, logDirection);
}

void FakeLine::pause(int milliseconds)
{
    m_operations << QStringLiteral("pause %1").arg(milliseconds);
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
