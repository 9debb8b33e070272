#pragma once

#include "core/CommLog.h"

#include <QObject>
#include <QString>

namespace Quorlix {

// One line to a device as a driver sees it: the analyzer line (MSComm1) or the LIMS line (MSComm2).
// Text is Latin-1, one character per byte, both ways. Sends and pauses run in the order they were
// asked for without blocking the event loop; input arriving on the line meanwhile is handed on
// only after the pending sends, as a blocking pause would have done.
class Line : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Writes text on the line (after any pending pause) and logs it with the direction then.
    void send(const QString& text, Direction logDirection) { send(text, logDirection, text); }
    // The same, the log showing logText (the text with a note of what it answers).
    virtual void send(const QString& text, Direction logDirection, const QString& logText) = 0;
    // The line waits this long before its next send.
    virtual void pause(int milliseconds) = 0;
    virtual bool isOpen() const = 0;
    // Sends or pauses still waiting.
    virtual bool isBusy() const = 0;
    // Closes the device and opens it again (a driver that wants a clean line).
    virtual void reopen() = 0;
    // "analyzer port", "LIMS port": for log lines.
    virtual QString role() const = 0;

signals:
    void received(const QString& text);
    // The last pending send or pause completed.
    void idle();
};

} // namespace Quorlix
