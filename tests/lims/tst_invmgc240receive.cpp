// The MGC240 emulation toward a LIMS: the LIMS's frames fed to InvMgc240Receive, a real database and
// the real store, on fake lines.
#include "LimsFixture.h"
#include "drivers/hitachi/HitachiDriver.h"
#include "drivers/hitachi/HitachiFixture.h"
#include "lims/InvMgc240Receive.h"
#include "support/DriverRig.h"

#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::LimsFixture;
namespace Hit = Quorlix::Test::HitachiFixture;

namespace {

// Channels 1, 3 and 37 of this MGC240 are tests 11, 13 and 47; channel 2 belongs to another one.
const QStringList Setup{
    "INSERT INTO app_protocols_testmap (Analyzer_id, AssignedChannel, TestDef_Id) VALUES ('MGC240-07', 1, "
    "11)",
    "INSERT INTO app_protocols_testmap (Analyzer_id, AssignedChannel, TestDef_Id) VALUES ('MGC240-07', 3, "
    "13)",
    "INSERT INTO app_protocols_testmap (Analyzer_id, AssignedChannel, TestDef_Id) VALUES ('MGC240-07', 37, "
    "47)",
    "INSERT INTO app_protocols_testmap (Analyzer_id, AssignedChannel, TestDef_Id) VALUES ('OTHER', 2, 99)",
    "INSERT INTO MGC_SampleID (sample_id, sample_info, send) VALUES ('MA', 'old', 0)",
};

} // namespace

class TestInvMgc240Receive : public QObject
{
    Q_OBJECT

private slots:
    void orders_data();
    void orders();
};

void TestInvMgc240Receive::orders_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<bool>("online");
    QTest::addColumn<int>("answers"); // ">" frames to the analyzer
    QTest::addColumn<QStringList>("monitor");
    QTest::addColumn<QString>("requests");
    QTest::addColumn<QString>("info"); // MGC_SampleID
    QTest::addColumn<QString>("samples");

    const QString order = Mgc240Frame("101000000", "MA", "000000000000001", Selection({5}));
    const QString info = "MA|101000000" + Right("MA", 13) + "000000000000001";
    const QString three = "MA|11;MA|13;MA|47", sample = "MA|1|na|999";
    for (const QString& b : Test::Backends()) {
        const QByteArray n = b.toLatin1();
        QTest::addRow("%s flags become requests through the test map, the sample info is updated", n.data())
            << b << QStringList{order} << true << 1 << QStringList{} << three << info << sample;
        QTest::addRow("%s all zero from position 44: nothing written", n.data())
            << b << QStringList{Mgc240Frame("101000000", "MA", "", Selection({}))} << true << 1
            << QStringList{} << ""
            << "MA|old"
            << "";
        QTest::addRow("%s no MGC_SampleID row: none is made; no test map row: left out", n.data())
            << b << QStringList{Mgc240Frame("110000000", "MB", "", Selection({1}))} << true << 1
            << QStringList{"order of sample MB: channel 2 has no parameter for MGC240-07 in "
                           "app_protocols_testmap: "
                           "not ordered"}
            << "MB|11"
            << "MA|old"
            << "MB|1|na|999";
    }
    QTest::newRow("? and @ repeat, < and : are res")
        << "sqlite" << QStringList{order, Function("?"), Function("<"), Function(":"), Function("@")} << true
        << 5 << QStringList{"rep", "res", "res", "sus"} << three << info << sample;
    QTest::newRow("analyzer offline: nothing relayed, the order stored")
        << "sqlite" << QStringList{order} << false << 0 << QStringList{} << three << info << sample;
}

void TestInvMgc240Receive::orders()
{
    QFETCH(QString, backend);
    QFETCH(QStringList, frames);
    QFETCH(bool, online);
    QFETCH(int, answers);
    Test::DriverRig rig(backend);
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    Settings& s = rig.settings;
    s.AnalyzerId = "H1";
    s.AnalyzerType = "H911";
    s.OutType = "invH912";
    s.OutComPort = 2;
    s.OutId = "MGC240";
    s.Mgc240Name = "MGC240-07";
    rig.exec(Setup);
    // The analyzer's last frame gives the sample's position.
    HitachiDriver analyzer(rig.services(), HitachiModel::Hit911, true, 0);
    rig.deliver(analyzer, Hit::Frame({";A", Hit::Id911Fields(Left("MA", 13))}));
    rig.analyzerLine.takeFrames();
    const qsizetype seen = rig.monitor().size();
    InvMgc240Receive lims(rig.services(&analyzer));
    rig.link.analyzerOnline = online;

    for (const QString& frame : frames)
        rig.deliver(lims, frame);
    QCOMPARE(rig.analyzerLine.takeFrames(), QStringList(answers, Function(">")));
    QTEST(rig.monitor().mid(seen), "monitor");
    Database& db = rig.tdb.db();
    QTEST(Rows(db, "SELECT sample_id, parameter_id FROM request ORDER BY sample_id, parameter_id"),
          "requests");
    QTEST(Rows(db, "SELECT sample_id, sample_info FROM MGC_SampleID ORDER BY sample_id"), "info");
    QTEST(Rows(db, "SELECT sample_id, sample_pos, si_id, cust_id FROM sample_base"), "samples");
}

QTEST_GUILESS_MAIN(TestInvMgc240Receive)
#include "tst_invmgc240receive.moc"
