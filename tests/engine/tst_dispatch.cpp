#include "comm/Dispatch.h"
#include "comm/PortConfig.h"
#include "engine/Engine.h"
#include "support/ManualTime.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;

namespace {

// Every entry of the dispatch tables, each served by a handler that records what it receives.
const QStringList Entries{
    "Hit911Receive",        "Hit902Receive",         "Hit912Receive",         "DsxReceive",
    "ActReceive",           "Au400Receive",          "Au600Receive",          "Au680Receive",
    "IndikoReceive",        "Hit911ReceiveWithLims", "Hit902ReceiveWithLims", "Au400ReceiveWithLims",
    "Au600ReceiveWithLims", "Au680ReceiveWithLims",  "InvMgc240Receive",      "InvH912Receive",
    "InvAu400Receive",      "InvAu600Receive"};

class Recorder final : public LineHandler
{
public:
    Recorder(QString entry, QStringList& calls) : m_entry(std::move(entry)), m_calls(calls) {}
    void receive(const QString& text) override { m_calls << m_entry + ":" + text; }

private:
    QString m_entry;
    QStringList& m_calls;
};

struct Rig
{
    explicit Rig(const QStringList& served = Entries) : registry(TypesOnly()), engine(time, time, registry)
    {
        engine.settings().ComLogPath = dir.path() + '/';
        for (const QString& entry : served)
            registry.addHandler({entry}, [this, entry](const DriverServices&) {
                return std::make_unique<Recorder>(entry, calls);
            });
    }
    QStringList monitor() { return engine.log().recentLines().filter("Monitor: "); }

    // The shipped types and LIMS sides, without their drivers.
    static DriverRegistry TypesOnly()
    {
        DriverRegistry types;
        for (const AnalyzerType& type : AllDrivers().types())
            types.addType(type);
        for (const LimsSideType& side : AllDrivers().limsSides())
            types.addLimsSide(side);
        return types;
    }

    QTemporaryDir dir;
    Test::ManualTime time{QDateTime(QDate(2026, 12, 7), QTime(10, 0))};
    DriverRegistry registry;
    Engine engine;
    QStringList calls;
};

} // namespace

class TestDispatch : public QObject
{
    Q_OBJECT

private slots:
    void routes_data();
    void routes();
    void stampsEachSide();
    void missingHandlersReportOnce();
    void externalHandler();
    void portConfig_data();
    void portConfig();
};

void TestDispatch::routes_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("outType");
    QTest::addColumn<QString>("outId");
    QTest::addColumn<QStringList>("received"); // what a piece on each line reaches
    const QStringList none;
    QTest::newRow("H911") << "H911"
                          << ""
                          << "" << QStringList{"Hit911Receive:a"};
    QTest::newRow("H911 with LIMS") << "H911"
                                    << "invH912"
                                    << "LIMS" << QStringList{"Hit911ReceiveWithLims:a", "InvH912Receive:l"};
    QTest::newRow("H902 with LIMS") << "H902"
                                    << "invH912"
                                    << "LIMS" << QStringList{"Hit902ReceiveWithLims:a", "InvH912Receive:l"};
    QTest::newRow("H902") << "H902"
                          << ""
                          << "" << QStringList{"Hit902Receive:a"};
    QTest::newRow("H912") << "H912"
                          << ""
                          << "" << QStringList{"Hit912Receive:a"};
    QTest::newRow("H912 with LIMS: read and dropped") << "H912"
                                                      << "invOAU400"
                                                      << "LIMS" << QStringList{"InvAu400Receive:l"};
    QTest::newRow("DSX") << "DSX"
                         << ""
                         << "" << QStringList{"DsxReceive:a"};
    QTest::newRow("ACT") << "ACT"
                         << ""
                         << "" << QStringList{"ActReceive:a"};
    QTest::newRow("IND") << "IND"
                         << ""
                         << "" << QStringList{"IndikoReceive:a"};
    QTest::newRow("IND with LIMS: dropped") << "IND"
                                            << "invOAU600"
                                            << "LIMS" << QStringList{"InvAu600Receive:l"};
    QTest::newRow("OAU400") << "OAU400"
                            << ""
                            << "" << QStringList{"Au400Receive:a"};
    QTest::newRow("OAU600 with LIMS") << "OAU600"
                                      << "invOAU600"
                                      << "LIMS" << QStringList{"Au600ReceiveWithLims:a", "InvAu600Receive:l"};
    QTest::newRow("OAU680 with LIMS") << "OAU680"
                                      << "invOAU400"
                                      << "LIMS" << QStringList{"Au680ReceiveWithLims:a", "InvAu400Receive:l"};
    QTest::newRow("MGC240 wins over the out-type")
        << "H911"
        << "invH912"
        << "MGC240" << QStringList{"Hit911ReceiveWithLims:a", "InvMgc240Receive:l"};
    QTest::newRow("H912 as out-type serves nothing") << "H911"
                                                     << "H912"
                                                     << "LIMS" << QStringList{"Hit911ReceiveWithLims:a"};
    QTest::newRow("types are case-sensitive") << "h911"
                                              << "INVH912"
                                              << "mgc240" << none;
    QTest::newRow("MGC has no line") << "MGC"
                                     << ""
                                     << "" << none;
    QTest::newRow("INPUT has no line") << "INPUT"
                                       << ""
                                       << "" << none;
}

void TestDispatch::routes()
{
    QFETCH(QString, type);
    QFETCH(QString, outType);
    QFETCH(QString, outId);
    Rig rig;
    Settings& s = rig.engine.settings();
    s.AnalyzerType = type;
    s.OutType = outType;
    s.OutId = outId;
    if (!outType.isEmpty())
        s.OutComPort = 2;
    rig.engine.start();
    rig.engine.dispatcher().analyzerReceived("a");
    rig.engine.dispatcher().limsReceived("l");
    QTEST(rig.calls, "received");
    QCOMPARE(rig.monitor(), QStringList{});
}

void TestDispatch::stampsEachSide()
{
    Rig rig;
    rig.engine.settings().AnalyzerType = "H911";
    rig.engine.start();
    const LinkState& link = rig.engine.link();
    rig.engine.dispatcher().analyzerReceived("a");
    QCOMPARE(link.LastAnalyzerInput, rig.time.now());
    QVERIFY(!link.LastLimsInput.isValid());
    rig.time.advanceSeconds(5);
    rig.engine.dispatcher().limsReceived("d"); // no LIMS side: stamped, dropped
    QCOMPARE(link.LastLimsInput, rig.time.now());
    QVERIFY(link.LastAnalyzerInput < link.LastLimsInput);
}

void TestDispatch::missingHandlersReportOnce()
{
    Rig rig(QStringList{"Hit911Receive"});
    rig.engine.settings().AnalyzerType = "DSX";
    rig.engine.start();
    for (int i = 0; i < 3; ++i)
        rig.engine.dispatcher().analyzerReceived("x");
    QCOMPARE(
        rig.monitor(),
        QStringList{
            "Monitor: DsxReceive is not available in this version: input on the analyzer port is dropped"});

    Rig mira;
    mira.engine.settings().AnalyzerType = "Mira";
    mira.engine.start();
    mira.engine.dispatcher().analyzerReceived("x");
    mira.engine.dispatcher().analyzerReceived("x");
    QCOMPARE(mira.monitor(),
             QStringList{"Monitor: no external handler is installed: input on the analyzer port is dropped"});
}

void TestDispatch::externalHandler()
{
    struct External final : ExternalHandler
    {
        QStringList calls;
        void HandleInput(const QString& t) override { calls << "in:" + t; }
        void HandleThroughput(const QString& t) override { calls << "through:" + t; }
    };
    External mira;
    Rig input;
    input.engine.dispatcher().setExternalHandler(&mira);
    input.engine.settings().AnalyzerType = "Mira";
    input.engine.start();
    input.engine.dispatcher().analyzerReceived("1");

    External throughput;
    Rig both;
    both.engine.dispatcher().setExternalHandler(&throughput);
    Settings& s = both.engine.settings();
    s.AnalyzerType = "Mira";
    s.OutType = "invH902";
    s.OutComPort = 2;
    both.engine.start();
    both.engine.dispatcher().analyzerReceived("2");
    both.engine.dispatcher().limsReceived("3");
    QCOMPARE(mira.calls, QStringList{"in:1"});
    QCOMPARE(throughput.calls, (QStringList{"through:2", "through:3"}));
}

void TestDispatch::portConfig_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("described");
    QTest::addColumn<bool>("valid");
    QTest::newRow("default device") << ""
                                    << "/dev/ttyS2 9600,n,8,1" << true;
    QTest::newRow("device only") << "/dev/ttyUSB0"
                                 << "/dev/ttyUSB0 9600,n,8,1" << true;
    QTest::newRow("seven even two") << "/dev/ttyUSB0,9600,e,7,2"
                                    << "/dev/ttyUSB0 9600,e,7,2" << true;
    QTest::newRow("baud only") << "/dev/pts/3,19200"
                               << "/dev/pts/3 19200,n,8,1" << true;
    QTest::newRow("tcp") << "tcp://192.0.2.5:4001"
                         << "tcp://192.0.2.5:4001" << true;
    QTest::newRow("tcp without port") << "tcp://host"
                                      << "" << false;
    QTest::newRow("bad parity") << "/dev/ttyS0,9600,x"
                                << "" << false;
    QTest::newRow("bad data bits") << "/dev/ttyS0,9600,n,9"
                                   << "" << false;
    QTest::newRow("bad stop bits") << "/dev/ttyS0,9600,n,8,3"
                                   << "" << false;
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
