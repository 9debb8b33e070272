#include "comm/LinePort.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "support/PtyPeer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::PtyPeer;

namespace {

PortConfig Device(const QString& path)
{
    PortConfig spec;
    spec.number = 1;
    spec.device = path;
    return spec;
}

} // namespace

class TestLinePort : public QObject
{
    Q_OBJECT

private slots:
    void everyByteValuePasses();
    void pauseKeepsOrderWithoutFreezing();
    void pauseIsNeverShorter_data();
    void pauseIsNeverShorter();
    void lostAndReopenedPty();
    void tcpLineLostAndBack();
    void missingDeviceIsNamed();

private:
    ManualClock m_clock{QDateTime(QDate(2026, 12, 7), QTime(10, 0))};
    EventLoopTimers m_timers;
    QLocale m_locale{QLocale::German, QLocale::Germany};
};

void TestLinePort::everyByteValuePasses()
{
    PtyPeer peer;
    CommLog log(m_clock, m_locale);
    LinePort port("analyzer port", log, m_timers);
    QCOMPARE(port.open(Device(peer.slaveName())), QString());
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    QString received;
    connect(&port, &LinePort::received, this, [&](const QString& t) { received += t; });
    peer.write(all);
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 256, 3000);
    QCOMPARE(received.toLatin1(), all);
    port.send(QString::fromLatin1(all), Direction::HostToAnalyzer);
    QCOMPARE(peer.readAtLeast(256), all);
}

void TestLinePort::pauseKeepsOrderWithoutFreezing()
{
    PtyPeer analyzer;
    PtyPeer lims;
    CommLog log(m_clock, m_locale);
    LinePort a("analyzer port", log, m_timers);
    LinePort b("LIMS port", log, m_timers);
    QCOMPARE(a.open(Device(analyzer.slaveName())), QString());
    QCOMPARE(b.open(Device(lims.slaveName())), QString());
    QStringList events;
    connect(&a, &LinePort::received, this, [&](const QString& t) { events << "A got " + t; });
    connect(&b, &LinePort::received, this, [&](const QString& t) { events << "B got " + t; });

    QElapsedTimer timer;
    timer.start();
    a.send("1", Direction::HostToAnalyzer);
    a.pause(400);
    a.send("2", Direction::HostToAnalyzer);
    QVERIFY(timer.elapsed() < 100); // the caller is not blocked
    QVERIFY(a.isBusy());
    analyzer.write("x"); // arrives during the pause: held until "2" is out
    lims.write("y");     // the other port is served meanwhile
    QTRY_COMPARE_WITH_TIMEOUT(events, QStringList{"B got y"}, 300);
    QCOMPARE(analyzer.readAtLeast(1, 200), QByteArray("1"));
    QTRY_COMPARE_WITH_TIMEOUT(events, (QStringList{"B got y", "A got x"}), 2000);
    QVERIFY(timer.elapsed() >= 400);
    QCOMPARE(analyzer.readAvailable(), QByteArray("2"));
    QVERIFY(!a.isBusy());
    // Every send was logged when it was written, in order.
    QCOMPARE(log.recentLines().mid(0, 2),
             (QStringList{"07.12.2026 10:00:00  H->A2", "07.12.2026 10:00:00  H->A1"}));
}

void TestLinePort::pauseIsNeverShorter_data()
{
    QTest::addColumn<int>("pauseMs");
    QTest::newRow("Hitachi 902 and 912 before an answer") << 100;
    QTest::newRow("Indiko before a frame") << 500;
}

// The analyzer may not be ready to listen before the pause is over: every pause lasts at least as
// long as asked (an event loop timer left coarse fires up to 5 % early).
void TestLinePort::pauseIsNeverShorter()
{
    QFETCH(int, pauseMs);
    PtyPeer analyzer;
    CommLog log(m_clock, m_locale);
    LinePort port("analyzer port", log, m_timers);
    QCOMPARE(port.open(Device(analyzer.slaveName())), QString());
    const QByteArray sent = "12345";
    QElapsedTimer timer;
    timer.start();
    for (const char c : sent) {
        port.pause(pauseMs);
        port.send(QString(QLatin1Char(c)), Direction::HostToAnalyzer);
    }
    QByteArray got;
    while (got.size() < sent.size() && timer.elapsed() < 10 * pauseMs) {
        // Each byte is seen no earlier than it came: k pauses must have passed (a millisecond each
        // for rounding).
        const QByteArray more = analyzer.readAvailable();
        for (qsizetype i = 0; i < more.size(); ++i) {
            const qint64 pauses = got.size() + i + 1;
            QVERIFY2(timer.elapsed() >= pauses * (pauseMs - 1),
                     qPrintable(QString("byte %1 after %2 ms").arg(pauses).arg(timer.elapsed())));
        }
        got += more;
        QTest::qWait(1);
    }
    QCOMPARE(got, sent);
}

void TestLinePort::lostAndReopenedPty()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyANALYZER");
    auto first = std::make_unique<PtyPeer>();
    QVERIFY(QFile::link(first->slaveName(), link));
    CommLog log(m_clock, m_locale);
    LinePort port("analyzer port", log, m_timers);
    QCOMPARE(port.open(Device(link)), QString());
    QString received;
    connect(&port, &LinePort::received, this, [&](const QString& t) { received += t; });
    first->write("before");
    QTRY_COMPARE_WITH_TIMEOUT(received, QString("before"), 2000);

    first.reset(); // the adapter is pulled
    QTRY_VERIFY_WITH_TIMEOUT(!port.isOpen(), 2000);
    QTest::qWait(200);
    QCOMPARE(log.recentLines().count(), 1); // reported once, not once per read error
    QVERIFY(log.recentLines().first().startsWith("Monitor: analyzer port " + link + " lost: "));

    PtyPeer second; // plugged in again
    QFile::remove(link);
    QVERIFY(QFile::link(second.slaveName(), link));
    QTRY_VERIFY_WITH_TIMEOUT(port.isOpen(), LinePort::ReopenIntervalMs + 3000);
    QCOMPARE(log.recentLines().first(), "Monitor: analyzer port " + link + " is open again");
    second.write("after");
    QTRY_COMPARE_WITH_TIMEOUT(received, QString("beforeafter"), 2000);
}

void TestLinePort::tcpLineLostAndBack()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    CommLog log(m_clock, m_locale);
    LinePort port("analyzer port", log, m_timers);
    PortConfig spec;
    spec.host = "127.0.0.1";
    spec.tcpPort = server.serverPort();
    QCOMPARE(port.open(spec), QString());
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 2000);
    QTcpSocket* peer = server.nextPendingConnection();
    QString received;
    connect(&port, &LinePort::received, this, [&](const QString& t) { received += t; });
    peer->write("\x02:A\x03");
    QTRY_COMPARE_WITH_TIMEOUT(received, QString("\x02:A\x03"), 2000);
    port.send("\x02>\x03", Direction::HostToAnalyzer);
    QTRY_COMPARE_WITH_TIMEOUT(peer->bytesAvailable(), qint64(3), 2000);
    QCOMPARE(peer->readAll(), QByteArray("\x02>\x03"));

    peer->write("last");
    peer->flush();
    peer->close(); // the serial device server resets the connection
    QTRY_VERIFY_WITH_TIMEOUT(!port.isOpen(), 2000);
    QCOMPARE(received, QString("\x02:A\x03last"));
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), LinePort::ReopenIntervalMs + 3000);
    QTRY_VERIFY_WITH_TIMEOUT(port.isOpen(), 2000);
    QVERIFY(log.recentLines().first().endsWith("is open again"));
}

void TestLinePort::missingDeviceIsNamed()
{
    CommLog log(m_clock, m_locale);
    LinePort port("analyzer port", log, m_timers);
    const QString error = port.open(Device("/dev/quorlix-none"));
    QVERIFY(error.contains("/dev/quorlix-none"));
    port.send("x", Direction::HostToAnalyzer); // not open: dropped with one line, no crash
    port.send("y", Direction::HostToAnalyzer);
    QCOMPARE(log.recentLines().size(), 1);
}

QTEST_GUILESS_MAIN(TestLinePort)
#include "tst_lineport.moc"
