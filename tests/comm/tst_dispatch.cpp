#include "comm/Dispatch.h"
#include "comm/Engine.h"
#include "comm/PortConfig.h"

#include <QTest>

using namespace Quorlix;

class TestDispatch : public QObject
{
    Q_OBJECT

private slots:
    void analyzerSide_data();
    void analyzerSide();
    void limsSide_data();
    void limsSide();
    void routesAndStamps();
    void missingHandlersReportOnce();
    void externalHandler();
    void portConfig_data();
    void portConfig();
};

void TestDispatch::analyzerSide_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("withoutLims");
    QTest::addColumn<QString>("withLims");
    QTest::newRow("H911") << "H911" << "Hit911Receive" << "Hit911ReceiveWithLims";
    QTest::newRow("H902") << "H902" << "Hit902Receive" << "Hit902ReceiveWithLims";
    QTest::newRow("H912") << "H912" << "Hit912Receive" << "DsxReceiveWithLims";
    QTest::newRow("DSX") << "DSX" << "DsxReceive" << "DsxReceiveWithLims";
    QTest::newRow("Mira") << "Mira" << "HandleInput" << "HandleThroughput";
    QTest::newRow("ACT") << "ACT" << "ActReceive" << "DsxReceiveWithLims";
    QTest::newRow("OAU400") << "OAU400" << "Au400Receive" << "Au400ReceiveWithLims";
    QTest::newRow("OAU600") << "OAU600" << "Au600Receive" << "Au600ReceiveWithLims";
    QTest::newRow("OAU680") << "OAU680" << "Au680Receive" << "Au680ReceiveWithLims";
    QTest::newRow("IND") << "IND" << "IndikoReceive" << "DsxReceiveWithLims";
    QTest::newRow("INDREQ") << "INDREQ" << "IndikoRequestReceive" << "";
    QTest::newRow("INDREADY") << "INDREADY" << "IndikoReadyReceive" << "";
    QTest::newRow("INDRESULT") << "INDRESULT" << "IndikoResultReceive" << "";
    QTest::newRow("case matters") << "h911" << "" << "";
    QTest::newRow("MGC has no line") << "MGC" << "" << "";
    QTest::newRow("INPUT has no line") << "INPUT" << "" << "";
}

void TestDispatch::analyzerSide()
{
    QFETCH(QString, type);
    QTEST(AnalyzerEntryFor(type, false), "withoutLims");
    QTEST(AnalyzerEntryFor(type, true), "withLims");
}

void TestDispatch::limsSide_data()
{
    QTest::addColumn<QString>("outId");
    QTest::addColumn<QString>("outType");
    QTest::addColumn<QString>("entry");
    QTest::newRow("MGC240 wins over out-type") << "MGC240" << "invH912" << "InvMgc240Receive";
    QTest::newRow("invH911") << "LIMS" << "invH911" << "HandleThroughput";
    QTest::newRow("invH902") << "LIMS" << "invH902" << "HandleThroughput";
    QTest::newRow("invH912") << "LIMS" << "invH912" << "InvH912Receive";
    QTest::newRow("invOAU400") << "LIMS" << "invOAU400" << "InvAu400Receive";
    QTest::newRow("invOAU600") << "LIMS" << "invOAU600" << "InvAu600Receive";
    QTest::newRow("H912 served by nothing") << "LIMS" << "H912" << "";
    QTest::newRow("case matters") << "mgc240" << "INVH912" << "";
}

void TestDispatch::limsSide()
{
    QFETCH(QString, outId);
    QFETCH(QString, outType);
    QTEST(LimsEntryFor(outId, outType), "entry");
}

void TestDispatch::routesAndStamps()
{
    ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    Engine engine(clock);
    Context& c = engine.context();
    c.settings.AnalyzerType = "H911";
    QStringList calls;
    engine.dispatcher().registerEntry("Hit911Receive", [&](const QString& t) { calls << "911:" + t; });
    engine.dispatcher().registerEntry("Hit911ReceiveWithLims", [&](const QString& t) { calls << "911L:" + t; });
    engine.dispatcher().registerEntry("InvH912Receive", [&](const QString& t) { calls << "lims:" + t; });

    engine.dispatcher().analyzerReceived("a");
    QCOMPARE(c.link.LastAnalyzerInput, clock.now());
    QVERIFY(!c.link.LastLimsInput.isValid());

    c.settings.OutType = "invH912";
    engine.dispatcher().analyzerReceived("b"); // out-type alone is no LIMS side
    c.settings.OutComPort = 3;
    engine.dispatcher().analyzerReceived("c");
    clock.advanceSeconds(5);
    engine.dispatcher().limsReceived("d");
    QCOMPARE(c.link.LastLimsInput, clock.now());
    c.settings.AnalyzerType = "H912"; // read afresh: the silent entry
    engine.dispatcher().analyzerReceived("e");
    QCOMPARE(c.link.LastAnalyzerInput, clock.now());
    QCOMPARE(calls, (QStringList{"911:a", "911:b", "911L:c", "lims:d"}));
}

void TestDispatch::missingHandlersReportOnce()
{
    ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    Engine engine(clock);
    engine.context().settings.AnalyzerType = "DSX";
    for (int i = 0; i < 3; ++i)
        engine.dispatcher().analyzerReceived("x");
    engine.context().settings.AnalyzerType = "Mira";
    engine.dispatcher().analyzerReceived("x");
    engine.dispatcher().analyzerReceived("x");
    engine.context().settings.AnalyzerType = "H912";
    engine.context().settings.OutType = "invH912";
    engine.context().settings.OutComPort = 2;
    engine.dispatcher().analyzerReceived("x"); // silent on purpose
    QCOMPARE(engine.log().recentLines(),
             (QStringList{"Monitor: no external handler is installed: input on the analyzer port is dropped",
                          "Monitor: DsxReceive is not available in this version: input on the analyzer port is dropped"}));
}

void TestDispatch::externalHandler()
{
    struct Recorder final : ExternalHandler
    {
        QStringList calls;
        void HandleInput(const QString& t) override { calls << "in:" + t; }
        void HandleThroughput(const QString& t) override { calls << "through:" + t; }
    } recorder;
    ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
    Engine engine(clock);
    engine.dispatcher().setExternalHandler(&recorder);
    engine.context().settings.AnalyzerType = "Mira";
    engine.dispatcher().analyzerReceived("1");
    engine.context().settings.OutType = "invH902";
    engine.context().settings.OutComPort = 2;
    engine.dispatcher().analyzerReceived("2");
    engine.dispatcher().limsReceived("3");
    QCOMPARE(recorder.calls, (QStringList{"in:1", "through:2", "through:3"}));
}

void TestDispatch::portConfig_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("described");
    QTest::addColumn<bool>("valid");
    QTest::newRow("default device") << "" << "/dev/ttyS2 9600,n,8,1" << true;
    QTest::newRow("device only") << "/dev/ttyUSB0" << "/dev/ttyUSB0 9600,n,8,1" << true;
    QTest::newRow("seven even two") << "/dev/ttyUSB0,9600,e,7,2" << "/dev/ttyUSB0 9600,e,7,2" << true;
    QTest::newRow("baud only") << "/dev/pts/3,19200" << "/dev/pts/3 19200,n,8,1" << true;
    QTest::newRow("tcp") << "tcp://192.0.2.5:4001" << "tcp://192.0.2.5:4001" << true;
    QTest::newRow("tcp without port") << "tcp://host" << "" << false;
    QTest::newRow("bad parity") << "/dev/ttyS0,9600,x" << "" << false;
    QTest::newRow("bad data bits") << "/dev/ttyS0,9600,n,9" << "" << false;
    QTest::newRow("bad stop bits") << "/dev/ttyS0,9600,n,8,3" << "" << false;
}

void TestDispatch::portConfig()
{
    QFETCH(QString, configured);
    QFETCH(bool, valid);
    QMap<int, QString> devices;
    if (!configured.isEmpty())
        devices.insert(3, configured);
    const PortConfig spec = ResolvePort(3, devices);
    QCOMPARE(spec.error.isEmpty(), valid);
    if (valid)
        QTEST(spec.describe(), "described");
}

QTEST_GUILESS_MAIN(TestDispatch)
#include "tst_dispatch.moc"
