#pragma once

#include "comm/Line.h"
#include "core/Timer.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <memory>

namespace Quorlix::Test {

// A line for driver tests: it records what a driver sends and the pauses it asks for, in order,
// and feeds input as if the device had sent it. No device, no waiting.
class FakeLine final : public Line
{
    Q_OBJECT

public:
    explicit FakeLine(CommLog* log = nullptr, QString role = QStringLiteral("analyzer port"));

    using Line::send;
    void send(const QString& text, Direction logDirection, const QString& logText) override;
    void pause(int milliseconds) override;
    bool isOpen() const override { return m_open; }
    bool isBusy() const override { return m_pauseTimer && m_pauseTimer->isActive(); }
    void reopen() override { ++reopens; }
    QString role() const override { return m_role; }

    // The device sends this piece; afterInput runs once the handlers have taken it.
    void feed(const QString& text)
    {
        emit received(text);
        if (afterInput)
            afterInput();
    }
    void setOpen(bool open) { m_open = open; }
    // From now on a pause takes its time on these timers: the sends after it wait until it has
    // passed, the line is busy meanwhile and idle again after its last send, as a real port is.
    void takeTimeForPauses(Timers& timers);

    // Everything sent since the last take, joined, and cleared.
    QString takeSent();
    // The sends since the last take, one text each, and cleared.
    QStringList takeFrames();
    // Sends and pauses in order ("pause 100", then the text sent), and cleared.
    QStringList takeOperations();

    int reopens = 0;
    std::function<void()> afterInput;

private:
    CommLog* m_log;
    QString m_role;
    bool m_open = true;
    QStringList m_frames;
    QStringList m_operations;
    std::unique_ptr<Timer> m_pauseTimer;
    struct Waiting
    {
        QString text; // empty for a pause
        QString logText;
        Direction direction = Direction::HostToAnalyzer;
        int pauseMs = 0;
    };
    QList<Waiting> m_waiting; // behind the pause running

    void write(const QString& text, Direction logDirection, const QString& logText);
    void drain();
};

} // namespace Quorlix::Test
