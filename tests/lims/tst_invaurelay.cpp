// The AU relay between an analyzer and a LIMS that plays its host: the analyzer's patient request
// reaches the LIMS; what the LIMS sends reaches the analyzer unchanged, an ACK at once (even while a
// frame is half collected) and a frame once, complete. The cutting itself is tested on text alone
// (tst_auframe).
#include "comm/Dispatch.h"
#include "drivers/DriverRegistry.h"
#include "drivers/au/AuDrivers.h"
#include "lims/InvAuRelay.h"
#include "support/DriverRig.h"

#include <QTest>

using namespace Quorlix;

class TestInvAuRelay : public QObject
{
    Q_OBJECT

private slots:
    void bothWays_data();
    void bothWays();
};

void TestInvAuRelay::bothWays_data()
{
    QTest::addColumn<QString>("outType");
    QTest::newRow("invOAU400") << "invOAU400";
    QTest::newRow("invOAU600") << "invOAU600";
}

void TestInvAuRelay::bothWays()
{
    QFETCH(QString, outType);
    const QString STX(QChar(0x02)), ETX(QChar(0x03)), ACK(QChar(0x06));
    const QString id = QString("4711").leftJustified(20);
    const QString request = STX + "RH010103N0042" + id + QString(5, ' ') + ETX;
    const QString order = STX + "SH010103N0042" + id + "    E0312" + ETX;
    Test::DriverRig rig("sqlite");
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    rig.settings.AnalyzerId = "AU1";
    rig.settings.AnalyzerType = "OAU400";
    rig.settings.OutType = outType;
    rig.settings.OutComPort = 2;
    DriverRegistry registry;
    RegisterAuDrivers(registry);
    RegisterAuLimsRelay(registry);
    const auto analyzer = (*registry.handler(registry.analyzerEntry("OAU400", true)))(rig.services());
    const auto lims =
        (*registry.handler(registry.limsSide("LIMS", outType)->entry))(rig.services(analyzer.get()));

    rig.deliver(*analyzer, request);
    QCOMPARE(rig.limsLine.takeFrames(), QStringList{request});
    QCOMPARE(rig.analyzerLine.takeOperations(), QStringList{});
    rig.deliver(*lims, order.left(7));
    rig.deliver(*lims, ACK);
    QCOMPARE(rig.analyzerLine.takeOperations(), QStringList{ACK}); // at once, without a pause
    rig.deliver(*lims, order.mid(7, 20));
    QCOMPARE(rig.analyzerLine.takeOperations(), QStringList{});
    QCOMPARE(rig.stats.orderReplies.count, 0u); // the request waits for the LIMS's order
    rig.deliver(*lims, order.mid(27) + "\r\n");
    QCOMPARE(rig.analyzerLine.takeOperations(), QStringList{order});
    QCOMPARE(rig.stats.orderReplies.count, 1u);
    QCOMPARE(rig.limsLine.takeFrames(), QStringList{});
    const QStringList lines = rig.lines();
    QCOMPARE(lines.filter("L->H").size(), 2);
    QCOMPARE(rig.monitor(), QStringList{}); // the CR LF after the frame is no fault
    QCOMPARE(rig.tdb.count("Raw_Results") + rig.tdb.count("request"), 0);
}

QTEST_GUILESS_MAIN(TestInvAuRelay)
#include "tst_invaurelay.moc"
