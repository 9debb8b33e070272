// The /metrics server on a real loopback socket: what a scraper, a stray client and a slow or
// oversized request get.
#include "comm/MetricsServer.h"
#include "core/Timer.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

using namespace Quorlix;

namespace {

constexpr int ShortTimeoutMs = 300;

// Sends the bytes and reads until the server closes the connection.
QByteArray Exchange(quint16 port, const QByteArray& request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return "not connected";
    socket.write(request);
    QByteArray reply;
    QElapsedTimer waited;
    waited.start();
    while (socket.state() == QAbstractSocket::ConnectedState && waited.elapsed() < 3000) {
        QTest::qWait(10);
        reply += socket.readAll();
    }
    reply += socket.readAll();
    return socket.state() == QAbstractSocket::ConnectedState ? "still open" : reply;
}

} // namespace

class TestMetricsServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void replies_data();
    void replies();
    void slowClientIsDropped();
    void oversizedRequestIsDropped();
    void addresses_data();
    void addresses();
    void portInUse();

private:
    EventLoopTimers m_timers;
    std::unique_ptr<MetricsServer> m_server;
};

void TestMetricsServer::init()
{
    m_server = std::make_unique<MetricsServer>(
        m_timers, [] { return QStringLiteral("quorlix_up{analyzer=\"H1\"} 1\n"); }, ShortTimeoutMs);
    QString error;
    QVERIFY2(m_server->listen({QHostAddress(QHostAddress::LocalHost), 0}, &error), qPrintable(error));
}

void TestMetricsServer::replies_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine");
    QTest::addColumn<QByteArray>("contains");

    QTest::newRow("GET /metrics") << QByteArray("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n")
                                  << QByteArray("HTTP/1.1 200 OK")
                                  << QByteArray("Content-Type: text/plain; version=0.0.4");
    QTest::newRow("query string ignored")
        << QByteArray("GET /metrics?x=1 HTTP/1.0\r\n\r\n") << QByteArray("HTTP/1.1 200 OK")
        << QByteArray("\r\n\r\nquorlix_up{analyzer=\"H1\"} 1\n");
    QTest::newRow("bare line feeds") << QByteArray("GET /metrics HTTP/1.1\nHost: x\n\n")
                                     << QByteArray("HTTP/1.1 200 OK") << QByteArray("Connection: close");
    QTest::newRow("other path") << QByteArray("GET / HTTP/1.1\r\n\r\n")
                                << QByteArray("HTTP/1.1 404 Not Found") << QByteArray("Connection: close");
    QTest::newRow("other method") << QByteArray("POST /metrics HTTP/1.1\r\nContent-Length: 0\r\n\r\n")
                                  << QByteArray("HTTP/1.1 405 Method Not Allowed")
                                  << QByteArray("Allow: GET");
    QTest::newRow("not HTTP") << QByteArray("HELLO\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request")
                              << QByteArray("Content-Length: 16");
}

void TestMetricsServer::replies()
{
    QFETCH(QByteArray, request);
    const QByteArray reply = Exchange(m_server->port(), request);
    QFETCH(QByteArray, statusLine);
    QCOMPARE(reply.left(reply.indexOf("\r\n")), statusLine);
    QFETCH(QByteArray, contains);
    QVERIFY2(reply.contains(contains), reply.constData());
    // The length announced is the length sent.
    const qsizetype bodyAt = reply.indexOf("\r\n\r\n") + 4;
    const QByteArray length = reply.mid(reply.indexOf("Content-Length: ") + 16).split('\r').first();
    QCOMPARE(reply.size() - bodyAt, length.toLongLong());
}

void TestMetricsServer::slowClientIsDropped()
{
    // A request that never ends is closed at the time-out, without a reply; the server serves on.
    QElapsedTimer took;
    took.start();
    QCOMPARE(Exchange(m_server->port(), "GET /metrics HTTP/1.1\r\n"), QByteArray());
    QVERIFY(took.elapsed() >= ShortTimeoutMs - 50);
    QVERIFY(Exchange(m_server->port(), "GET /metrics HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
}

void TestMetricsServer::oversizedRequestIsDropped()
{
    QElapsedTimer took;
    took.start();
    const QByteArray huge = "GET /metrics HTTP/1.1\r\nX: " + QByteArray(MetricsServer::MaxRequestBytes, 'a');
    QCOMPARE(Exchange(m_server->port(), huge), QByteArray());
    QVERIFY2(took.elapsed() < ShortTimeoutMs, "closed at once, not at the time-out");
}

void TestMetricsServer::addresses_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("host"); // empty: refused
    QTest::addColumn<int>("port");
    QTest::newRow("port alone: loopback") << "9464"
                                          << "127.0.0.1" << 9464;
    QTest::newRow("host and port") << "0.0.0.0:9100"
                                   << "0.0.0.0" << 9100;
    QTest::newRow("localhost") << "localhost:9464"
                               << "127.0.0.1" << 9464;
    QTest::newRow("IPv6") << "[::1]:9464"
                          << "::1" << 9464;
    QTest::newRow("no port") << "127.0.0.1:"
                             << "" << 0;
    QTest::newRow("port out of range") << "70000"
                                       << "" << 0;
    QTest::newRow("host name") << "monitor.lab:9464"
                               << "" << 0;
}

void TestMetricsServer::addresses()
{
    QFETCH(QString, setting);
    QFETCH(QString, host);
    QString error;
    const std::optional<MetricsAddress> address = ParseMetricsAddress(setting, &error);
    QCOMPARE(address.has_value(), !host.isEmpty());
    QCOMPARE(error.isEmpty(), !host.isEmpty());
    if (address) {
        QCOMPARE(address->host.toString(), host);
        QFETCH(int, port);
        QCOMPARE(int(address->port), port);
    }
}

void TestMetricsServer::portInUse()
{
    MetricsServer second(m_timers, [] { return QString(); });
    QString error;
    QVERIFY(!second.listen({QHostAddress(QHostAddress::LocalHost), m_server->port()}, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestMetricsServer)
#include "tst_metricsserver.moc"
