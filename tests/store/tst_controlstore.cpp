#include "StoreFixture.h"
#include "store/ControlBlocks.h"
#include "store/ControlStore.h"
#include "store/Store.h"

#include <QTest>

using namespace Quorlix;

namespace {

// Control results of a Hitachi 911 named H911, the clock standing at 10:39:40.
struct Fixture : Test::StoreFixture
{
    using StoreFixture::StoreFixture;

    void control(const QString& id, const QList<QPair<qint16, QString>>& results)
    {
        SampleRecord& s = sampleRecord;
        s = SampleRecord();
        s.SampleId = id;
        s.ResultCount = static_cast<qint16>(results.size());
        for (int k = 0; k < results.size(); ++k) {
            s.Results[static_cast<size_t>(k)].ParameterId = results.at(k).first;
            s.Results[static_cast<size_t>(k)].Value = results.at(k).second;
        }
        storeControl();
    }
    int blocks(const QString& control = QStringLiteral("QC1"))
    {
        return tdb.count(QStringLiteral("control_block"),
                         QStringLiteral("control_id = ? AND analyzer_id = 'H911'"), {control});
    }
    // QC1 has four parameters on H911 (range 10..20) and one on another analyzer.
    void controlDefinitions()
    {
        for (int p = 1; p <= 5; ++p) {
            tdb.exec(QStringLiteral("INSERT INTO control_def (control_id, parameter_id, range_low, "
                                    "range_high) VALUES ('QC1', ?, 10, 20)"),
                     {p});
            tdb.exec(
                QStringLiteral(
                    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (?, ?, ?)"),
                {p, p == 5 ? QStringLiteral("H912") : QStringLiteral("H911"), p});
        }
    }
};

} // namespace

class TestControlStore : public QObject
{
    Q_OBJECT

private slots:
    void matchesMask_data();
    void matchesMask();
    void controlBlockCycle_data() { Test::AddBackendRows(); }
    void controlBlockCycle();
    void rearmAllControlBlocks_data() { Test::AddBackendRows(); }
    void rearmAllControlBlocks();
    void controlRowValues_data() { Test::AddBackendRows(); }
    void controlRowValues();
    void refusedRowIsSkipped_data() { Test::AddBackendRows(); }
    void refusedRowIsSkipped();
    void frameTowardLims_data() { Test::AddBackendRows(); }
    void frameTowardLims();
};

void TestControlStore::matchesMask_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("matches");
    QTest::newRow("digits") << "QC1234"
                            << "QC????" << true;
    QTest::newRow("letters") << "QCABCD"
                             << "QC????" << true;
    QTest::newRow("shorter text") << "QC123"
                                  << "QC????" << false;
    QTest::newRow("longer text") << "QC12345"
                                 << "QC????" << false;
    QTest::newRow("case-sensitive") << "qc1234"
                                    << "QC????" << false;
    QTest::newRow("question mark in text needs a mask ?") << "QC?234"
                                                          << "QC1???" << false;
    QTest::newRow("both empty") << ""
                                << "" << true;
    QTest::newRow("empty mask, id") << "QC1234"
                                    << "" << false;
    QTest::newRow("exact") << "CTRL"
                           << "CTRL" << true;
}

void TestControlStore::matchesMask()
{
    QFETCH(QString, text);
    QFETCH(QString, mask);
    QTEST(MatchesMask(text, mask), "matches");
}

void TestControlStore::controlBlockCycle()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.controlDefinitions();

    // Never armed: the first result arms the control at once (only the analyzer's parameters).
    f.control(QStringLiteral("QC1"), {{1, QStringLiteral("15")}});
    QCOMPARE(f.blocks(), 4);
    f.control(QStringLiteral("QC1"), {{1, QStringLiteral("10")}}); // limits are in range
    QCOMPARE(f.blocks(), 3);
    f.control(QStringLiteral("QC1"), {{2, QStringLiteral("20")}});
    QCOMPARE(f.blocks(), 2);
    f.control(QStringLiteral("QC1"), {{3, QStringLiteral("<0.1")}}); // reads as 0: out of range
    QCOMPARE(f.blocks(), 2);
    f.control(QStringLiteral("QC1"), {{3, QStringLiteral("20.5")}});
    QCOMPARE(f.blocks(), 2);
    f.control(QStringLiteral("QC1"), {{3, QStringLiteral(" 15 ")}});
    QCOMPARE(f.blocks(), 1);
    // The last parameter empties the block, which is armed again in the same call.
    f.control(QStringLiteral("QC1"), {{4, QStringLiteral("12")}});
    QCOMPARE(f.blocks(), 4);
    QCOMPARE(f.tdb.count(QStringLiteral("control_results"), QStringLiteral("control_id = 'QC1'")), 7);

    // A control without a target range is stored but not booked.
    f.control(QStringLiteral("QC9"), {{1, QStringLiteral("15")}});
    QCOMPARE(f.tdb.count(QStringLiteral("control_results"), QStringLiteral("control_id = 'QC9'")), 1);
    QCOMPARE(f.blocks(QStringLiteral("QC9")), 0);
}

void TestControlStore::rearmAllControlBlocks()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.controlDefinitions();
    f.tdb.exec(QStringLiteral(
        "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC2', 2, 1, 2)"));
    f.tdb.exec(QStringLiteral("INSERT INTO control_block (control_id, parameter_id, analyzer_id) "
                              "VALUES ('QC1', 1, 'H911'), ('QC1', 99, 'H911'), ('QC1', 5, 'H912')"));
    QVERIFY(RearmAllControlBlocks(f.tdb.db(), QStringLiteral("H911")).ok());
    QCOMPARE(f.blocks(QStringLiteral("QC1")), 4);
    QCOMPARE(f.tdb.count(QStringLiteral("control_block"), QStringLiteral("parameter_id = 99")), 0);
    QCOMPARE(f.blocks(QStringLiteral("QC2")), 1);
    QCOMPARE(f.tdb.count(QStringLiteral("control_block"), QStringLiteral("analyzer_id = 'H912'")),
             1); // other analyzer untouched
}

void TestControlStore::controlRowValues()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.setup.AnalyzerId.clear();
    f.control(QStringLiteral(" QC 1 "),
              {{1, QStringLiteral("  12.5")}, {2, QStringLiteral("   ")}, {3, QStringLiteral("<0.1")}});
    QCOMPARE(f.tdb.count(QStringLiteral("control_results"),
                         QStringLiteral("control_id = 'QC1' AND analyzer_id IS NULL")),
             3);
    QCOMPARE(f.tdb.scalar(QStringLiteral("SELECT result FROM control_results WHERE parameter_id = 1")),
             QStringLiteral("12.5"));
    QCOMPARE(f.tdb.count(QStringLiteral("control_results"), QStringLiteral("result IS NULL")), 2);
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM control_results WHERE parameter_id = 1")
                        .arg(f.stampOf(QStringLiteral("time_stamp")))),
             QStringLiteral("2026-12-07 10:39:40"));
    const QStringList lines = f.monitor();
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.first().contains(QStringLiteral("QC 1")) &&
            lines.first().contains(QStringLiteral("\"<0.1\"")));

    // An empty control id is stored as NULL; quotes are stored as they are.
    f.setup.AnalyzerId = QStringLiteral("H911");
    f.control(QStringLiteral("  "), {{1, QStringLiteral("1")}});
    QCOMPARE(f.tdb.count(QStringLiteral("control_results"), QStringLiteral("control_id IS NULL")), 1);
    f.control(QStringLiteral("Q'C"), {{1, QStringLiteral("1")}});
    QCOMPARE(f.tdb.count(QStringLiteral("control_results"), QStringLiteral("control_id = ?"),
                         {QStringLiteral("Q'C")}),
             1);
}

void TestControlStore::refusedRowIsSkipped()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.controlDefinitions();
    f.tdb.exec(QStringLiteral(
        "CREATE UNIQUE INDEX ux_control_once ON control_results (control_id, parameter_id, time_stamp)"));
    f.control(QStringLiteral("QC1"), {{1, QStringLiteral("15")}});
    QCOMPARE(f.blocks(), 4);
    // The same record again (same second): the database refuses the rows; the record goes on,
    // the range check still books, and nothing goes to a spool.
    f.control(QStringLiteral("QC1"), {{1, QStringLiteral("15")}, {2, QStringLiteral("15")}});
    QCOMPARE(f.tdb.count(QStringLiteral("control_results")), 2);
    QCOMPARE(f.blocks(), 2);
    QCOMPARE(f.monitor().filter(QStringLiteral("result not stored")).size(), 1);
}

void TestControlStore::frameTowardLims()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.setup.OutType = QStringLiteral("invH912");
    f.setup.OutComPort = 2;
    f.setup.OutId = QStringLiteral("H912");
    // Parameter 1 has channel 12 on the LIMS-side analyzer, parameter 2 none, parameter 3 channel 14.
    f.tdb.exec(QStringLiteral("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, "
                              "'H912', 12), (2, 'H911', 3), (3, 'H912', 14)"));
    f.frameRecord.CurFunction = QStringLiteral(":");
    f.frameRecord.CurFrameClass = QStringLiteral("a");
    f.frameRecord.CurNumber = QStringLiteral("42");
    f.frameRecord.CurInfo1 = QStringLiteral("1");
    f.frameRecord.CurInfo2 = QStringLiteral("07");
    SampleRecord& s = f.sampleRecord;
    s = SampleRecord();
    s.SampleId = QStringLiteral("Q'C1");
    s.SamplePos = QStringLiteral("5");
    s.ResultCount = 3;
    s.Results[0].ParameterId = 1;
    s.Results[0].Value = QStringLiteral("4.5");
    s.Results[1].ParameterId = 2;
    s.Results[1].Value = QStringLiteral("100");
    s.Results[2].ParameterId = 3;
    s.Results[2].Value = QStringLiteral("*ERR*"); // kept as NULL, neither counted nor sent
    f.storeControl();
    QCOMPARE(
        f.tdb.count(QStringLiteral("control_results"), QStringLiteral("parameter_id = 3 AND result IS NULL")),
        1);

    const QString expected = Test::Stx + QStringLiteral(":") + QStringLiteral("A") + QStringLiteral("1") +
                             QStringLiteral("   42") + QStringLiteral("1") + QStringLiteral(" 5") +
                             QStringLiteral("5") + QStringLiteral("         Q'C1") + QStringLiteral("   1") +
                             QStringLiteral("7") + QStringLiteral("1207261039") + QStringLiteral("      ") +
                             QStringLiteral(" 2")          // both results counted ...
                             + QStringLiteral("12   4.5 ") // ... one with a channel for the LIMS side
                             + QStringLiteral("000000") + Test::Etx;
    QCOMPARE(f.limsLine.takeSent(), expected);
    QVERIFY(!f.log.recentLines().filter(QStringLiteral("H->L")).isEmpty());
}

QTEST_GUILESS_MAIN(TestControlStore)
#include "tst_controlstore.moc"
