// The Coulter ACT 8 driver: its messages read on records alone, and the driver on the E1381 link
// against a real database and the real store, on a fake analyzer line. Records and frames are
// written from the protocol's layouts.
#include "core/CommLog.h"
#include "core/FrameText.h"
#include "drivers/astm/ActDriver.h"
#include "drivers/astm/ActMessage.h"
#include "store/Spool.h"
#include "support/DriverRig.h"

#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::DriverRig;

namespace {

// H: field 13 the message time. R: field 2 the test ("!!!" and the name), 3 the value, 12 the
// time the result was completed.
QString Header(const QString& time = "20261207103500")
{
    return "H|\\!~&|||ACT 8^1.0^AB12345|||||||P|LIS2-A|" + time;
}
QString Result(int n, const QString& test, const QString& value, const QString& time = "20261207103512")
{
    return QString("R|%1|!!!%2|%3|10^3/uL||||F||||%4").arg(n).arg(test, value, time);
}
const QString Terminator = "L|1|N";

// STX, frame number, text, CR, ETX, checksum (sum of number to ETX modulo 256, two hex digits), CR LF.
QString Frame(int number, const QString& record)
{
    const QString counted = QString::number(number % 8) + record + Cr + Etx;
    int sum = 0;
    for (const QChar c : counted)
        sum += c.unicode();
    return Stx + counted + QString::number(sum % 256, 16).toUpper().rightJustified(2, '0') + Cr + Lf;
}

// ENQ, one frame per record, EOT.
QStringList Message(const QStringList& records)
{
    QStringList pieces{QString(Enq)};
    for (qsizetype i = 0; i < records.size(); ++i)
        pieces << Frame(int(i + 1), records[i]);
    pieces << QString(Eot);
    return pieces;
}

QStringList Cbc(const QStringList& results)
{
    return QStringList{Header()} + results + QStringList{Terminator};
}

class Rig
{
public:
    explicit Rig(const QString& backend) : base(backend)
    {
        base.settings.AnalyzerId = "ACT1";
        base.settings.AnalyzerType = "ACT";
        driver = std::make_unique<ActDriver>(base.services());
        base.exec({"INSERT INTO test_def (parameter_id, short) VALUES (21, 'WBC')",
                   "INSERT INTO test_def (parameter_id, short) VALUES (22, 'RBC')",
                   "INSERT INTO test_def (parameter_id, short) VALUES (23, 'HGB')",
                   "INSERT INTO test_def (parameter_id, short) VALUES (24, 'HCT')",
                   "INSERT INTO test_def (parameter_id, short) VALUES (25, 'PLT')"});
    }
    bool ok() const { return base.tdb.ok(); }
    void send(const QStringList& pieces)
    {
        for (const QString& piece : pieces)
            base.deliver(*driver, piece);
    }
    QString rows(const QString& sql) { return base.tdb.rows(sql); }
    QStringList received() const { return base.lines().filter("  A->H"); }

    DriverRig base;
    std::unique_ptr<ActDriver> driver;
};

} // namespace

class TestActDriver : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void acknowledgements_data();
    void acknowledgements();
    void sampleResults_data();
    void sampleResults();
    void controlResults_data() { Test::AddBackendRows(); }
    void controlResults();
    void valuesThatAreNoNumbersNeverOverwrite_data() { Test::AddBackendRows(); }
    void valuesThatAreNoNumbersNeverOverwrite();
    void nothingChosen();
    void sentAgain();
    void incompleteMessage_data();
    void incompleteMessage();
    void spooledWhileTheDatabaseIsDown();
};

void TestActDriver::parse_data()
{
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("read"); // message time, then short=value@time per result
    QTest::addColumn<int>("surplus");

    const QString time = "20261207 10:35:00|";
    QTest::newRow("header time, test name without its delimiters")
        << QStringList{Header("20261207103500"), Result(1, "WBC", "6.8"), Terminator}
        << time + "WBC=6.8@20261207 10:35:12" << 0;
    QTest::newRow("value with a flag is kept whole here")
        << QStringList{Header(), Result(1, "HGB", "17.9!H", "20261207093001")}
        << time + "HGB=17.9!H@20261207 09:30:01" << 0;
    QTest::newRow("patient, order and comment records are ignored")
        << QStringList{Header(), "P|1", "O|1||||", "C|1|I|text", Result(1, "PLT", "250"), Terminator}
        << time + "PLT=250@20261207 10:35:12" << 0;
    QStringList twelve{Header()};
    QStringList ten;
    for (int n = 1; n <= 12; ++n) {
        twelve << Result(n, "WBC", QString::number(n));
        if (n <= 10)
            ten << QString("WBC=%1@20261207 10:35:12").arg(n);
    }
    QTest::newRow("more than ten results: the surplus is counted, not read")
        << twelve << time + ten.join('|') << 2;
    QTest::newRow("short time field") << QStringList{"H|||||||||||||2026", Result(1, "RBC", "4.5", "")}
                                      << QString("2026 ::|RBC=4.5@ ::") << 0;
}

void TestActDriver::parse()
{
    QFETCH(QStringList, records);
    const ActMessage message = ParseActMessage(records);
    QStringList read{message.messageTime};
    for (const ActResult& r : message.results)
        read << r.shortName + '=' + r.value + '@' + r.time;
    QTEST(read.join('|'), "read");
    QTEST(message.surplusResults, "surplus");
    QCOMPARE(ActValue("17.9!H"), QString("17.9"));
}

void TestActDriver::acknowledgements_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QString>("sent");
    const QString frame1 = Frame(1, Header());
    const QString frame2 = Frame(2, Result(1, "WBC", "6.8"));
    const QString ack(Ack);
    QTest::newRow("ENQ and each frame") << QStringList{Enq, frame1, frame2} << ack + ack + ack;
    QTest::newRow("two frames in one piece: two ACKs")
        << QStringList{QString(Enq) + frame1 + frame2} << ack + ack + ack;
    QTest::newRow("a frame split across pieces: one ACK, when complete")
        << QStringList{Enq, frame1.left(7), frame1.mid(7, 20), frame1.mid(27)} << ack + ack;
    QTest::newRow("a frame cut before its LF is complete")
        << QStringList{Enq, frame1.chopped(1)} << ack + ack;
    QTest::newRow("a damaged checksum is refused and the frame sent again")
        << QStringList{Enq, QString(frame1).replace(frame1.size() - 4, 1, "Z"), frame1}
        << ack + QString(Nak) + ack;
}

void TestActDriver::acknowledgements()
{
    QFETCH(QStringList, pieces);
    Rig rig("sqlite");
    QVERIFY(rig.ok());
    QStringList sent;
    for (const QString& piece : pieces) {
        rig.base.deliver(*rig.driver, piece);
        sent << rig.base.analyzerLine.takeSent();
    }
    QTEST(sent.join(QString()), "sent");
    // The line is never closed and reopened: bytes of the next message would be lost meanwhile.
    rig.send({QString(Eot)});
    QCOMPARE(rig.base.analyzerLine.reopens, 0);
}

void TestActDriver::sampleResults_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("monitor");
    for (const QString& backend : Test::Backends()) {
        const QByteArray name = backend.toLatin1();
        const char* b = name.constData();
        QTest::addRow("%s five results fill five orders with their completion time", b)
            << backend
            << QStringList{Result(1, "WBC", "6.8"), Result(2, "RBC", "4.52"), Result(3, "HGB", "13.9"),
                           Result(4, "HCT", "41.2"), Result(5, "PLT", "250")}
            << "S1|21|6.8|ACT1|2026-12-07 10:35:12;S1|22|4.52|ACT1|2026-12-07 10:35:12;"
               "S1|23|13.9|ACT1|2026-12-07 10:35:12;S1|24|41.2|ACT1|2026-12-07 10:35:12;"
               "S1|25|250|ACT1|2026-12-07 10:35:12;S2|21|NULL|NULL|NULL"
            << QStringList{};
        QTest::addRow("%s a number with a flag stores the number", b)
            << backend << QStringList{Result(1, "WBC", "11.2!H")}
            << "S1|21|11.2|ACT1|2026-12-07 10:35:12;S1|22|NULL|NULL|NULL;S1|23|NULL|NULL|NULL;"
               "S1|24|NULL|NULL|NULL;S1|25|NULL|NULL|NULL;S2|21|NULL|NULL|NULL"
            << QStringList{};
        QTest::addRow("%s an unknown test is not stored as parameter 0", b)
            << backend << QStringList{Result(1, "MCV", "88"), Result(2, "PLT", "250")}
            << "S1|21|NULL|NULL|NULL;S1|22|NULL|NULL|NULL;S1|23|NULL|NULL|NULL;S1|24|NULL|NULL|NULL;"
               "S1|25|250|ACT1|2026-12-07 10:35:12;S2|21|NULL|NULL|NULL"
            << QStringList{"ACT sample S1: test \"MCV\" is not in test_def; its result \"88\" is not stored"};
    }
}

void TestActDriver::sampleResults()
{
    QFETCH(QString, backend);
    QFETCH(QStringList, results);
    Rig rig(backend);
    QVERIFY(rig.ok());
    for (int p = 21; p <= 25; ++p)
        rig.base.tdb.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', ?)", {p});
    rig.base.tdb.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S2', 21)");
    int ignored = 0;
    int parsed = 0;
    connect(&rig.driver->choice(), &SampleChoice::ignored, [&] { ++ignored; });
    connect(&rig.driver->choice(), &SampleChoice::parsed, [&] { ++parsed; });
    rig.driver->choice().chooseSample("S1");
    rig.send(Message(Cbc(results)));

    QTEST(rig.rows("SELECT sample_id, parameter_id, result, analyzer_id, " +
                   rig.base.tdb.target().dialect.castText("time_stamp") +
                   " FROM request ORDER BY sample_id, parameter_id"),
          "stored");
    QCOMPARE(rig.base.tdb.count("request"), 6); // nothing inserted
    QTEST(rig.base.monitor(), "monitor");
    QCOMPARE(rig.driver->choice().nextSampleId(), QString()); // consumed, and the window told
    QCOMPARE(ignored, 1);
    QCOMPARE(parsed, 1);
    QCOMPARE(rig.received().size(), 1);
}

void TestActDriver::controlResults()
{
    QFETCH(QString, backend);
    Rig rig(backend);
    QVERIFY(rig.ok());
    int ignored = 0;
    connect(&rig.driver->choice(), &SampleChoice::ignored, [&] { ++ignored; });
    rig.driver->choice().chooseControl("QC-L");
    rig.send(Message(Cbc({Result(1, "WBC", "3.1!L"), Result(2, "HGB", "8.0")})));
    // The same control measured at the same moment again (chosen again) updates its rows.
    rig.driver->choice().chooseControl("QC-L");
    rig.send(Message({Header("20261207110000"), Result(1, "WBC", "3.3"), Terminator}));
    QCOMPARE(rig.rows("SELECT control_id, parameter_id, result, analyzer_id FROM control_results "
                      "ORDER BY parameter_id"),
             QString("QC-L|21|3.3|ACT1;QC-L|23|8|ACT1"));
    QCOMPARE(rig.base.tdb.count("request"), 0);
    // The choice is empty; the control button stays marked until the operator chooses again.
    QCOMPARE(rig.driver->choice().nextSampleId(), QString());
    QVERIFY(rig.driver->choice().nextIsControl());
    QCOMPARE(ignored, 0);
}

void TestActDriver::valuesThatAreNoNumbersNeverOverwrite()
{
    QFETCH(QString, backend);
    Rig rig(backend);
    QVERIFY(rig.ok());
    rig.base.tdb.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 21)");
    rig.base.tdb.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 22)");
    rig.driver->choice().chooseSample("S1");
    rig.send(Message(Cbc({Result(1, "WBC", "6.8"), Result(2, "RBC", "4.52")})));
    // Measured again without values: what is stored stays.
    rig.driver->choice().chooseSample("S1");
    rig.send(Message({Header("20261207110000"), Result(1, "WBC", "-----", "20261207110012"),
                      Result(2, "RBC", "", "20261207110012"), Terminator}));
    QCOMPARE(rig.rows("SELECT parameter_id, result FROM request ORDER BY parameter_id"),
             QString("21|6.8;22|4.52"));
    // A control message sent again (the same measurement) without its value.
    rig.driver->choice().chooseControl("QC-L");
    rig.send(Message(Cbc({Result(1, "WBC", "3.1")})));
    rig.driver->choice().chooseControl("QC-L");
    rig.send(Message({Header("20261207110500"), Result(1, "WBC", "*****"), Terminator}));
    QCOMPARE(rig.rows("SELECT control_id, parameter_id, result FROM control_results"),
             QString("QC-L|21|3.1"));
    QCOMPARE(rig.base.monitor().filter("is not a number").size(), 3);
}

void TestActDriver::nothingChosen()
{
    Rig rig("sqlite");
    QVERIFY(rig.ok());
    rig.base.tdb.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 21)");
    rig.driver->choice().chooseSample("S1");
    rig.driver->choice().ignore(); // "Nächste Messung ignorieren"
    QStringList results;
    for (int n = 1; n <= 11; ++n)
        results << Result(n, "WBC", "6.8");
    const QStringList message = Message(Cbc(results));
    rig.send(message);
    QCOMPARE(rig.rows("SELECT result FROM request"), QString("NULL"));
    QCOMPARE(rig.base.tdb.count("control_results"), 0);
    QCOMPARE(rig.base.monitor(),
             QStringList({"ACT message with 11 results: only the first 10 are stored, 1 skipped",
                          "ACT: no sample or control chosen for this measurement: 10 results not stored"}));
    QCOMPARE(rig.driver->choice().nextSampleId(), QString());
    // The whole message is logged as received, in one line.
    const QStringList received = rig.received();
    QCOMPARE(received.size(), 1);
    QVERIFY(received.first().contains("{STX}1H|") && received.first().contains("L|1|N"));
    QCOMPARE(rig.base.analyzerLine.takeSent(), QString(message.size() - 1, Ack));
}

void TestActDriver::sentAgain()
{
    // The ACT missed the last acknowledgement and sends the message again: it is not filed twice,
    // and the operator's next choice is kept for the next measurement.
    Rig rig("sqlite");
    QVERIFY(rig.ok());
    rig.base.tdb.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 21)");
    rig.base.tdb.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S2', 21)");
    const QStringList message = Message(Cbc({Result(1, "WBC", "6.8")}));
    rig.driver->choice().chooseSample("S1");
    rig.send(message);
    rig.driver->choice().chooseSample("S2");
    rig.send(message);
    QCOMPARE(rig.rows("SELECT sample_id, result FROM request ORDER BY sample_id"), QString("S1|6.8;S2|NULL"));
    QCOMPARE(rig.driver->choice().nextSampleId(), QString("S2"));
    QCOMPARE(rig.base.monitor(),
             QStringList{"ACT message received again: not filed twice; the choice stays"});

    // After a restart the store still knows the message.
    ActDriver restarted(rig.base.services());
    restarted.choice().chooseSample("S2");
    for (const QString& piece : message)
        rig.base.deliver(restarted, piece);
    QCOMPARE(rig.rows("SELECT sample_id, result FROM request ORDER BY sample_id"), QString("S1|6.8;S2|NULL"));
    QVERIFY(rig.base.monitor().last().endsWith("the same frame again, already stored: not stored twice"));
}

void TestActDriver::incompleteMessage_data()
{
    QTest::addColumn<QString>("ending"); // what ends the message after its first result
    QTest::newRow("EOT: the ACT gave up after six NAKs") << "naks";
    QTest::newRow("EOT inside the message") << "eot";
    QTest::newRow("ENQ: the ACT starts the message again") << "enq";
    QTest::newRow("no frame for 30 s") << "timeout";
}

// A message that ends before its terminator was not received: nothing is filed, the operator's
// choice stays, and the message the ACT sends again whole is filed under it, once.
void TestActDriver::incompleteMessage()
{
    QFETCH(QString, ending);
    Rig rig("sqlite");
    QVERIFY(rig.ok());
    rig.base.tdb.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 21)");
    rig.driver->choice().chooseSample("S1");
    QStringList message = Message(Cbc({Result(1, "WBC", "6.8")}));
    rig.send(message.mid(0, 3)); // ENQ, header, result
    if (ending == "naks") {
        QString damaged = Frame(3, Terminator);
        damaged[damaged.size() - 4] = 'Z';
        rig.send(QStringList(6, damaged) << QString(Eot));
    } else if (ending == "eot") {
        rig.send({QString(Eot)});
    } else if (ending == "enq") {
        rig.send({QString(Enq)});
        message.removeFirst();
    } else {
        rig.base.time.advance(E1381Link::ReceiveTimeoutMs);
    }
    QCOMPARE(rig.rows("SELECT result FROM request"), QString("NULL"));
    QCOMPARE(rig.driver->choice().nextSampleId(), QString("S1"));
    QCOMPARE(rig.base.monitor().filter("terminator"),
             QStringList{"ACT message ended without its terminator record (L): not filed; the choice stays"});

    rig.send(message);
    QCOMPARE(rig.rows("SELECT sample_id, result FROM request"), QString("S1|6.8"));
    QCOMPARE(rig.driver->choice().nextSampleId(), QString());
}

void TestActDriver::spooledWhileTheDatabaseIsDown()
{
    Rig rig("sqlite");
    QVERIFY(rig.ok());
    rig.base.tdb.exec("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 21)");
    QTemporaryDir spool;
    Store& store = rig.base.store;
    store.openSpool(spool.path());
    rig.base.tdb.db().close();
    rig.driver->choice().chooseSample("S1");
    const QStringList message = Message(Cbc({Result(1, "WBC", "6.8")}));
    rig.send(message);
    QCOMPARE(rig.base.analyzerLine.takeSent(), QString(message.size() - 1, Ack));
    QCOMPARE(store.spool()->pendingCount(), 1);

    store.replaySpool(); // the connection is opened again
    QCOMPARE(store.spool()->pendingCount(), 0);
    QCOMPARE(rig.rows("SELECT sample_id, result FROM request"), QString("S1|6.8"));
}

QTEST_GUILESS_MAIN(TestActDriver)
#include "tst_actdriver.moc"
