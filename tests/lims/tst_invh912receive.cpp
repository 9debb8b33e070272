// The Hitachi 912 emulation toward a LIMS: the LIMS's frames fed to InvH912Receive, with a Hitachi
// 902 or 911 driver on the analyzer line, a real database and the real store, on fake lines.
#include "LimsFixture.h"
#include "drivers/DriverRegistry.h"
#include "drivers/hitachi/HitachiDriver.h"
#include "drivers/hitachi/HitachiFixture.h"
#include "lims/InvH912Receive.h"
#include "lims/LimsDrivers.h"
#include "store/Spool.h"
#include "support/DriverRig.h"

#include <QSqlRecord>
#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::LimsFixture;
using Quorlix::Test::DriverRig;
namespace Hit = Quorlix::Test::HitachiFixture;

namespace {

// The LIMS side's channels 1, 5, 9 and 12 are parameters 1, 2, 8 and 12; the analyzer measures
// them on its channels 1, 2, 20 and 30.
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

// The order replies the analyzer expects after its inquiry for Id (identification fields echoed
// from the inquiry frames of HitachiFixture).
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

QString Text(const QVariant& v)
{
    if (v.isNull())
        return QStringLiteral("NULL");
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return v.toString();
}

// An analyzer driver with a LIMS side and the LIMS-side handler working with it.
class Emulation
{
public:
    explicit Emulation(const QString& backend, HitachiModel model = HitachiModel::Hit902) : rig(backend)
    {
        Settings& s = rig.settings;
        s.AnalyzerId = QStringLiteral("H1");
        s.AnalyzerType = model == HitachiModel::Hit902 ? QStringLiteral("H902") : QStringLiteral("H911");
        s.OutType = QStringLiteral("invH912");
        s.OutComPort = 2;
        s.OutId = QStringLiteral("LIMS1");
        if (!rig.tdb.ok())
            return;
        rig.exec(Setup);
        for (const QString& sql : rig.tdb.db().dialect().explicitIdentityAfter("patients", "p_id"))
            rig.tdb.exec(sql);
        analyzer = std::make_unique<HitachiDriver>(rig.services(), model, true, 0);
        lims = std::make_unique<InvH912Receive>(rig.services(analyzer.get()));
        // The analyzer asks for the tube's orders; it has none here, so the LIMS is asked.
        analyzer->receive(model == HitachiModel::Hit902 ? Hit::Frame({";A", Hit::Id902Fields(Right(Id, 13))})
                                                        : Hit::Frame({";A", Hit::Id911Fields(Left(Id, 13))}));
        rig.analyzerLine.takeFrames();
        rig.limsLine.takeFrames();
        rig.monitor();
        m_monitorSeen = rig.monitor().size();
    }

    bool ok() const { return rig.tdb.ok() && lims; }
    void feed(const QStringList& frames)
    {
        for (const QString& frame : frames)
            lims->receive(frame);
    }
    QStringList toAnalyzer() { return rig.analyzerLine.takeFrames(); }
    // Monitor lines since the last call.
    QStringList monitor()
    {
        const QStringList all = rig.monitor();
        const QStringList news = all.mid(m_monitorSeen);
        m_monitorSeen = all.size();
        return news;
    }
    QString rows(const QString& sql)
    {
        SqlResult r = rig.tdb.db().run(sql);
        QStringList out;
        while (r.next()) {
            QStringList row;
            for (int i = 0; i < r.query().record().count(); ++i)
                row << Text(r.value(i));
            out << row.join(QLatin1Char('|'));
        }
        return out.join(QLatin1Char(';'));
    }

    DriverRig rig;
    std::unique_ptr<HitachiDriver> analyzer;
    std::unique_ptr<InvH912Receive> lims;

private:
    qsizetype m_monitorSeen = 0;
};

const QString Requests = QStringLiteral(
    "SELECT sample_id, parameter_id, result FROM request ORDER BY sample_id, parameter_id, result");
const QString SampleRow = QStringLiteral(
    "SELECT sample_pos, analyzer_id, p_id, si_id, cust_id, collector, coll_dat, add3 FROM sample_base");

} // namespace

class TestInvH912Receive : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void repeatRequestInPieces();
    void analyzerOffline();
    void sampleFromOrder_data();
    void sampleFromOrder();
    void databaseFailure();
    void refusedSampleDataKeepsTheTests();
    void registered();
};

void TestInvH912Receive::answers_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QStringList>("analyzer");
    QTest::addColumn<QStringList>("monitor");
    QTest::addColumn<QString>("requests");

    const int h902 = int(HitachiModel::Hit902);
    const QString order = OrderFrame(Id, Selection({1, 5}));
    const QString ordered = Reply902("11" + QString(35, '0'));
    const QString none = Reply902(QString(37, '0'));
    const QString ack = Function(">");
    const QString twoOpen = "240101|1|NULL;240101|2|NULL";

    QTest::newRow("order: requests through the LIMS's channels, the analyzer's selection from them")
        << h902 << QStringList{} << QStringList{order} << QStringList{ordered} << QStringList{} << twoOpen;
    QTest::newRow("911: the 48-channel reply")
        << int(HitachiModel::Hit911) << QStringList{} << QStringList{order}
        << QStringList{Reply911("11" + QString(46, '0'))} << QStringList{} << twoOpen;
    QTest::newRow("? after ; repeats the order")
        << h902 << QStringList{} << QStringList{order, Function("?")} << QStringList{ordered, ordered}
        << QStringList{"rep"} << twoOpen;
    QTest::newRow("@ after ; repeats the order")
        << h902 << QStringList{} << QStringList{order, Function("@")} << QStringList{ordered, ordered}
        << QStringList{"sus"} << twoOpen;
    QTest::newRow("? twice repeats it twice")
        << h902 << QStringList{} << QStringList{order, Function("?"), Function("?")}
        << QStringList{ordered, ordered, ordered} << QStringList{"rep", "rep"} << twoOpen;
    QTest::newRow("> after ; is >") << h902 << QStringList{} << QStringList{order, ack}
                                    << QStringList{ordered, ack} << QStringList{} << twoOpen;
    QTest::newRow("all-zero selection: no tests, nothing stored")
        << h902 << QStringList{} << QStringList{OrderFrame(Id, Selection({}))} << QStringList{none}
        << QStringList{} << "";
    QTest::newRow("tube not found: no tests, nothing stored")
        << h902 << QStringList{} << QStringList{TubeNotFound(Id)} << QStringList{none} << QStringList{} << "";
    QTest::newRow("tube not found on a 911: 48 zeros")
        << int(HitachiModel::Hit911) << QStringList{} << QStringList{TubeNotFound(Id)}
        << QStringList{Reply911(QString(48, '0'))} << QStringList{} << "";
    QTest::newRow("1, 2, :, < and others answer >")
        << h902 << QStringList{}
        << QStringList{Function("1"), Function("2"), Function(":A"), Function("<"), Function("x")}
        << QStringList{ack, ack, ack, ack, ack} << QStringList{"fr1", "fr2", "res"} << "";
    QTest::newRow("a channel without param2channel row is left out")
        << h902 << QStringList{} << QStringList{OrderFrame(Id, Selection({1, 7}))}
        << QStringList{Reply902("1" + QString(36, '0'))}
        << QStringList{"order of sample 240101: channel 7 has no parameter for LIMS1 in param2channel: not "
                       "ordered"}
        << "240101|1|NULL";
    QTest::newRow("an open order is replaced, a finished one stays")
        << h902
        << QStringList{"INSERT INTO request (sample_id, parameter_id) VALUES ('240101', 1)",
                       "INSERT INTO request (sample_id, parameter_id, result, analyzer_id, time_stamp) "
                       "VALUES ('240101', 2, 5, 'H1', '2026-12-07 10:00:00')"}
        << QStringList{order} << QStringList{ordered} << QStringList{}
        << "240101|1|NULL;240101|2|NULL;240101|2|5";
}

void TestInvH912Receive::answers()
{
    QFETCH(int, model);
    QFETCH(QStringList, setup);
    QFETCH(QStringList, frames);
    Emulation e(QStringLiteral("sqlite"), HitachiModel(model));
    QVERIFY(e.ok());
    e.rig.exec(setup);
    e.feed(frames);
    QTEST(e.toAnalyzer(), "analyzer");
    QTEST(e.monitor(), "monitor");
    QTEST(e.rows(Requests), "requests");
    QCOMPARE(e.rig.limsLine.takeFrames(), QStringList{}); // the LIMS is never answered from here
}

void TestInvH912Receive::repeatRequestInPieces()
{
    Emulation e(QStringLiteral("sqlite"));
    QVERIFY(e.ok());
    const QString order = OrderFrame(Id, Selection({1, 5}));
    e.feed({order.left(50), order.mid(50)});
    const QStringList ordered = e.toAnalyzer();
    QCOMPARE(ordered.size(), 1);
    // The repeat request arrives in two pieces: it still repeats the order.
    e.feed({STX + "?", ETX});
    QCOMPARE(e.toAnalyzer(), ordered);
}

void TestInvH912Receive::analyzerOffline()
{
    Emulation e(QStringLiteral("sqlite"));
    QVERIFY(e.ok());
    e.rig.link.analyzerOnline = false;
    e.feed({OrderFrame(Id, Selection({1, 5}))});
    QCOMPARE(e.toAnalyzer(), QStringList{});
    QCOMPARE(e.monitor(),
             QStringList{"the analyzer is offline: the reply is kept until the LIMS asks for a repeat"});
    QCOMPARE(e.rows(Requests), "240101|1|NULL;240101|2|NULL");
    QCOMPARE(e.lims->reply(), Reply902("11" + QString(35, '0')).mid(1).chopped(1));

    e.rig.link.analyzerOnline = true;
    e.feed({Function("?")});
    QCOMPARE(e.toAnalyzer(), QStringList{Reply902("11" + QString(35, '0'))});
}

void TestInvH912Receive::sampleFromOrder_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QString>("patients");
    QTest::addColumn<QString>("customers");
    QTest::addColumn<QStringList>("monitor");

    const QString placeholder = QStringLiteral("1|NULL|NULL|NA");
    const OrderFields all{"O'Neil", "Anna,Maria", "C7", "Ward 7", "P-1", "Dr Lang"};
    OrderFields known{"Meier", "Anna", "C7", "Ward 7", "P-1", "Nurse"};
    OrderFields idWithoutName;
    idWithoutName.surname = "Meier";
    idWithoutName.customerId = "C9";
    OrderFields siOnly;
    siOnly.siId = "P-9";
    const QString sel = Selection({1});
    for (const QString& b : Test::Backends()) {
        const QByteArray n = b.toLatin1();
        QTest::addRow("%s no patient fields: patient 1, na, customer 999", n.data())
            << b << QStringList{} << OrderFrame(Id, sel) << "7|H1|1|na|999||NULL|1" << placeholder << ""
            << QStringList{};
        QTest::addRow("%s quote in the surname, comma in the forename, collected 07.12.2026 08:15", n.data())
            << b << QStringList{} << OrderFrame(Id, sel, all, "120726", "0815")
            << "7|H1|2|P-1|C7|Dr Lang|2026-12-07 08:15:00|1" << placeholder + ";2|O\u00B4Neil|Anna Maria|P-1"
            << "C7|Ward 7" << QStringList{};
        QTest::addRow("%s a known patient and customer are taken as they are", n.data())
            << b
            << QStringList{"INSERT INTO patients (surname, forename, si_id) VALUES ('Meier', 'Anna', 'P-1')",
                           "INSERT INTO customer (cust_id, cust_name) VALUES ('C7', 'Ward Seven')"}
            << OrderFrame(Id, sel, known, "030424") << "7|H1|2|P-1|C7|Nurse|2024-03-04 00:00:00|1"
            << placeholder + ";2|Meier|Anna|P-1"
            << "C7|Ward Seven" << QStringList{};
        QTest::addRow("%s no customer name: 999 whatever the id", n.data())
            << b << QStringList{} << OrderFrame(Id, sel, idWithoutName) << "7|H1|2||999||NULL|1"
            << placeholder + ";2|Meier||"
            << "" << QStringList{};
        QTest::addRow("%s si_id alone names a patient", n.data())
            << b << QStringList{} << OrderFrame(Id, sel, siOnly) << "7|H1|2|P-9|999||NULL|1"
            << placeholder + ";2|||P-9"
            << "" << QStringList{};
        QTest::addRow("%s an existing sample is left as it is", n.data())
            << b
            << QStringList{"INSERT INTO sample_base (sample_id, sample_pos, analyzer_id, p_id, si_id, "
                           "cust_id, "
                           "add3) VALUES ('240101', 3, 'X', 1, 'na', '999', 2)"}
            << OrderFrame(Id, sel, all) << "3|X|1|na|999|NULL|NULL|2"
            << placeholder + ";2|O\u00B4Neil|Anna Maria|P-1"
            << "C7|Ward 7" << QStringList{};
        QTest::addRow("%s a collection date that is none is left out", n.data())
            << b << QStringList{} << OrderFrame(Id, sel, {}, "133326", "0815") << "7|H1|1|na|999||NULL|1"
            << placeholder << ""
            << QStringList{
                   "sample 240101: collection date \"133326\" is not a date (month, day, year); stored "
                   "without it"};
    }
}

void TestInvH912Receive::sampleFromOrder()
{
    QFETCH(QString, backend);
    QFETCH(QStringList, setup);
    QFETCH(QString, frame);
    Emulation e(backend);
    QVERIFY2(e.ok(), qPrintable(e.rig.tdb.error()));
    e.rig.exec(setup);
    e.feed({frame});
    QTEST(e.rows(SampleRow), "sample");
    QTEST(e.rows("SELECT p_id, surname, forename, si_id FROM patients ORDER BY p_id"), "patients");
    QTEST(e.rows("SELECT cust_id, cust_name FROM customer ORDER BY cust_id"), "customers");
    QTEST(e.monitor(), "monitor");
    QCOMPARE(e.rows(Requests), "240101|1|NULL");
}

void TestInvH912Receive::databaseFailure()
{
    Emulation e(QStringLiteral("sqlite"));
    QVERIFY(e.ok());
    QTemporaryDir spool;
    e.rig.store.openSpool(spool.path());
    e.rig.tdb.exec("ALTER TABLE patients RENAME TO patients_away");

    // The order waits in the spool; the analyzer is sent the tests of the LIMS's channels 1, 9 and
    // 12: its channels 1, 20 and 30.
    e.feed({OrderFrame(Id, Selection({1, 9, 12}), {"Meier", "Anna", {}, {}, {}, {}})});
    QCOMPARE(e.toAnalyzer(),
             QStringList{Reply902("1" + QString(18, '0') + "1" + QString(9, '0') + "1" + QString(7, '0'))});
    QCOMPARE(e.rig.store.spool()->pendingCount(), 1);
    QCOMPARE(e.rows(Requests), "");
    QVERIFY(e.monitor().contains("the order of sample 240101 waits for the database: the analyzer is sent "
                                 "the tests of the LIMS's channels"));

    // Once the database is back the order is stored whole.
    e.rig.tdb.exec("ALTER TABLE patients_away RENAME TO patients");
    e.rig.store.replaySpool();
    QCOMPARE(e.rig.store.spool()->pendingCount(), 0);
    QCOMPARE(e.rows(Requests), "240101|1|NULL;240101|8|NULL;240101|12|NULL");
    QCOMPARE(e.rows("SELECT p.surname FROM sample_base s INNER JOIN patients p ON p.p_id = s.p_id"), "Meier");
}

void TestInvH912Receive::refusedSampleDataKeepsTheTests()
{
    Emulation e(QStringLiteral("sqlite"));
    QVERIFY(e.ok());
    e.rig.tdb.exec(
        "CREATE TRIGGER refuse BEFORE INSERT ON sample_base BEGIN SELECT RAISE(ABORT, 'refused'); END");
    e.feed({OrderFrame(Id, Selection({1}), {"Meier", "Anna", {}, {}, {}, {}})});
    // The patient and the sample are undone together; the ordered test is stored and measured.
    QCOMPARE(e.rows(Requests), "240101|1|NULL");
    QCOMPARE(e.rows("SELECT COUNT(*) FROM patients"), "1");
    QCOMPARE(e.toAnalyzer(), QStringList{Reply902("1" + QString(36, '0'))});
    const QStringList monitor = e.monitor();
    QCOMPARE(monitor.size(), 1);
    QVERIFY2(monitor.first().startsWith("sample 240101: the database refused the patient and sample data"),
             qPrintable(monitor.first()));
}

void TestInvH912Receive::registered()
{
    DriverRegistry registry;
    RegisterLimsHandlers(registry);
    DriverRig rig(QStringLiteral("sqlite"));
    for (const char* entry : {"InvH912Receive", "InvMgc240Receive"}) {
        const DriverRegistry::HandlerFactory* factory = registry.handler(QLatin1String(entry));
        QVERIFY2(factory, entry);
        QVERIFY((*factory)(rig.services()) != nullptr);
    }
}

QTEST_GUILESS_MAIN(TestInvH912Receive)
#include "tst_invh912receive.moc"
