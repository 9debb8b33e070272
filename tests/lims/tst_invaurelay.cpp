// The AU relay on the LIMS port: what the LIMS sends reaches the analyzer unchanged, an ACK at once
// and a frame once complete; and, the other way, the analyzer's patient requests reach the LIMS.
#include "comm/Dispatch.h"
#include "drivers/DriverRegistry.h"
#include "drivers/au/AuDrivers.h"
#include "lims/InvAuRelay.h"
#include "support/DriverRig.h"

#include <QTest>

using namespace Quorlix;

namespace {

const QString STX(QChar(0x02)), ETX(QChar(0x03)), ACK(QChar(0x06));
const QString Order = STX + "SH010103N0042" + QString("4711").leftJustified(20) + "    E0312" + ETX;
const QString Request = STX + "RH010103N0042" + QString("4711").leftJustified(20) + QString(5, ' ') + ETX;

} // namespace

class TestInvAuRelay : public QObject
{
    Q_OBJECT

private slots:
    void relay_data();
    void relay();
    void bothWays();
};

void TestInvAuRelay::relay_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QStringList>("toAnalyzer"); // one send per line
    QTest::addColumn<int>("notes");
    const QString head = Order.left(7), middle = Order.mid(7, 20), tail = Order.mid(27);
    QTest::newRow("ACK while a frame is half collected, then the frame")
        << "InvAu400Receive" << QStringList{head, ACK, middle, tail} << QStringList{ACK, Order} << 0;
    QTest::newRow("frame in three pieces: once, complete")
        << "InvAu600Receive" << QStringList{head, middle, tail} << QStringList{Order} << 0;
    QTest::newRow("ACK and order in one piece")
        << "InvAu400Receive" << QStringList{ACK + Order} << QStringList{ACK, Order} << 0;
    QTest::newRow("line noise between frames dropped")
        << "InvAu600Receive" << QStringList{"\r\n" + Order} << QStringList{Order} << 1;
}

void TestInvAuRelay::relay()
{
    QFETCH(QString, entry);
    QFETCH(QStringList, pieces);
    Test::DriverRig rig("sqlite");
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    DriverRegistry registry;
    RegisterAuLimsRelay(registry);
    const DriverRegistry::HandlerFactory* factory = registry.handler(entry);
    QVERIFY(factory);
    const std::unique_ptr<LineHandler> relay = (*factory)(rig.services());
    for (const QString& piece : pieces)
        relay->receive(piece);
    QTEST(rig.analyzerLine.takeOperations(), "toAnalyzer"); // no pauses, nothing else
    QCOMPARE(rig.limsLine.takeFrames(), QStringList{});
    QTEST(int(rig.monitor().size()), "notes");
    QCOMPARE(rig.tdb.count("Raw_Results") + rig.tdb.count("request"), 0);
}

void TestInvAuRelay::bothWays()
{
    // The analyzer asks for a patient's orders; the LIMS answers; the analyzer gets the answer.
    Test::DriverRig rig("sqlite");
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    rig.settings.AnalyzerId = "AU1";
    rig.settings.AnalyzerType = "OAU400";
    rig.settings.OutType = "invOAU400";
    rig.settings.OutComPort = 2;
    DriverRegistry registry;
    RegisterAuDrivers(registry);
    RegisterAuLimsRelay(registry);
    const auto analyzer = (*registry.handler(AnalyzerEntryFor("OAU400", true)))(rig.services());
    const auto lims = (*registry.handler(LimsEntryFor("LIMS", "invOAU400")))(rig.services(analyzer.get()));
    analyzer->receive(Request);
    QCOMPARE(rig.limsLine.takeFrames(), QStringList{Request});
    lims->receive(ACK + Order.left(30));
    lims->receive(Order.mid(30));
    QCOMPARE(rig.analyzerLine.takeFrames(), (QStringList{ACK, Order}));
    const QStringList lines = rig.lines();
    QCOMPARE(lines.filter("L->H").size(), 2);
    QCOMPARE(lines.filter("H->L").size(), 1);
}

QTEST_GUILESS_MAIN(TestInvAuRelay)
#include "tst_invaurelay.moc"
