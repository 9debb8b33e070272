#include "MetricsServer.h"

#include "core/Timer.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace Quorlix {

std::optional<MetricsAddress> ParseMetricsAddress(const QString& setting, QString* error)
{
    QString host = QStringLiteral("127.0.0.1");
    QString port = setting.trimmed();
    if (const qsizetype colon = port.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        host = port.left(colon);
        port = port.mid(colon + 1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
    }
    bool isNumber = false;
    const uint number = port.toUInt(&isNumber);
    MetricsAddress address;
    if (host == QLatin1String("localhost"))
        address.host = QHostAddress(QHostAddress::LocalHost);
    else
        address.host = QHostAddress(host);
    if (!isNumber || number == 0 || number > 65535 || address.host.isNull()) {
        *error = QStringLiteral("metrics=%1 is not HOST:PORT with an IP address and a port from 1 to 65535")
                     .arg(setting);
        return std::nullopt;
    }
    address.port = static_cast<quint16>(number);
    return address;
}

namespace {

// The bytes before the first separator; all of them when there is none.
QByteArray Before(const QByteArray& bytes, char separator)
{
    const qsizetype at = bytes.indexOf(separator);
    return at < 0 ? bytes : bytes.left(at);
}

} // namespace

MetricsReply ReplyToRequest(const QByteArray& head)
{
    const QList<QByteArray> parts = Before(head, '\n').trimmed().split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1."))
        return {"400 Bad Request"};
    if (parts[0] != "GET")
        return {"405 Method Not Allowed"};
    const QByteArray path = Before(parts[1], '?');
    if (path != "/metrics")
        return {"404 Not Found"};
    return {"200 OK", true};
}

MetricsServer::MetricsServer(Timers& timers, std::function<QString()> text, int requestTimeoutMs,
                             QObject* parent)
    : QObject(parent), m_timers(timers), m_text(std::move(text)), m_requestTimeoutMs(requestTimeoutMs),
      m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &MetricsServer::accept);
}

MetricsServer::~MetricsServer()
{
    // The clients go first, while the table they remove themselves from still exists.
    delete m_server;
}

bool MetricsServer::listen(const MetricsAddress& address, QString* error)
{
    if (m_server->listen(address.host, address.port))
        return true;
    *error = m_server->errorString();
    return false;
}

quint16 MetricsServer::port() const
{
    return m_server->serverPort();
}

void MetricsServer::close()
{
    m_server->close();
}

void MetricsServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        Connection& connection = m_connections[socket];
        // A client that does not complete its request in time is dropped.
        connection.deadline = m_timers.create(true, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        connection.deadline->start(m_requestTimeoutMs);
        connect(socket, &QObject::destroyed, this, [this, socket] { m_connections.erase(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        read(socket);
    }
}

void MetricsServer::read(QTcpSocket* socket)
{
    const auto found = m_connections.find(socket);
    if (found == m_connections.end())
        return;
    Connection& connection = found->second;
    if (connection.answered) {
        socket->readAll(); // one request per connection: anything after it is not read
        return;
    }
    connection.received += socket->read(MaxRequestBytes + 1 - connection.received.size());
    qsizetype end = connection.received.indexOf("\r\n\r\n");
    if (end < 0)
        end = connection.received.indexOf("\n\n");
    if (end < 0) {
        if (connection.received.size() > MaxRequestBytes) {
            socket->abort();
            socket->deleteLater();
        }
        return;
    }
    connection.answered = true;
    connection.deadline->stop();
    const MetricsReply answer = ReplyToRequest(connection.received.left(end));
    QByteArray body;
    QByteArray type = "text/plain; charset=utf-8";
    QByteArray extra;
    if (answer.metrics) {
        body = m_text().toUtf8();
        type = "text/plain; version=0.0.4; charset=utf-8";
    } else {
        body = answer.status + '\n';
        if (answer.status.startsWith("405"))
            extra = "Allow: GET\r\n";
    }
    socket->write("HTTP/1.1 " + answer.status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
                  QByteArray::number(body.size()) + "\r\n" + extra + "Connection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

} // namespace Quorlix
