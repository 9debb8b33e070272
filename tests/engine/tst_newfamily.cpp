// A family of drivers added the way a new analyzer is added: one registration call, nothing edited
// in the layers around it. The program finds its type, builds its handlers, routes its input, leaves
// its link unsupervised, runs its configuration check and attaches its operator window's choice.
#include "drivers/SampleChoice.h"
#include "engine/AnalyzerChoice.h"
#include "engine/Engine.h"
#include "support/ManualTime.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;

namespace {

class FakeAnalyzer final : public LineHandler
{
public:
    void receive(const QString& text) override { received << text; }
    QStringList received;
    SampleChoice choice;
};

class FakeLims final : public LineHandler
{
public:
    explicit FakeLims(LineHandler* analyzer) : analyzer(analyzer) {}
    void receive(const QString&) override {}
    LineHandler* analyzer;
};

class RecordedChecks final : public ConfigChecks
{
public:
    void ok(const QString& what) override { lines << "ok: " + what; }
    void fail(int, const QString& why) override { lines << "FAILED: " + why; }
    void database(const QString&, const DatabaseTarget&, const QString&, bool) override {}
    QStringList lines;
};

void RegisterFakeFamily(DriverRegistry& registry)
{
    registry.addType(
        {.names = {"FAKE"},
         .entry = "FakeReceive",
         .entryWithLims = "FakeReceiveWithLims",
         .supervisedLink = false,
         .window = OperatorWindow::SampleChoice,
         .checks = [](ConfigChecks& checks, const Settings&) { checks.ok("the fake's own check"); },
         .sampleChoice = [](LineHandler& h) { return &static_cast<FakeAnalyzer&>(h).choice; }});
    registry.addLimsSide({.outTypes = {"invFAKE"}, .entry = "FakeLimsReceive"});
    registry.addHandler({"FakeReceive", "FakeReceiveWithLims"},
                        [](const DriverServices&) { return std::make_unique<FakeAnalyzer>(); });
    registry.addHandler({"FakeLimsReceive"}, [](const DriverServices& services) {
        return std::make_unique<FakeLims>(services.analyzerHandler);
    });
}

} // namespace

class TestNewFamily : public QObject
{
    Q_OBJECT

private slots:
    void servedWithoutEditsElsewhere();
    void shippedFamiliesStillServeTheirTypes_data();
    void shippedFamiliesStillServeTheirTypes();
};

void TestNewFamily::servedWithoutEditsElsewhere()
{
    DriverRegistry drivers;
    RegisterAllFamilies(drivers);
    RegisterFakeFamily(drivers);
    QTemporaryDir dir;
    Test::ManualTime time{QDateTime(QDate(2026, 12, 7), QTime(10, 0))};
    Engine engine(time, time, drivers);
    Settings& s = engine.settings();
    s.ComLogPath = dir.path() + '/';
    s.AnalyzerId = "F1";
    s.AnalyzerType = "FAKE";
    s.OutType = "invFAKE";
    s.OutComPort = 2;

    const AnalyzerChoice choice = ChooseAnalyzer(s, drivers);
    QCOMPARE(choice.error, QString());
    QCOMPARE(choice.entry, QString("FakeReceiveWithLims"));
    RecordedChecks checks;
    drivers.type("FAKE")->checks(checks, s);
    QCOMPARE(checks.lines, QStringList{"ok: the fake's own check"});
    QCOMPARE(drivers.type("FAKE")->iconFile(), QString("FAKE.ico"));

    engine.start();
    auto* analyzer = dynamic_cast<FakeAnalyzer*>(engine.analyzerHandler());
    QVERIFY(analyzer);
    QCOMPARE(dynamic_cast<FakeLims*>(engine.limsHandler())->analyzer, analyzer);
    engine.dispatcher().analyzerReceived("\x05");
    QCOMPARE(analyzer->received, QStringList{"\x05"});
    QCOMPARE(engine.analyzerType()->sampleChoice(*analyzer), &analyzer->choice);
    // Its link is not supervised: no tick reports it offline.
    time.advanceSeconds(30);
    QVERIFY(engine.log().recentLines().filter("OFFLINE").isEmpty());
}

// The types the program ships, with and without a LIMS side: the entry that serves the analyzer
// line, and the LIMS sides by out-id and out-type.
void TestNewFamily::shippedFamiliesStillServeTheirTypes_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("alone");
    QTest::addColumn<QString>("withLims");
    const QString silent = SilentEntry;
    QTest::newRow("H911") << "H911"
                          << "Hit911Receive"
                          << "Hit911ReceiveWithLims";
    QTest::newRow("H902") << "H902"
                          << "Hit902Receive"
                          << "Hit902ReceiveWithLims";
    QTest::newRow("H912") << "H912"
                          << "Hit912Receive" << silent;
    QTest::newRow("OAU400") << "OAU400"
                            << "Au400Receive"
                            << "Au400ReceiveWithLims";
    QTest::newRow("OAU600") << "OAU600"
                            << "Au600Receive"
                            << "Au600ReceiveWithLims";
    QTest::newRow("OAU680") << "OAU680"
                            << "Au680Receive"
                            << "Au680ReceiveWithLims";
    QTest::newRow("DSX") << "DSX"
                         << "DsxReceive" << silent;
    QTest::newRow("ACT") << "ACT"
                         << "ActReceive" << silent;
    QTest::newRow("IND") << "IND"
                         << "IndikoReceive" << silent;
    QTest::newRow("INDREQ") << "INDREQ"
                            << "IndikoRequestReceive"
                            << "";
    QTest::newRow("INDREADY") << "INDREADY"
                              << "IndikoReadyReceive"
                              << "";
    QTest::newRow("INDRESULT") << "INDRESULT"
                               << "IndikoResultReceive"
                               << "";
    QTest::newRow("Mira") << "Mira" << ExternalInput << ExternalThroughput;
    QTest::newRow("MGC") << "MGC"
                         << ""
                         << "";
    QTest::newRow("MGC_ONLINE") << "MGC_ONLINE"
                                << ""
                                << "";
    QTest::newRow("INPUT") << "INPUT"
                           << ""
                           << "";
    QTest::newRow("unknown") << "h911"
                             << ""
                             << "";
}

void TestNewFamily::shippedFamiliesStillServeTheirTypes()
{
    QFETCH(QString, type);
    const DriverRegistry& drivers = AllDrivers();
    QTEST(drivers.analyzerEntry(type, false), "alone");
    QTEST(drivers.analyzerEntry(type, true), "withLims");
    QCOMPARE(drivers.type(type) && !drivers.type(type)->supervisedLink, type == "MGC");

    const auto lims = [&](const QString& outId, const QString& outType) {
        const LimsSideType* side = drivers.limsSide(outId, outType);
        return side ? side->entry : QString();
    };
    QCOMPARE(lims("MGC240", "invH912"), QString("InvMgc240Receive"));
    QCOMPARE(lims("LIMS", "invH912"), QString("InvH912Receive"));
    QCOMPARE(lims("LIMS", "invH911"), ExternalThroughput);
    QCOMPARE(lims("LIMS", "invOAU600"), QString("InvAu600Receive"));
    QCOMPARE(lims("LIMS", "H912"), QString());
    QCOMPARE(drivers.wakeUps("MGC240", "H912"), 2);
    QCOMPARE(drivers.wakeUps("LIMS", "invH912"), 0);
}

QTEST_GUILESS_MAIN(TestNewFamily)
#include "tst_newfamily.moc"
