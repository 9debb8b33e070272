#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

class QTcpServer;
class QTcpSocket;

namespace Quorlix {

class Timer;
class Timers;

// Where metrics are served, read from the `metrics` setting: "HOST:PORT", "[IPv6]:PORT", or a
// port alone on the loopback. Empty (with the reason in error) when the setting is not one.
struct MetricsAddress
{
    QHostAddress host;
    quint16 port = 0;
};
std::optional<MetricsAddress> ParseMetricsAddress(const QString& setting, QString* error);

// A minimal HTTP/1.1 server for the site's monitoring: "GET /metrics" is answered with the text
// the callback builds; any other path gets 404 and any other method 405. Each connection carries
// one request and is closed after the reply. A request larger than MaxRequestBytes, or not
// complete within the time-out, is closed without a reply: a scraper never holds the instance up.
class MetricsServer final : public QObject
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxRequestBytes = 8 * 1024;
    static constexpr int RequestTimeoutMs = 5000;

    MetricsServer(Timers& timers, std::function<QString()> text, int requestTimeoutMs = RequestTimeoutMs,
                  QObject* parent = nullptr);
    ~MetricsServer() override;

    // Listens on the address only; false with the reason in error when it cannot.
    bool listen(const MetricsAddress& address, QString* error);
    quint16 port() const;
    void close();

private:
    // One client's request as far as it came, and its deadline.
    struct Connection
    {
        QByteArray received;
        std::unique_ptr<Timer> deadline;
        bool answered = false;
    };

    void accept();
    void read(QTcpSocket* socket);

    Timers& m_timers;
    std::function<QString()> m_text;
    int m_requestTimeoutMs;
    QTcpServer* m_server;
    std::unordered_map<QTcpSocket*, Connection> m_connections;
};

// The reply to one complete request head (request line and headers, up to the blank line).
struct MetricsReply
{
    QByteArray status;    // "200 OK", "404 Not Found" ...
    bool metrics = false; // the metrics are the body
};
MetricsReply ReplyToRequest(const QByteArray& head);

} // namespace Quorlix
