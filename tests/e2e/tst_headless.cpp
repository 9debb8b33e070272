#include "support/PtyPeer.h"
#include "support/QuorlixProcess.h"
#include "support/TestDatabase.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::PtyPeer;
using Quorlix::Test::QuorlixProcess;
using Quorlix::Test::TestDatabase;

class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    void helpAndVersion();
    void initDbWithDemoData();
    void startupFailures_data();
    void startupFailures();
    void sigtermRunsTheStopSequence();
    void portLostAndBackWhileRunning();
    void statusOfTheRunningInstance();
};

void TestHeadless::helpAndVersion()
{
    QuorlixProcess q("");
    QCOMPARE(q.runToEnd({"--help"}), 0);
    QVERIFY(q.output().contains("--headless"));
    QuorlixProcess v("");
    QCOMPARE(v.runToEnd({"--version"}), 0);
    QVERIFY(v.output().startsWith("quorlix "));
    QuorlixProcess bad("");
    QCOMPARE(bad.runToEnd({"--bogus"}), 2);
}

void TestHeadless::initDbWithDemoData()
{
    QuorlixProcess q("database=lab.db\n");
    QCOMPARE(q.runToEnd({"--init-db", "--demo-data"}), 0);
    QVERIFY2(q.output().contains("demonstration data loaded"), qPrintable(q.output()));
    QuorlixProcess again("database=" + q.folder() + "/lab.db\n");
    QCOMPARE(again.runToEnd({"--init-db", "--demo-data"}), 0);
    QVERIFY(again.output().contains("already holds tests"));
}

void TestHeadless::startupFailures_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrMentions");
    QTest::newRow("configuration") << "" << QStringList{"/id=I", "/type=INPUT", "/test=abc"} << 2 << "/test=abc";
    QTest::newRow("database") << "dbdriver=postgresql\nserver=127.0.0.1:1\ndatabase=lab\ndbpassword=topsecret\n"
                              << QStringList{"/id=H", "/type=H911"} << 3 << "127.0.0.1";
    QTest::newRow("no switches") << "" << QStringList{} << 2 << "/id=NAME /type=TYPE";
    QTest::newRow("type unknown") << "" << QStringList{"/id=HIT1", "/type=H999"} << 2 << "\"H999\"";
    QTest::newRow("id missing") << "" << QStringList{"/type=H911"} << 2 << "/id=NAME";
    QTest::newRow("port not a number") << "" << QStringList{"/id=H", "/type=H911", "/com=abc"} << 2 << "/com=abc";
    QTest::newRow("database driver unknown")
        << "dbdriver=postgres\n" << QStringList{"/id=H", "/type=H911"} << 2 << "dbdriver=postgres";
    QTest::newRow("port") << "com5=/dev/quorlix-absent\n" << QStringList{"/id=H", "/type=H911", "/com=5"} << 4
                          << "/dev/quorlix-absent";
}

void TestHeadless::startupFailures()
{
    QFETCH(QString, ini);
    QFETCH(QStringList, switches);
    QFETCH(QString, stderrMentions);
    QuorlixProcess q(ini);
    QTEST(q.runToEnd(QStringList{"--headless"} + switches), "exitCode");
    QVERIFY2(q.output().startsWith("quorlix: ") && q.output().contains(stderrMentions), qPrintable(q.output()));
    QVERIFY2(q.output().trimmed().count('\n') == 0, qPrintable(q.output())); // one line
    QVERIFY(!q.output().contains("topsecret"));
}

void TestHeadless::sigtermRunsTheStopSequence()
{
    PtyPeer analyzer;
    QuorlixProcess q("com1=" + analyzer.slaveName() + "\n");
    QCOMPARE(q.runToEnd({"--init-db"}), 0);
    QVERIFY2(q.start({"/id=HIT1", "/type=H911", "/com=1"}), qPrintable(q.output() + q.logText()));
    QCOMPARE(q.terminate(), 0);
    QVERIFY(q.logText().contains("Analyser: HIT1 Type: H911 Com Port:  1"));
}

void TestHeadless::portLostAndBackWhileRunning()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QuorlixProcess q(QString("com2=tcp://127.0.0.1:%1\n").arg(server.serverPort()));
    QCOMPARE(q.runToEnd({"--init-db"}), 0);
    QVERIFY2(q.start({"/id=HIT1", "/type=H911", "/com=2"}), qPrintable(q.output() + q.logText()));
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 3000);
    server.nextPendingConnection()->close();
    QTRY_VERIFY_WITH_TIMEOUT(q.logText().contains("analyzer port tcp://127.0.0.1:"), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 8000);
    QTRY_VERIFY_WITH_TIMEOUT(q.logText().contains("is open again"), 3000);
    QCOMPARE(q.terminate(), 0);
}

void TestHeadless::statusOfTheRunningInstance()
{
    PtyPeer analyzer;
    QuorlixProcess q("com1=" + analyzer.slaveName() + "\n");
    QCOMPARE(q.runToEnd({"--init-db"}), 0);
    QVERIFY2(q.start({"/id=HIT1", "/type=H911", "/com=1"}), qPrintable(q.output() + q.logText()));
    analyzer.write("\x06"); // the line is alive: it stays online at the next tick
    // Another program on the site reads the same database.
    const QString sameDatabase = "database=" + q.folder() + "/quorlix.db\n";
    QuorlixProcess status(sameDatabase);
    QCOMPARE(status.runToEnd({"--status"}), 0);
    QVERIFY2(status.output().contains(QRegularExpression("\nHIT1 +H911 +online +- ")), qPrintable(status.output()));
    QCOMPARE(q.terminate(), 0);
    QuorlixProcess after(sameDatabase);
    QCOMPARE(after.runToEnd({"--status", "--json"}), 1);
    QVERIFY2(after.output().contains("\"state\": \"stopped\""), qPrintable(after.output()));
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
