#pragma once

#include "Line.h"
#include "PortConfig.h"
#include "core/CommLog.h"
#include "core/Timer.h"

#include <deque>
#include <memory>

class QIODevice;
class QTcpSocket;

namespace Quorlix {

// The line to a real device: the analyzer port (MSComm1) or the LIMS port (MSComm2). A serial
// device, a pseudo-terminal and a TCP serial server look the same from here on.
//
// A device that fails while running (adapter pulled, connection reset) is reported once, closed,
// and reopened every few seconds until it is back; what was received before stays received.
class LinePort final : public Line
{
    Q_OBJECT

public:
    LinePort(QString role, CommLog& log, Timers& timers, QObject* parent = nullptr);
    ~LinePort() override;

    // Opens the device; returns an error text naming it when that fails.
    QString open(const PortConfig& config);
    void close();
    const PortConfig& config() const { return m_config; }

    using Line::send;
    void send(const QString& text, Direction logDirection, const QString& logText) override;
    void pause(int milliseconds) override;
    bool isOpen() const override;
    bool isBusy() const override { return !m_pending.empty() || m_pauseTimer->isActive(); }
    void reopen() override;
    QString role() const override { return m_role; }

    static constexpr int ReopenIntervalMs = 3000;
    static constexpr qsizetype MaxHeldInput = 1 << 20;

private:
    struct Operation
    {
        QString text; // to send; empty for a pause
        QString logText;
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
    PortConfig m_config;
    std::unique_ptr<QIODevice> m_device;
    std::deque<Operation> m_pending;
    std::deque<QString> m_held;
    qsizetype m_heldSize = 0;
    std::unique_ptr<Timer> m_pauseTimer;
    std::unique_ptr<Timer> m_reopenTimer;
    bool m_lost = false;
    bool m_closing = false;
    bool m_reportedSendWhileDown = false;
};

} // namespace Quorlix
