// Orders of a LIMS the laboratory database refuses in part or whole hold up nothing: the
// analyzer's results behind them are stored at once.
#include "LimsFixture.h"
#include "lims/LimsOrderStore.h"
#include "store/Spool.h"
#include "support/DriverRig.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::LimsFixture;
using Quorlix::Test::DriverRig;

class TestLimsOrderStore : public QObject
{
    Q_OBJECT

private slots:
    void refusedOrderBlocksNothing_data();
    void refusedOrderBlocksNothing();
};

void TestLimsOrderStore::refusedOrderBlocksNothing_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("requests");
    QTest::addColumn<int>("quarantined");
    for (const QString& b : Test::Backends()) {
        const QByteArray n = b.toLatin1();
        // The patient's row is changed as it is written: it cannot be found again. The ordered
        // tests are stored without patient and sample.
        QTest::addRow("%s new patient cannot be read back", n.data()) << b << "patient"
                                                                      << "ORD|7|NULL;S1|7|3" << 0;
        // The whole order is set aside.
        QTest::addRow("%s MGC240 order, MGC_SampleID missing", n.data()) << b << "MGC_SampleID"
                                                                         << "S1|7|3" << 1;
    }
}

void TestLimsOrderStore::refusedOrderBlocksNothing()
{
    QFETCH(QString, backend);
    QFETCH(QString, refusal);
    DriverRig rig(backend);
    QVERIFY2(rig.tdb.ok(), qPrintable(rig.tdb.error()));
    rig.settings.AnalyzerId = QStringLiteral("H1");
    rig.settings.AnalyzerType = QStringLiteral("H902");
    rig.settings.OutId = QStringLiteral("LIMS");
    QTemporaryDir spool;
    rig.store.openSpool(spool.path());
    rig.exec({"INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (7, 'LIMS', 1)",
              "INSERT INTO app_protocols_testmap (Analyzer_id, AssignedChannel, TestDef_Id) VALUES ('MGC', "
              "1, 7)"});

    LimsOrderJob order{OrderFrame("ORD", Selection({1}), {"Meier", "Anna", {}, {}, "P-1", {}}),
                       QStringLiteral("1"), QStringLiteral("MGC")};
    const JobKind* kind = &rig.store.kinds().require<LimsOrderJobKind>();
    if (refusal == QLatin1String("patient")) {
        if (backend == QLatin1String("sqlite"))
            rig.exec({"CREATE TRIGGER shout AFTER INSERT ON patients BEGIN UPDATE patients SET surname = "
                      "upper(NEW.surname) WHERE rowid = NEW.rowid; END"});
        else
            rig.exec(
                {"CREATE FUNCTION shout() RETURNS trigger AS $$ BEGIN NEW.surname := upper(NEW.surname); "
                 "RETURN NEW; END $$ LANGUAGE plpgsql",
                 "CREATE TRIGGER shout BEFORE INSERT ON patients FOR EACH ROW EXECUTE FUNCTION shout()"});
    } else {
        rig.exec({"DROP TABLE MGC_SampleID"});
        order.frame = Mgc240Frame("100000000", "ORD", "", Selection({1}));
        kind = &rig.store.kinds().require<Mgc240OrderJobKind>();
    }
    rig.store.submit(rig.store.newJob(*kind, order));

    SampleRecord sample;
    sample.SampleId = QStringLiteral("S1");
    sample.ResultCount = 1;
    sample.Results[0] = {7, 1, QStringLiteral("     3"), QStringLiteral(" ")};
    rig.store.StoreSampleResult(sample, {}, {});

    QCOMPARE(rig.store.spool()->pendingCount(), 0);
    QTEST(Rows(rig.tdb.db(), "SELECT sample_id, parameter_id, result FROM request ORDER BY sample_id"),
          "requests");
    QTEST(rig.store.spool()->quarantinedCount(), "quarantined");
    QCOMPARE(rig.monitor().filter("database failure"), QStringList{});
    QCOMPARE(rig.monitor().filter("ORD").size(), 1); // one line names the order
}

QTEST_GUILESS_MAIN(TestLimsOrderStore)
#include "tst_limsorderstore.moc"
