// The Hitachi 912 emulation toward a LIMS: the LIMS's pieces fed to InvH912Receive, with a Hitachi
// 902 or 911 driver on the analyzer line, a real database and the real store, on fake lines.
#include "LimsFixture.h"
#include "comm/PeriodicTasks.h"
#include "drivers/hitachi/HitachiDriver.h"
#include "drivers/hitachi/HitachiFixture.h"
#include "lims/InvH912Receive.h"
#include "store/Spool.h"
#include "support/DriverRig.h"

#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::LimsFixture;
namespace Hit = Quorlix::Test::HitachiFixture;

namespace {

// The LIMS side's channels 1, 5, 9 and 12 are parameters 1, 2, 8 and 12, which the analyzer
// measures on its channels 1, 2, 20 and 30.
const QStringList Setup{
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, 'LIMS1', 1)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (2, 'LIMS1', 5)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (8, 'LIMS1', 9)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (12, 'LIMS1', 12)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, 'H1', 1)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (2, 'H1', 2)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (8, 'H1', 20)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (12, 'H1', 30)",
    "INSERT INTO patients (p_id, si_id) VALUES (1, 'NA')",
};

const QString Id = QStringLiteral("240101");

// The analyzer's order replies after its inquiry for Id, echoing the inquiry frames of
// HitachiFixture.
QString Reply902(const QString& selection)
{
    return STX + ";A " + "00012" + " " + "007" + Right(Id, 13) + Blanks(15) + " 37" + selection + "00000" +
           ETX;
}
QString Reply911(const QString& selection)
{
    return STX + ";A " + "  1" + "1" + " 1" + Right(Id, 13) + "   3" + " " + "031992" + "1147" + "48" +
           selection + "00000" + ETX;
}

// The analyzer driver with its LIMS side and the LIMS-side handler; the analyzer has asked for
// the orders of Id, which it does not have.
struct Emulation
{
    // databaseAway: the program starts while the database does not answer.
    explicit Emulation(const QString& backend, HitachiModel model = HitachiModel::Hit902,
                       bool databaseAway = false)
        : rig(backend)
    {
        Settings& s = rig.settings;
        s.AnalyzerId = "H1";
        s.AnalyzerType = model == HitachiModel::Hit902 ? "H902" : "H911";
        s.OutType = "invH912";
        s.OutComPort = 2;
        s.OutId = "LIMS1";
        if (!rig.tdb.ok())
            return;
        rig.exec(Setup);
        for (const QString& sql : rig.tdb.db().dialect().explicitIdentityAfter("patients", "p_id"))
            rig.tdb.exec(sql);
        if (databaseAway)
            rig.tdb.db().close();
        analyzer = std::make_unique<HitachiDriver>(rig.services(), model, true, 0);
        lims = std::make_unique<InvH912Receive>(rig.services(analyzer.get()));
        rig.deliver(*analyzer, model == HitachiModel::Hit902
                                   ? Hit::Frame({";A", Hit::Id902Fields(Right(Id, 13))})
                                   : Hit::Frame({";A", Hit::Id911Fields(Left(Id, 13))}));
        rig.analyzerLine.takeFrames();
        rig.limsLine.takeFrames(); // the 902 forwarded the inquiry
        seen = rig.monitor().size();
    }
    void feed(const QStringList& pieces)
    {
        for (const QString& piece : pieces)
            rig.deliver(*lims, piece);
    }
    QStringList monitor() // since the last call
    {
        const QStringList all = rig.monitor();
        return all.mid(std::exchange(seen, all.size()));
    }
    QString rows(const QString& sql) { return Rows(rig.tdb.db(), sql); }

    Test::DriverRig rig;
    std::unique_ptr<HitachiDriver> analyzer;
    std::unique_ptr<InvH912Receive> lims;
    qsizetype seen = 0;
};

const QString Requests = QStringLiteral(
    "SELECT sample_id, parameter_id, result FROM request ORDER BY sample_id, parameter_id, result");

} // namespace

class TestInvH912Receive : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void analyzerOffline();
    void forwardedInquiryIsAnsweredByTheLims();
    void sampleFromOrder_data();
    void sampleFromOrder();
    void databaseFailure();
    void orderWhileTheDatabaseIsAway_data();
    void orderWhileTheDatabaseIsAway();
    void refusedSampleDataKeepsTheTests();
};

void TestInvH912Receive::answers_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QStringList>("pieces"); // as the LIMS line delivers them
    QTest::addColumn<QStringList>("analyzer");
    QTest::addColumn<QStringList>("monitor");
    QTest::addColumn<QString>("requests");

    const int h902 = int(HitachiModel::Hit902), h911 = int(HitachiModel::Hit911);
    const QString order = OrderFrame(Id, Selection({1, 5}));
    const QString ordered = Reply902("11" + QString(35, '0'));
    const QString none = Reply902(QString(37, '0'));
    const QString ack = Function(">");
    const QString two = "240101|1|NULL;240101|2|NULL";
    const QStringList no;

    QTest::newRow("order: requests through the LIMS's channels, the analyzer's selection from them")
        << h902 << no << QStringList{order} << QStringList{ordered} << no << two;
    QTest::newRow("911: the 48-channel reply")
        << h911 << no << QStringList{order} << QStringList{Reply911("11" + QString(46, '0'))} << no << two;
    QTest::newRow("? after ; repeats the order")
        << h902 << no << QStringList{order, Function("?")} << QStringList{ordered, ordered}
        << QStringList{"rep"} << two;
    QTest::newRow("@ after ; repeats the order")
        << h902 << no << QStringList{order, Function("@")} << QStringList{ordered, ordered}
        << QStringList{"sus"} << two;
    QTest::newRow("? in two pieces still repeats the order")
        << h902 << no << QStringList{order.left(50), order.mid(50), STX + "?", ETX}
        << QStringList{ordered, ordered} << QStringList{"rep"} << two;
    QTest::newRow("> after ; is >, in one piece with it")
        << h902 << no << QStringList{order + ack} << QStringList{ordered, ack} << no << two;
    QTest::newRow("all-zero selection: no tests, nothing stored")
        << h902 << no << QStringList{OrderFrame(Id, Selection({}))} << QStringList{none} << no << "";
    QTest::newRow("tube not found: no tests, nothing stored")
        << h902 << no << QStringList{TubeNotFound(Id)} << QStringList{none} << no << "";
    QTest::newRow("1, 2, :, < and others answer >")
        << h902 << no
        << QStringList{Function("1"), Function("2"), Function(":A"), Function("<"), Function("x")}
        << QStringList{ack, ack, ack, ack, ack} << QStringList{"fr1", "fr2", "res"} << "";
    QTest::newRow("a channel without param2channel row is left out")
        << h902 << no << QStringList{OrderFrame(Id, Selection({1, 7}))}
        << QStringList{Reply902("1" + QString(36, '0'))}
        << QStringList{"order of sample 240101: channel 7 has no parameter for LIMS1 in param2channel: not "
                       "ordered"}
        << "240101|1|NULL";
    QTest::newRow("two channels of one parameter: one order")
        << h902
        << QStringList{"INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, "
                       "'LIMS1', 9)"}
        << QStringList{OrderFrame(Id, Selection({1, 9}))} << QStringList{Reply902("1" + QString(36, '0'))}
        << no << "240101|1|NULL";
    QTest::newRow("an open order is replaced, a finished one stays")
        << h902
        << QStringList{"INSERT INTO request (sample_id, parameter_id) VALUES ('240101', 1)",
                       "INSERT INTO request (sample_id, parameter_id, result, analyzer_id, time_stamp) "
                       "VALUES ('240101', 2, 5, 'H1', '2026-12-07 10:00:00')"}
        << QStringList{order} << QStringList{ordered} << no << "240101|1|NULL;240101|2|NULL;240101|2|5";
    QTest::newRow("frames ended with CR LF: no line for the line ends")
        << h902 << no << QStringList{order + "\r\n", Function("?") + "\r", "\n", "\r\n" + Function("?")}
        << QStringList{ordered, ordered, ordered} << QStringList{"rep", "rep"} << two;
    QTest::newRow("other characters between frames keep their line")
        << h902 << no << QStringList{order + "\r\nxx\r\n", Function("?") + "\r\nyy" + Function("?")}
        << QStringList{ordered, ordered, ordered}
        << QStringList{"4 characters from the LIMS outside a frame dropped",
                       "2 characters received before the LIMS frame's STX dropped", "rep", "rep"}
        << two;
    QTest::newRow("endless text without ETX is bounded")
        << h902 << no << QStringList{STX + ";" + QString(5000, 'x'), Function("?")} << QStringList{ack}
        << QStringList{"LIMS frame passed 4096 characters without ETX: 5002 characters dropped", "rep"} << "";
}

void TestInvH912Receive::answers()
{
    QFETCH(int, model);
    QFETCH(QStringList, setup);
    QFETCH(QStringList, pieces);
    Emulation e(QStringLiteral("sqlite"), HitachiModel(model));
    QVERIFY(e.lims);
    e.rig.exec(setup);
    e.feed(pieces);
    QTEST(e.rig.analyzerLine.takeFrames(), "analyzer");
    QTEST(e.monitor(), "monitor");
    QTEST(e.rows(Requests), "requests");
    QCOMPARE(e.rig.limsLine.takeFrames(), QStringList{}); // the LIMS gets nothing from here
}

void TestInvH912Receive::forwardedInquiryIsAnsweredByTheLims()
{
    // The 902's inquiry went to the LIMS: its reply time runs until the LIMS's order reaches the
    // analyzer. An order the LIMS sends unasked answers no request.
    Emulation e(QStringLiteral("sqlite"), HitachiModel::Hit902);
    QVERIFY(e.lims);
    const std::uint64_t& answered = e.rig.stats.orderReplies.count;
    QCOMPARE(answered, 0u);
    e.feed({OrderFrame(Id, Selection({1, 5}))});
    QCOMPARE(e.rig.analyzerLine.takeFrames().size(), 1);
    QCOMPARE(answered, 1u);
    e.feed({OrderFrame(Id, Selection({1}))});
    QCOMPARE(answered, 1u);
}

void TestInvH912Receive::analyzerOffline()
{
    Emulation e(QStringLiteral("sqlite"));
    QVERIFY(e.lims);
    e.rig.link.analyzerOnline = false;
    e.feed({OrderFrame(Id, Selection({1, 5}))});
    QCOMPARE(e.rig.analyzerLine.takeFrames(), QStringList{});
    QCOMPARE(e.monitor(),
             QStringList{"the analyzer is offline: the reply is kept until the LIMS asks for a repeat"});
    QCOMPARE(e.rows(Requests), "240101|1|NULL;240101|2|NULL");
    e.rig.link.analyzerOnline = true;
    e.feed({Function("?")});
    QCOMPARE(e.rig.analyzerLine.takeFrames(), QStringList{Reply902("11" + QString(35, '0'))});
}

void TestInvH912Receive::sampleFromOrder_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>(
        "sample"); // position, analyzer, patient, si_id, customer, collector, date, add3
    QTest::addColumn<QString>("patients");
    QTest::addColumn<QString>("customers");

    const QString one = QStringLiteral("1|NULL|NULL|NA");
    const OrderFields quotes{"O'Neil", "Anna,Maria", "C7", "Ward 7", "P-1", "Dr Lang"};
    const QString sel = Selection({1});
    for (const QString& b : Test::Backends()) {
        const QByteArray n = b.toLatin1();
        QTest::addRow("%s no patient fields: patient 1, na, customer 999", n.data())
            << b << "" << OrderFrame(Id, sel) << "7|H1|1|na|999||NULL|1" << one << "";
        QTest::addRow("%s quote in the surname, comma in the forename, collected 07.12.2026 08:15", n.data())
            << b << "" << OrderFrame(Id, sel, quotes, "120726", "0815")
            << "7|H1|2|P-1|C7|Dr Lang|2026-12-07 08:15:00|1" << one + ";2|O\u00B4Neil|Anna Maria|P-1"
            << "C7|Ward 7";
        QTest::addRow("%s a known patient and customer are taken as they are; no name: customer 999",
                      n.data())
            << b << "INSERT INTO patients (surname, forename, si_id) VALUES ('Meier', 'Anna', 'P-1')"
            << OrderFrame(Id, sel, {"Meier", "Anna", "C7", {}, "P-1", {}}, "030424")
            << "7|H1|2|P-1|999||2024-03-04 00:00:00|1" << one + ";2|Meier|Anna|P-1"
            << "";
        QTest::addRow("%s an existing sample is left as it is", n.data())
            << b
            << "INSERT INTO sample_base (sample_id, sample_pos, analyzer_id, p_id, si_id, cust_id, add3) "
               "VALUES ('240101', 3, 'X', 1, 'na', '999', 2)"
            << OrderFrame(Id, sel, quotes) << "3|X|1|na|999|NULL|NULL|2"
            << one + ";2|O\u00B4Neil|Anna Maria|P-1"
            << "C7|Ward 7";
    }
}

void TestInvH912Receive::sampleFromOrder()
{
    QFETCH(QString, backend);
    QFETCH(QString, setup);
    QFETCH(QString, frame);
    Emulation e(backend);
    QVERIFY2(e.lims, qPrintable(e.rig.tdb.error()));
    if (!setup.isEmpty())
        e.rig.tdb.exec(setup);
    e.feed({frame});
    QTEST(e.rows("SELECT sample_pos, analyzer_id, p_id, si_id, cust_id, collector, coll_dat, add3 FROM "
                 "sample_base"),
          "sample");
    QTEST(e.rows("SELECT p_id, surname, forename, si_id FROM patients ORDER BY p_id"), "patients");
    QTEST(e.rows("SELECT cust_id, cust_name FROM customer ORDER BY cust_id"), "customers");
    QCOMPARE(e.rows(Requests), "240101|1|NULL");
}

void TestInvH912Receive::databaseFailure()
{
    Emulation e(QStringLiteral("sqlite"));
    QVERIFY(e.lims);
    QTemporaryDir spool;
    e.rig.store.openSpool(spool.path());
    e.rig.tdb.readOnly(true);
    // The order waits in the spool; the analyzer is sent the tests of the LIMS's channels 1, 9 and
    // 12: its channels 1, 20 and 30.
    e.feed({OrderFrame(Id, Selection({1, 9, 12}), {"Meier", "Anna", {}, {}, {}, {}})});
    QCOMPARE(e.rig.analyzerLine.takeFrames(),
             QStringList{Reply902("1" + QString(18, '0') + "1" + QString(9, '0') + "1" + QString(7, '0'))});
    QCOMPARE(e.rig.store.spool()->pendingCount(), 1);
    QCOMPARE(e.rows(Requests), "");
    // Once the database is back the order is stored whole.
    e.rig.tdb.readOnly(false);
    e.rig.store.replaySpool();
    QCOMPARE(e.rows(Requests), "240101|1|NULL;240101|8|NULL;240101|12|NULL");
    QCOMPARE(e.rows("SELECT p.surname FROM sample_base s INNER JOIN patients p ON p.p_id = s.p_id"), "Meier");
}

void TestInvH912Receive::orderWhileTheDatabaseIsAway_data()
{
    QTest::addColumn<bool>("awayAtStart");
    QTest::newRow("there at the start, away at the order") << false;
    QTest::newRow("away at the start, back for a while, away at the order") << true;
}

// The order waits in the spool; the analyzer still gets the tests of the LIMS's channels from the
// channel maps read while the database answered, though no order came then.
void TestInvH912Receive::orderWhileTheDatabaseIsAway()
{
    QFETCH(bool, awayAtStart);
    Emulation e(QStringLiteral("sqlite"), HitachiModel::Hit902, awayAtStart);
    QVERIFY(e.lims);
    QTemporaryDir spool;
    e.rig.store.openSpool(spool.path());
    if (awayAtStart) {
        e.rig.tasks.runTick(TimerInterval::Housekeeping);
        QVERIFY(e.rig.tdb.db().reconnect());
        e.rig.tasks.runTick(TimerInterval::Housekeeping);
    }
    e.rig.tdb.db().close();
    e.feed({OrderFrame(Id, Selection({1, 9, 12}), {"Meier", "Anna", {}, {}, {}, {}})});
    QCOMPARE(e.rig.analyzerLine.takeFrames(),
             QStringList{Reply902("1" + QString(18, '0') + "1" + QString(9, '0') + "1" + QString(7, '0'))});
    QCOMPARE(e.rig.store.spool()->pendingCount(), 1);
}

void TestInvH912Receive::refusedSampleDataKeepsTheTests()
{
    Emulation e(QStringLiteral("sqlite"));
    QVERIFY(e.lims);
    e.rig.tdb.exec(
        "CREATE TRIGGER refuse BEFORE INSERT ON sample_base BEGIN SELECT RAISE(ABORT, 'refused'); END");
    e.feed({OrderFrame(Id, Selection({1}), {"Meier", "Anna", {}, {}, {}, {}})});
    // Patient and sample are undone together; the ordered test is stored and measured.
    QCOMPARE(e.rows(Requests), "240101|1|NULL");
    QCOMPARE(e.rows("SELECT COUNT(*) FROM patients"), "1");
    QCOMPARE(e.rig.analyzerLine.takeFrames(), QStringList{Reply902("1" + QString(36, '0'))});
    QVERIFY(
        e.monitor().join('\n').startsWith("sample 240101: the database refused the patient and sample data"));
}

QTEST_GUILESS_MAIN(TestInvH912Receive)
#include "tst_invh912receive.moc"
