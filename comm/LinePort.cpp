#include "LinePort.h"

#include <QSerialPort>
#include <QTcpSocket>

namespace Quorlix {

namespace {

QSerialPort::Parity ParityOf(QChar c)
{
    switch (c.toLatin1()) {
    case 'e':
        return QSerialPort::EvenParity;
    case 'o':
        return QSerialPort::OddParity;
    case 'm':
        return QSerialPort::MarkParity;
    case 's':
        return QSerialPort::SpaceParity;
    default:
        return QSerialPort::NoParity;
    }
}

constexpr int TcpConnectTimeoutMs = 5000;

} // namespace

LinePort::LinePort(QString role, CommLog& log, Timers& timers, QObject* parent)
    : Line(parent), m_role(std::move(role)), m_log(log),
      m_pauseTimer(timers.create(true, [this] { drain(); })),
      m_reopenTimer(timers.create(false, [this] { tryReopen(); }))
{
}

LinePort::~LinePort()
{
    close();
}

QString LinePort::open(const PortConfig& config)
{
    m_config = config;
    if (!config.error.isEmpty())
        return config.error;
    return openDevice();
}

void LinePort::reopen()
{
    const PortConfig config = m_config;
    close();
    m_lost = false;
    if (const QString error = open(config); !error.isEmpty()) {
        m_log.monitor(error + QStringLiteral("; reopening it every %1 s").arg(ReopenIntervalMs / 1000));
        m_lost = true;
        m_reopenTimer->start(ReopenIntervalMs);
    }
}

void LinePort::watchSocket(QTcpSocket* socket)
{
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, &LinePort::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this,
            [this] { onDeviceFailed(QStringLiteral("the connection was closed")); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError) { onDeviceFailed(socket->errorString()); });
}

QString LinePort::openDevice()
{
    m_device.reset();
    if (m_config.isTcp()) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(m_config.host, m_config.tcpPort);
        if (!socket->waitForConnected(TcpConnectTimeoutMs))
            return QStringLiteral("cannot connect the %1 to %2: %3")
                .arg(m_role, m_config.describe(), socket->errorString());
        watchSocket(socket.get());
        m_device = std::move(socket);
        return {};
    }

    auto serial = std::make_unique<QSerialPort>();
    serial->setPortName(m_config.device);
    // Line settings given before opening are applied by the open itself; a pseudo-terminal simply
    // ignores what it cannot carry (data bits, parity).
    serial->setBaudRate(m_config.baudRate);
    serial->setParity(ParityOf(m_config.parity));
    serial->setDataBits(static_cast<QSerialPort::DataBits>(m_config.dataBits));
    serial->setStopBits(m_config.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    serial->setFlowControl(QSerialPort::NoFlowControl);
    if (!serial->open(QIODevice::ReadWrite))
        return QStringLiteral("cannot open the %1 %2: %3")
            .arg(m_role, m_config.device, serial->errorString());
    serial->setRequestToSend(true); // refused by pseudo-terminals; harmless
    serial->clearError();
    connect(serial.get(), &QSerialPort::readyRead, this, &LinePort::onReadyRead);
    connect(serial.get(), &QSerialPort::errorOccurred, this,
            [this, s = serial.get()](QSerialPort::SerialPortError e) {
                // A vanished peer makes the port report read errors without end: close at the first one.
                if (e == QSerialPort::ReadError || e == QSerialPort::ResourceError ||
                    e == QSerialPort::WriteError)
                    onDeviceFailed(s->errorString());
            });
    m_device = std::move(serial);
    return {};
}

void LinePort::close()
{
    m_closing = true;
    m_reopenTimer->stop();
    m_pauseTimer->stop();
    if (m_device) {
        m_device->disconnect(this);
        if (auto* socket = qobject_cast<QTcpSocket*>(m_device.get()))
            socket->abort();
        else
            m_device->close();
        m_device.reset();
    }
    m_closing = false;
}

bool LinePort::isOpen() const
{
    return m_device && m_device->isOpen() && !m_lost;
}

void LinePort::send(const QString& text, Direction logDirection, const QString& logText)
{
    m_pending.push_back({text, logText, logDirection, 0});
    if (!m_pauseTimer->isActive())
        drain();
}

void LinePort::pause(int milliseconds)
{
    m_pending.push_back({QString(), QString(), Direction::HostToAnalyzer, qMax(0, milliseconds)});
    if (!m_pauseTimer->isActive())
        drain();
}

void LinePort::drain()
{
    while (!m_pending.empty()) {
        const Operation op = m_pending.front();
        m_pending.pop_front();
        if (op.text.isEmpty()) {
            m_pauseTimer->start(op.pauseMs);
            return;
        }
        if (!isOpen()) {
            if (!m_reportedSendWhileDown)
                m_log.monitor(
                    QStringLiteral("%1 is not open: not sent: %2").arg(m_role, ControlCharsToNames(op.text)));
            m_reportedSendWhileDown = true;
            continue;
        }
        m_device->write(op.text.toLatin1());
        m_log.logall(op.logText, op.direction);
    }
    deliverHeldInput();
    if (!isBusy())
        emit idle();
}

void LinePort::deliverHeldInput()
{
    while (!m_held.empty() && !isBusy()) {
        const QString chunk = m_held.front();
        m_held.pop_front();
        m_heldSize -= chunk.size();
        emit received(chunk);
    }
}

void LinePort::onReadyRead()
{
    if (!m_device)
        return;
    const QByteArray bytes = m_device->readAll();
    if (bytes.isEmpty())
        return;
    const QString chunk = QString::fromLatin1(bytes);
    if (!isBusy() && m_held.empty()) {
        emit received(chunk);
        return;
    }
    if (m_heldSize + chunk.size() > MaxHeldInput) {
        m_log.monitor(QStringLiteral("%1: more than %2 bytes arrived during a pause; %3 bytes dropped")
                          .arg(m_role)
                          .arg(MaxHeldInput)
                          .arg(chunk.size()));
        return;
    }
    m_held.push_back(chunk);
    m_heldSize += chunk.size();
}

void LinePort::onDeviceFailed(const QString& reason)
{
    if (m_lost || m_closing || !m_device)
        return;
    // Take what the device still holds before closing it: nothing received is lost.
    if (m_device->bytesAvailable() > 0)
        onReadyRead();
    m_lost = true;
    m_log.monitor(QStringLiteral("%1 %2 lost: %3; reopening it every %4 s")
                      .arg(m_role, m_config.isTcp() ? m_config.describe() : m_config.device, reason)
                      .arg(ReopenIntervalMs / 1000));
    QIODevice* failed = m_device.release();
    failed->disconnect(this);
    failed->close();
    failed->deleteLater();
    m_reopenTimer->start(ReopenIntervalMs);
}

void LinePort::tryReopen()
{
    if (m_config.isTcp()) {
        // Connect without blocking: the other port and the timers keep running meanwhile.
        if (m_device)
            return; // an attempt is under way
        auto* socket = new QTcpSocket();
        m_device.reset(socket);
        connect(socket, &QTcpSocket::connected, this, [this, socket] {
            socket->disconnect(this);
            watchSocket(socket);
            reopened();
        });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError) {
            socket->disconnect(this);
            m_device.release();
            socket->deleteLater();
        });
        socket->connectToHost(m_config.host, m_config.tcpPort);
        return;
    }
    if (!openDevice().isEmpty()) {
        m_device.reset();
        return;
    }
    reopened();
}

void LinePort::reopened()
{
    m_reopenTimer->stop();
    m_lost = false;
    m_reportedSendWhileDown = false;
    m_log.monitor(QStringLiteral("%1 %2 is open again")
                      .arg(m_role, m_config.isTcp() ? m_config.describe() : m_config.device));
}

} // namespace Quorlix
