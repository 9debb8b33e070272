#pragma once

#include "PortConfig.h"
#include "../core/CommLog.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>

class QIODevice;
class QTcpSocket;

namespace Quorlix {

// One line to a device: the analyzer port (MSComm1) or the LIMS port (MSComm2). A serial device,
// a pseudo-terminal and a TCP serial server look the same from here on: received chunks come out
// of received() as Latin-1 text (one character per byte), and send() writes text the same way.
//
// Drivers ask for the pauses their protocols need with pause(). Sends and pauses run in the order
// they were asked for, without blocking the event loop; input that arrives on this line meanwhile
// is held and handed on only after the pending sends, as a blocking pause would have done.
//
// A device that fails while running (adapter pulled, connection reset) is reported once, closed,
// and reopened every few seconds until it is back; what was received before stays received.
class LinePort : public QObject
{
    Q_OBJECT

public:
    LinePort(QString role, CommLog& log, QObject* parent = nullptr);
    ~LinePort() override;

    // Opens the device; returns an error text naming it when that fails.
    QString open(const PortConfig& spec);
    void close();
    bool isOpen() const;
    const PortConfig& spec() const { return m_spec; }
    QString role() const { return m_role; }

    // Writes text on the line (after any pending pause) and logs it with the direction then.
    void send(const QString& text, Direction logDirection);
    // The line waits this long before its next send.
    void pause(int milliseconds);
    // Sends or pauses still waiting.
    bool isBusy() const { return !m_pending.empty() || m_pauseTimer.isActive(); }

    static constexpr int ReopenIntervalMs = 3000;
    static constexpr qsizetype MaxHeldInput = 1 << 20;

signals:
    void received(const QString& text);
    // The last pending send or pause completed.
    void idle();

private:
    struct Operation
    {
        QString text; // to send; empty for a pause
        Direction direction = Direction::HostToAnalyzer;
        int pauseMs = 0;
    };

    QString openDevice();
    void onReadyRead();
    void onDeviceFailed(const QString& reason);
    void tryReopen();
    void reopened();
    void watchSocket(QTcpSocket* socket);
    void drain();
    void deliverHeldInput();

    QString m_role;
    CommLog& m_log;
    PortConfig m_spec;
    std::unique_ptr<QIODevice> m_device;
    std::deque<Operation> m_pending;
    std::deque<QString> m_held;
    qsizetype m_heldSize = 0;
    QTimer m_pauseTimer;
    QTimer m_reopenTimer;
    bool m_lost = false;
    bool m_closing = false;
    bool m_reportedSendWhileDown = false;
};

} // namespace Quorlix
