#pragma once

#include <QDateTime>

namespace Quorlix {

// Local wall-clock time. Injected everywhere time is read, so that tests can cross midnight and
// shift boundaries without waiting.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The system clock moved to another moment: it starts at a given local time and runs on in real
// time (the --clock-start option, for trying day and shift changes).
class OffsetClock final : public Clock
{
public:
    explicit OffsetClock(const QDateTime& start) : m_offsetMs(QDateTime::currentDateTime().msecsTo(start)) {}
    QDateTime now() const override { return QDateTime::currentDateTime().addMSecs(m_offsetMs); }

private:
    qint64 m_offsetMs;
};

// A clock that stands still until it is moved.
class ManualClock final : public Clock
{
public:
    explicit ManualClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }
    void advanceSeconds(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now;
};

} // namespace Quorlix
