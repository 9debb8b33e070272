// The DSX driver against a real database and the real store, on a fake analyzer line and a manual
// clock: messages chained with ETB as the DSX sends them, answers byte for byte.
#include "AstmFixture.h"
#include "drivers/astm/DsxDriver.h"
#include "support/DriverRig.h"

#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::Astm;
using Quorlix::Test::DriverRig;

namespace {

const QString Header = "H|\\^&|||DSX^1|||||LIMS||P|1|20240305120000";
const QString Reply = "H|\\^&|||LABHOST|||||DSX^1||P|1|20240305120000";

// Tests A and B map to parameters 1 and 2 of DSX1, C to 3 of another analyzer. S1 and S2 belong to
// patient Doe John; S9 has a request but no sample_base row.
const QStringList Setup{
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'DSX1', 1, 'A')",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'DSX1', 2, 'B')",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'OTHER', 3, "
    "'C')",
    "INSERT INTO patients (p_id, surname, forename) VALUES (5, 'Doe', 'John')",
    "INSERT INTO sample_base (sample_id, p_id, si_id) VALUES ('S1', 5, 'SI5')",
    "INSERT INTO sample_base (sample_id, p_id, si_id) VALUES ('S2', 5, 'SI6')",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 1)",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 2)",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('S2', 1)",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('S2', 2)",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('S2', 3)",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('S9', 1)",
};

// A message as the DSX chains it: ENQ, one frame per record (ETB after all but the last), EOT (and
// what the host writes then).
QStringList Message(const QStringList& records, const QString& afterEot = "")
{
    QStringList steps{"<{ENQ} => {ACK}"};
    for (int i = 0; i < records.size(); ++i)
        steps << QString("<[%1%2%3] => {ACK}")
                     .arg((i + 1) % 8)
                     .arg(records[i], i + 1 < records.size() ? "{CR}{ETB}" : "");
    steps << "<{EOT} => " + afterEot;
    return steps;
}

// Our answer after our ENQ: one frame per ACK, EOT after the last.
QStringList Answer(const QStringList& records)
{
    QStringList steps;
    for (int i = 0; i < records.size(); ++i)
        steps << QString("<{ACK} => [%1%2%3]")
                     .arg((i + 1) % 8)
                     .arg(records[i], i + 1 < records.size() ? "{CR}{ETB}" : "");
    steps << "<{ACK} => {EOT}";
    return steps;
}

QString P(int n, const QString& id, const QString& si)
{
    return QString("P|%1|5|%2|%3|Doe^John|||F|||||LABHOST").arg(n).arg(id, si);
}

QString O(int n, const QString& id, const QString& code)
{
    return QString("O|%1|%2||^^^%3|R|20030821195400||||||||20030821195400|P||||||||||O").arg(n).arg(id, code);
}

// A DSX1 driver on a fresh database with the setup and the statements.
struct Rig
{
    Rig(const QString& backend, const QStringList& statements) : base(backend)
    {
        base.settings.AnalyzerId = "DSX1";
        base.settings.AnalyzerType = "DSX";
        base.settings.ComputerName = "LABHOST";
        base.exec(Setup + statements);
        driver = std::make_unique<DsxDriver>(base.services());
    }

    // Our whole answer to a query message for the id: an ACK for every frame until our EOT.
    QString ask(const QString& id)
    {
        QStringList written;
        for (const QString& step : Message({Header, "Q|1|" + id, "L|1|N"}))
            base.deliver(*driver, LineChars(step.section(" => ", 0, 0).mid(1)));
        written << Rendered(base.analyzerLine.takeOperations());
        for (int frames = 0; frames < 20 && !written.last().endsWith("{EOT}"); ++frames) {
            base.deliver(*driver, QString(Ack));
            written << Rendered(base.analyzerLine.takeOperations());
        }
        return written.join(' ');
    }

    DriverRig base;
    std::unique_ptr<DsxDriver> driver;
};

} // namespace

class TestDsxDriver : public QObject
{
    Q_OBJECT

private slots:
    void exchange_data();
    void exchange();
    void ordersFiledBetweenTwoQueries_data() { Test::AddBackendRows(); }
    void ordersFiledBetweenTwoQueries();
};

void TestDsxDriver::exchange_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("checks");
    QTest::addColumn<QStringList>("logged");

    const QString requests =
        "SELECT sample_id, parameter_id, analyzer_id, TEXT(time_stamp), result FROM request "
        "WHERE sample_id = 'S5' OR (sample_id = 'S1' AND parameter_id = 1) ORDER BY sample_id";
    const QStringList results =
        Message({Header, "P|1|7|S5", "O|1|S5||^^^A", "R|1|^^^A|12.5#|mg/dl", "R|2|^^^Z|3", "L|1|N"});

    for (const QString& backend : Test::Backends()) {
        const auto row = [&](const QString& name, const QStringList& setup, const QStringList& steps,
                             const QStringList& checks, const QStringList& logged = {}) {
            QTest::newRow(qPrintable(backend + ": " + name)) << backend << setup << steps << checks << logged;
        };
        row("results: # removed, request and sample_base inserted, unknown code logged", {}, results,
            {requests + " => S1|1|NULL|NULL|NULL;S5|1|DSX1|2026-12-07 10:39:40|12.5",
             "SELECT analyzer_id, p_id, si_id, cust_id FROM sample_base WHERE sample_id = 'S5' => "
             "DSX1|1|na|999"},
            {"Received unknown parameter: Z"});
        // A message that ends before its terminator was not received; the DSX sends it again whole.
        QStringList givenUp = results.mid(0, 5);
        givenUp << QStringList(6, "<{STX}5R|2|^^^Z|3{CR}{ETB}00{CR}{LF} => {NAK}") << "<{EOT} => ";
        row("the DSX gives up after six NAKs: nothing stored, the message sent again stored once", {},
            givenUp + results,
            {requests + " => S1|1|NULL|NULL|NULL;S5|1|DSX1|2026-12-07 10:39:40|12.5",
             "SELECT COUNT(*) FROM request => 7"},
            {"message ended without its terminator record (L): 4 records discarded"});
        row("query without its terminator: not answered", {},
            QStringList{"<{ENQ} => {ACK}", "<[1" + Header + "{CR}{ETB}] => {ACK}",
                        "<[2Q|1|S2{CR}{ETB}] => {ACK}", "<{EOT} => "} +
                Message({Header, "Q|1|S1", "L|1|N"}, "{ENQ}") +
                Answer({Reply, P(1, "S1", "SI5"), O(1, "S1", "A"), O(2, "S1", "B"), "L|1|F"}),
            {}, {"message ended without its terminator record (L): 2 records discarded"});
        row("the same message again: stored once", {}, results + results,
            {"SELECT COUNT(*) FROM request => 7"}, {"already stored"});
        row("database away: the message waits in the spool, stored once when it is back", {},
            QStringList{"readonly => "} + results + QStringList{"writable => ", "replay => ", "replay => "},
            {requests + " => S1|1|NULL|NULL|NULL;S5|1|DSX1|2026-12-07 10:39:40|12.5",
             "SELECT COUNT(*) FROM request => 7"});
        row("open request with the analyzer already noted: filled",
            {"UPDATE request SET analyzer_id = 'DSX1' WHERE sample_id = 'S1'"},
            Message({Header, "P|1|5|S1", "O|1|S1||^^^A", "R|1|^^^A|7", "L|1|N"}),
            {requests + " => S1|1|DSX1|2026-12-07 10:39:40|7",
             "SELECT analyzer_id FROM sample_base WHERE sample_id = 'S1' => DSX1"});
        row("value that is no number: the order stays open for the rerun", {},
            Message({Header, "P|1|5|S1", "O|1|S1||^^^A", "R|1|^^^A|<0.1", "L|1|N"}),
            {requests + " => S1|1|NULL|NULL|NULL"}, {"value \"<0.1\" is not a number"});
        row("manufacturer record: an error report", {}, Message({Header, "M|1|ERR", "L|1|N"}), {},
            {"fehler aufgetreten!"});
        row("terminator after the header: no results", {}, Message({Header, "L|1|N"}), {},
            {"got empty results!"});
        row("second record neither P, Q, M nor L: a Monitor line", {},
            Message({Header, "C|1|I|Lipemic", "R|1|^^^A|7", "L|1|N"}),
            {"SELECT COUNT(*) FROM request WHERE result IS NOT NULL => 0"},
            {"message whose second record is \"C\" (not P, Q, M or L): not used"});
        row("id with an inner blank: its own request and sample row found",
            {"INSERT INTO sample_base (sample_id, p_id, si_id) VALUES ('S 7', 5, 'SI7')",
             "INSERT INTO request (sample_id, parameter_id) VALUES ('S 7', 1)"},
            Message({Header, "P|1|5|S 7", "O|1|S 7||^^^A", "R|1|^^^A|7", "L|1|N"}),
            {"SELECT sample_id, result FROM request WHERE parameter_id = 1 AND result IS NOT NULL => S 7|7",
             "SELECT sample_id, analyzer_id FROM sample_base WHERE sample_id LIKE 'S%7' => S 7|DSX1"});
        // H, P, O, O, P, O, O, L: the eighth frame carries number 0, the ninth ACK gets EOT.
        row("query ALL: every sample in id order, requests with a channel here", {},
            Message({Header, "Q|1|ALL", "L|1|N"}, "{ENQ}") +
                Answer({Reply, P(1, "S1", "SI5"), O(1, "S1", "A"), O(2, "S1", "B"), P(2, "S2", "SI6"),
                        O(1, "S2", "A"), O(2, "S2", "B"), "L|1|F"}),
            {});
        row("each query message answered with its own samples", {},
            Message({Header, "Q|1|S2", "L|1|N"}, "{ENQ}") +
                Answer({Reply, P(1, "S2", "SI6"), O(1, "S2", "A"), O(2, "S2", "B"), "L|1|F"}) +
                Message({Header, "Q|1|S1", "L|1|N"}, "{ENQ}") +
                Answer({Reply, P(1, "S1", "SI5"), O(1, "S1", "A"), O(2, "S1", "B"), "L|1|F"}),
            {});
        row("query for an unknown sample: header and terminator", {},
            Message({Header, "Q|1|S9", "Q|2|S0", "L|1|N"}, "{ENQ}") + Answer({Reply, "L|1|F"}), {});
    }
}

void TestDsxDriver::exchange()
{
    QFETCH(QString, backend);
    QFETCH(QStringList, setup);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, checks);
    QFETCH(QStringList, logged);

    DriverRig rig(backend);
    QVERIFY(rig.tdb.ok());
    rig.settings.AnalyzerId = "DSX1";
    rig.settings.AnalyzerType = "DSX";
    rig.settings.ComputerName = "LABHOST";
    rig.exec(Setup + setup);
    QTemporaryDir spool;
    rig.store.openSpool(spool.path());
    DsxDriver driver(rig.services());

    // "<line script" feeds the driver; "sql STATEMENT" runs it; "replay" stores what waits in the spool;
    // "readonly" and "writable": the database takes no writes for a while.
    for (const QString& step : steps) {
        const QString input = step.section(" => ", 0, 0);
        if (input.startsWith("sql "))
            rig.tdb.exec(input.mid(4));
        else if (input == "readonly" || input == "writable")
            rig.tdb.readOnly(input == "readonly");
        else if (input == "replay")
            rig.store.replaySpool();
        else
            rig.deliver(driver, LineChars(input.mid(1)));
        QCOMPARE(input + " => " + Rendered(rig.analyzerLine.takeOperations()), step);
    }
    for (const QString& check : checks) {
        QString sql = check.section(" => ", 0, 0);
        sql.replace("TEXT(time_stamp)", rig.tdb.target().dialect.castText("time_stamp"));
        QCOMPARE(rig.tdb.rows(sql), check.section(" => ", 1));
    }
    const QStringList lines = rig.lines();
    for (const QString& text : logged)
        QVERIFY2(!lines.filter(text).isEmpty(), qPrintable(text + " not in:\n" + lines.join('\n')));
}

// Every query sees the database as it is now: the second answer is the one a driver started
// afresh gives.
void TestDsxDriver::ordersFiledBetweenTwoQueries()
{
    QFETCH(QString, backend);
    const QStringList filed{"INSERT INTO sample_base (sample_id, p_id, si_id) VALUES ('S3', 5, 'SI7')",
                            "INSERT INTO request (sample_id, parameter_id) VALUES ('S3', 1)",
                            "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) "
                            "VALUES (3, 'DSX1', 3, 'C')"};
    Rig rig(backend, {});
    QVERIFY(rig.base.tdb.ok());
    const QString before = rig.ask("ALL");
    for (const QString& sql : filed)
        rig.base.tdb.execElsewhere(sql);
    const QString after = rig.ask("ALL");
    QCOMPARE(rig.base.stats.orderReplies.count, 2u); // each answer once its EOT was written

    Rig fresh(backend, filed);
    QCOMPARE(after, fresh.ask("ALL"));
    QVERIFY(after != before);
}

QTEST_GUILESS_MAIN(TestDsxDriver)
#include "tst_dsxdriver.moc"
