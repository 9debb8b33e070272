#pragma once

#include "comm/Line.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace Quorlix::Test {

// A line for driver tests: it records what a driver sends and the pauses it asks for, in order,
// and feeds input as if the device had sent it. No device, no waiting.
class FakeLine final : public Line
{
    Q_OBJECT

public:
    explicit FakeLine(CommLog* log = nullptr, QString role = QStringLiteral("analyzer port"));

    void send(const QString& text, Direction logDirection) override;
    void pause(int milliseconds) override;
    bool isOpen() const override { return m_open; }
    bool isBusy() const override { return false; }
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
};

} // namespace Quorlix::Test
