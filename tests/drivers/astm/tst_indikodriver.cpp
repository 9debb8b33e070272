// The Indiko driver against a real database and the real store, on a fake analyzer line and a
// manual clock: exchanges step by step, frames written from the E1381 layout and the record
// layouts of the Indiko's host interface.
#include "AstmFixture.h"
#include "drivers/astm/IndikoDriver.h"
#include "support/DriverRig.h"

#include <QDir>
#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>

using namespace Quorlix;
using namespace Quorlix::Test::Astm;
using Quorlix::Test::DriverRig;

namespace {

// Our header at the rig's moment, and the 28 empty fields that end a P record.
const QString Host = "H|\\^&|||1^quorlix^1.0|||||1^Indiko Basic^2.0||P|1|20261207103940";
const QString P28(28, '|');
// The analyzer's header; its message time is the last second of a day. A message sent again may
// carry a later time.
const QString Header = "H|\\^&|||1^Indiko Basic^2.0|||||1^quorlix^1.0||P|1|20261207235959";
const QString Later = "H|\\^&|||1^Indiko Basic^2.0|||||1^quorlix^1.0||P|1|20261208000100";

// The upload below as the previous release spooled it, one file per record: its results with the
// parameter looked up at once, and the comment on its own.
const QList<QByteArray> PreviousSpool{
    R"json({"format":1,
       "frame":{"CurDate":"","CurFlag1":"","CurFlag2":"","CurFrameClass":"","CurFrameEnd":"",
       "CurFrameStart":"","CurFunction":"","CurInfo1":"","CurInfo2":"","CurMark":"","CurNumber":"",
       "CurTime":""},
       "frameKey":"IND1:879a6ee294f3353284d3c05b46313d000e98c8f7",
       "frameWindow":0,
       "id":"previous-1",
       "kind":"sample",
       "receivedAt":"20261207 10:39:40",
       "sample":{"AuCupPos":"","AuRackNo":"","AuSampleId":"","CurSampleDisc":"","CurSampleId":"",
       "CurSamplePos":"","IndMeasTime":"20261207 23:59:00","IndParameterId":1,"IndResult":"5.4",
       "IndSampleDisc":"2","IndSampleId":"S123","IndSamplePos":"7","Results":[{"Channel":0,
       "DataAlarm":"","ParameterId":1,"Value":"5.4"}]},
       "settings":{"AnalyzerId":"IND1","AnalyzerType":"IND","AutoVal":"","OutComPort":null,"OutId":"",
       "OutType":"","ShowCalibChart":"0"},
       "stamp":"20261207 23:59:00"})json",
    R"json({"comment":{"control":false,"dataAlarm":"!","parameterId":1,"sampleId":"S123",
       "text":"Hemolysis"},
       "format":1,
       "frameKey":"IND1:4c161ed2238b3347d91e636acdc0784d2f57fdc0",
       "frameWindow":0,
       "id":"previous-2",
       "kind":"indiko-comment",
       "receivedAt":"20261207 10:39:40",
       "settings":{"AnalyzerId":"IND1","AnalyzerType":"IND","AutoVal":"","OutComPort":null,"OutId":"",
       "OutType":"","ShowCalibChart":"0"},
       "stamp":"20261207 23:59:00"})json",
    R"json({"format":1,
       "frame":{"CurDate":"","CurFlag1":"","CurFlag2":"","CurFrameClass":"","CurFrameEnd":"",
       "CurFrameStart":"","CurFunction":"","CurInfo1":"","CurInfo2":"","CurMark":"","CurNumber":"",
       "CurTime":""},
       "frameKey":"IND1:2db121e8899e731819c2450eaa0023f6ef88844b",
       "frameWindow":0,
       "id":"previous-3",
       "kind":"sample",
       "receivedAt":"20261207 10:39:40",
       "sample":{"AuCupPos":"","AuRackNo":"","AuSampleId":"","CurSampleDisc":"","CurSampleId":"",
       "CurSamplePos":"","IndMeasTime":"20261207 23:59:00","IndParameterId":2,"IndResult":"1.1",
       "IndSampleDisc":"2","IndSampleId":"S123","IndSamplePos":"7","Results":[{"Channel":0,
       "DataAlarm":"","ParameterId":2,"Value":"1.1"}]},
       "settings":{"AnalyzerId":"IND1","AnalyzerType":"IND","AutoVal":"","OutComPort":null,"OutId":"",
       "OutType":"","ShowCalibChart":"0"},
       "stamp":"20261207 23:59:00"})json"};

// Tests A and B of sample S123 (serum, patient Doe John) map to parameters 1 and 2 of IND1; C is
// mapped for another analyzer only. S124 is urine without requests. QC01 is a control with test A
// armed for IND1.
const QStringList Setup{
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'IND1', 1, 'A')",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'IND1', 2, 'B')",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'OTHER', 3, "
    "'C')",
    "INSERT INTO patients (p_id, surname, forename) VALUES (5, 'Doe', 'John')",
    "INSERT INTO sample_base (sample_id, p_id, sample_mat) VALUES ('S123', 5, 'S')",
    "INSERT INTO sample_base (sample_id, p_id, sample_mat) VALUES ('S124', 5, 'u')",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('S123', 1)",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('S123', 2)",
    "INSERT INTO control_base (control_id, name) VALUES ('QC01', 'Level 1')",
    "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC01', 1, 0, 100)",
    "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC01', 2, 0, 100)",
    "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC01', 1, 'IND1')",
};

// The analyzer's query message for the sample ids, with a test field each ("ALL" by default).
QStringList QueryMessage(const QStringList& queries)
{
    QStringList steps{"<{ENQ} => p{ACK}", "<[1" + Header + "] => {ACK}"};
    int n = 2;
    for (const QString& q : queries) {
        const QString id = q.section(' ', 0, 0);
        const QString tests = q.contains(' ') ? q.section(' ', 1) : "ALL";
        steps << QString("<[%1Q|%2|^%3||^^^%4] => {ACK}").arg(n % 8).arg(n - 1).arg(id, tests);
        ++n;
    }
    steps << QString("<[%1L|1|N] => {ACK}").arg(n % 8);
    return steps;
}

// Our answer for one query: ENQ, then each record as a frame after an ACK, then EOT.
QStringList Answer(const QStringList& records, const QString& enq = "<{EOT} => p{ENQ}",
                   const QString& end = "p{EOT}")
{
    QStringList steps{enq};
    int n = 1;
    for (const QString& r : records)
        steps << QString("<{ACK} => p[%1%2]").arg(n++ % 8).arg(r);
    steps << "<{ACK} => " + end;
    return steps;
}

QString Patient(const QString& name, const QString& surnameForename)
{
    return "P|1|" + name + "|||" + surnameForename + P28;
}

class Rig
{
public:
    Rig(const QString& backend, const QString& mode) : m_rig(backend)
    {
        Settings& s = m_rig.settings;
        s.AnalyzerId = "IND1";
        s.AnalyzerType = "IND";
        s.ControlMask = "QC??";
        s.IndikoRequest = mode;
        m_rig.exec(Setup);
        m_rig.store.openSpool(m_spool.path());
        driver = std::make_unique<IndikoDriver>(m_rig.services());
    }

    // "<line script" feeds the driver; "time MS" moves the clock; "state" names the state; "sql
    // STATEMENT" runs it ("elsewhere STATEMENT" as another program would); "rows QUERY" shows its
    // rows; "close" takes the database away; "readonly" and "writable": the database takes no
    // writes for a while; "replay" stores what waits in the spool; "restart" starts the program
    // again on the same spool folder; "previous" puts records into the spool as the previous
    // release wrote them; "cancel" sends the cancel message; "pauses take time": from then on the
    // line writes what follows a pause only when the clock has passed it.
    QString step(const QString& input)
    {
        if (input.startsWith('<'))
            m_rig.deliver(*driver, LineChars(input.mid(1)));
        else if (input.startsWith("time "))
            m_rig.time.advance(input.mid(5).toInt());
        else if (input == "state")
            return driver->analyzerType();
        else if (input.startsWith("sql "))
            m_rig.tdb.exec(input.mid(4));
        else if (input.startsWith("elsewhere "))
            m_rig.tdb.execElsewhere(input.mid(10));
        else if (input.startsWith("rows "))
            return rows(input.mid(5));
        else if (input == "close")
            m_rig.tdb.db().close();
        else if (input == "readonly" || input == "writable")
            m_rig.tdb.readOnly(input == "readonly");
        else if (input == "replay")
            m_store->replaySpool();
        else if (input == "restart")
            restart();
        else if (input == "previous")
            writePreviousSpool();
        else if (input == "cancel")
            driver->SendCancelMessage();
        else if (input == "pauses take time")
            m_rig.analyzerLine.takeTimeForPauses(m_rig.time);
        return Rendered(m_rig.analyzerLine.takeOperations());
    }

    QString rows(QString sql)
    {
        // TEXT(column): a time stamp as "yyyy-MM-dd HH:mm:ss" text on every backend.
        static const QRegularExpression text("TEXT\\((\\w+)\\)");
        for (auto m = text.match(sql); m.hasMatch(); m = text.match(sql))
            sql.replace(m.capturedStart(), m.capturedLength(),
                        m_rig.tdb.target().dialect.castText(m.captured(1)));
        return m_rig.tdb.rows(sql);
    }

    // Every log line so far (Monitor notes and the lines of both directions).
    QStringList lines() const { return m_rig.lines(); }
    bool ok() const { return m_rig.tdb.ok(); }
    const InstanceStats& stats() const { return m_rig.stats; }

private:
    // A new store and driver, as a new process builds them: the driver registers its kinds of
    // record, then the spool is opened.
    void restart()
    {
        driver.reset();
        const DriverServices s = m_rig.services();
        m_restarted =
            std::make_unique<Store>(m_rig.settings, m_rig.tdb.db(), m_rig.log, m_rig.time, m_rig.limsLine);
        m_store = m_restarted.get();
        driver = std::make_unique<IndikoDriver>(DriverServices{s.settings, s.db, s.log, s.clock, s.timers,
                                                               *m_store, s.analyzerLine, s.limsLine, s.link,
                                                               s.tasks, s.stats});
        m_store->openSpool(m_spool.path());
    }

    void writePreviousSpool()
    {
        for (int i = 0; i < PreviousSpool.size(); ++i) {
            QFile file(QDir(m_spool.path()).filePath(QString("%1.json").arg(900 + i, 12, 10, QChar('0'))));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(PreviousSpool[i]);
        }
    }

    DriverRig m_rig;
    QTemporaryDir m_spool;
    std::unique_ptr<Store> m_restarted;
    Store* m_store = &m_rig.store;

public:
    // Built on the rig and gone before it.
    std::unique_ptr<IndikoDriver> driver;
};

// Our whole answer to a query for the id: the analyzer's query message, then an ACK for every
// frame until our EOT.
QString Ask(Rig& rig, const QString& id)
{
    QStringList written;
    for (const QString& step : QueryMessage({id}))
        written << rig.step(step.section(" => ", 0, 0));
    written << rig.step("<{EOT}");
    for (int frames = 0; frames < 10 && !written.last().endsWith("{EOT}"); ++frames)
        written << rig.step("<{ACK}");
    return written.join(' ');
}

} // namespace

class TestIndikoDriver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void exchange_data();
    void exchange();
    void ordersFiledBetweenTwoQueries_data();
    void ordersFiledBetweenTwoQueries();
};

// Local time where summer time begins at 2:00 on the last Sunday of March.
void TestIndikoDriver::initTestCase()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
}

// Each step is "input => what the driver wrote" (p: after its 500 ms pause). Then each check is
// "SQL => rows", and each text must be in a log line.
void TestIndikoDriver::exchange_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("checks");
    QTest::addColumn<QStringList>("logged");

    const QString requests =
        "SELECT sample_id, parameter_id, analyzer_id, TEXT(time_stamp), result, data_alarm "
        "FROM request ORDER BY sample_id, parameter_id";
    const QString raw =
        "SELECT sample_id, parameter_id, result, data_alarm FROM Raw_Results ORDER BY parameter_id";
    const QString orderAB = "O|1|S123^0.0^0^0^||^^^A\\^^^B|R||||||N||||1||||||||||O";
    const QString doe = Patient("Doe John", "Doe^John");
    const QStringList upload{"<{ENQ} => p{ACK}",
                             "<[1" + Header + "] => {ACK}",
                             "<[2P|1] => {ACK}",
                             "<[3O|1|S123^^2^7] => {ACK}",
                             "<[4R|1|^^^A|5.4|mmol/l] => {ACK}",
                             "<[5C|1|I|Hemolysis|G] => {ACK}",
                             "<[6R|2|^^^C|9] => {ACK}",
                             "<[7R|3|^^^B|1.1] => {ACK}",
                             "<[0L|1|N] => {ACK}",
                             "<{EOT} => "};

    for (const QString& backend : Test::Backends()) {
        const auto row = [&](const QString& name, const QString& mode, const QStringList& steps,
                             const QStringList& checks, const QStringList& logged = {}) {
            QTest::newRow(qPrintable(backend + ": " + name)) << backend << mode << steps << checks << logged;
        };

        // Receiving results.
        row("results: measured at the header's minute, comment on the one before it, eighth frame number 0",
            "", upload,
            {requests + " => S123|1|IND1|2026-12-07 23:59:00|5.4|!;S123|2|IND1|2026-12-07 23:59:00|1.1|",
             raw + " => S123|1|5.4|Hemolysis;S123|2|1.1|",
             "SELECT sample_disc, sample_pos FROM sample_base WHERE sample_id = 'S123' => 2|7"},
            {"H->A{ACK}header", "H->A{ACK}patinfo", "H->A{ACK}sampleRecord", "H->A{ACK}TestResult",
             "H->A{ACK}TestComment", "H->A{ACK}Terminator", " ACK after EOT suppressed", "!Monitor: header"});
        row("ETB or the character 240 outside a message: ACK after the pause, as for ENQ", "",
            {"<{ETB} => p{ACK}", "<[1" + Header + "] => {ACK}", "<[2L|1|N] => {ACK}", "<{EOT} => ",
             "<\u00F0 => p{ACK}", "<{EOT} => ", "state => IND"},
            {}, {"{ETB} single inbuff", "single inbuff ASCII 240"});
        row("unknown test code: not stored under the parameter before it", "", upload,
            {"SELECT COUNT(*) FROM Raw_Results => 2"}, {"Received unknown parameter: C"});
        row("control result and its comment", "",
            {"<{ENQ} => p{ACK}", "<[1" + Header + "] => {ACK}", "<[2P|1] => {ACK}", "<[3O|1|QC01] => {ACK}",
             "<[4R|1|^^^A|95] => {ACK}", "<[5C|1|I|Shift] => {ACK}", "<[6L|1|N] => {ACK}", "<{EOT} => "},
            {"SELECT control_id, parameter_id, result, data_alarm FROM control_results => QC01|1|95|Shift",
             "SELECT COUNT(*) FROM Raw_Results => 0"});
        row("bad checksum: NAK, the good resend and a repeat after a lost ACK stored once", "",
            {"<{ENQ} => p{ACK}", "<[1" + Header + "] => {ACK}", "<[2O|1|S123] => {ACK}",
             "<{STX}3R|1|^^^A|5.4{CR}{ETX}00{CR}{LF} => p{NAK}", "<[3R|1|^^^A|5.4] => {ACK}",
             "<[3R|1|^^^A|5.4] => {ACK}", "<[4L|1|N] => {ACK}", "<{EOT} => "},
            {"SELECT COUNT(*) FROM Raw_Results => 1", requests + " => S123|1|IND1|2026-12-07 23:59:00|5.4|;"
                                                                 "S123|2|NULL|NULL|NULL|NULL"},
            {"frame with checksum 00 where 2C was computed: NAK"});
        row("record split into ETB frames: joined", "",
            {"<{ENQ} => p{ACK}", "<[1" + Header + "] => {ACK}", "<[2O|1|S123] => {ACK}",
             "<[3R|1|^^^A{ETB}] => {ACK}", "<[4|5.4] => {ACK}", "<[5L|1|N] => {ACK}", "<{EOT} => "},
            {raw + " => S123|1|5.4|"});
        const auto single = [&](const QString& value) {
            return QStringList{"<{ENQ} => p{ACK}",
                               "<[1" + Header + "] => {ACK}",
                               "<[2P|1] => {ACK}",
                               "<[3O|1|S123^^2^7] => {ACK}",
                               "<[4R|1|^^^A|" + value + "|mmol/l] => {ACK}",
                               "<[5L|1|N] => {ACK}",
                               "<{EOT} => "};
        };
        row("value that is no number: the order stays open, the rerun fills it", "",
            single("<0.1") + single("5.4"),
            {requests + " => S123|1|IND1|2026-12-07 23:59:00|5.4|;S123|2|NULL|NULL|NULL|NULL",
             "SELECT COUNT(*) FROM Raw_Results WHERE result IS NULL => 1"},
            {"value \"<0.1\" is not a number"});
        QStringList summer = single("5.4");
        summer[1] = "<[1H|\\^&|||1^Indiko Basic^2.0|||||1^quorlix^1.0||P|1|20260329023000] => {ACK}";
        row("header time in the hour skipped by summer time: stored as it says", "", summer,
            {requests + " => S123|1|IND1|2026-03-29 02:30:00|5.4|;S123|2|NULL|NULL|NULL|NULL"});
        row("the whole message sent again: stored once", "", upload + upload.mid(0),
            {"SELECT COUNT(*) FROM Raw_Results => 2"}, {"the same frame again, already stored"});
        // Only a complete message is stored: one that ends before its terminator was not received,
        // and the analyzer sends it again whole.
        const QStringList partial{"<{ENQ} => p{ACK}", "<[1" + Header + "] => {ACK}", "<[2P|1] => {ACK}",
                                  "<[3O|1|S123^^2^7] => {ACK}", "<[4R|1|^^^A|5.4|mmol/l] => {ACK}"};
        const QStringList sixNaks(6, "<{STX}5L|1|N{CR}{ETX}00{CR}{LF} => p{NAK}");
        const QString nothingStored = "rows SELECT COUNT(*) FROM Raw_Results => 0";
        QStringList resent = upload;
        resent[1] = "<[1" + Later + "] => {ACK}";
        const QStringList storedOnce{
            requests + " => S123|1|IND1|2026-12-08 00:01:00|5.4|!;S123|2|IND1|2026-12-08 00:01:00|1.1|",
            raw + " => S123|1|5.4|Hemolysis;S123|2|1.1|"};
        row("the analyzer gives up after six NAKs: nothing stored, the message sent again stored once", "",
            partial + sixNaks + QStringList{"<{EOT} => ", nothingStored} + resent, storedOnce,
            {"message ended without its terminator record (L): 4 records discarded"});
        row("ENQ starting the message again: its first part discarded", "",
            partial + QStringList{"<{ENQ} => p{ACK}", nothingStored} + resent.mid(1), storedOnce,
            {"ENQ inside a message", "message ended without its terminator record (L): 4 records discarded"});
        row("no frame for 30 s: the message discarded", "",
            partial + QStringList{"time 30000 => ", nothingStored} + resent, storedOnce,
            {"no frame and no EOT for 30 s", "message ended without its terminator record (L)"});

        // The test codes are looked up when the results are stored: a result received while the
        // database is away waits whole in the spool, across a restart too.
        const QStringList uploadStored{
            raw + " => S123|1|5.4|Hemolysis;S123|2|1.1|",
            requests + " => S123|1|IND1|2026-12-07 23:59:00|5.4|!;S123|2|IND1|2026-12-07 23:59:00|1.1|"};
        row("database away: the results wait in the spool, their codes looked up once it is back", "",
            QStringList{"close => "} + upload + QStringList{"replay => "}, uploadStored,
            {"Received unknown parameter: C"});
        row("restart while the results wait in the spool", "",
            QStringList{"close => "} + upload + QStringList{"restart => ", "replay => "}, uploadStored);
        row("results and comment spooled by the previous release: stored", "",
            {"previous => ", "restart => ", "replay => "}, uploadStored);
        row("database away: results and comment wait in the spool, stored in order once it is back", "",
            QStringList{"readonly => "} + upload + QStringList{"writable => ", "replay => ", "replay => "},
            {raw + " => S123|1|5.4|Hemolysis;S123|2|1.1|",
             requests + " => S123|1|IND1|2026-12-07 23:59:00|5.4|!;S123|2|IND1|2026-12-07 23:59:00|1.1|"});

        // Answering queries.
        row("query, single mode: one O with tests A and B", "",
            QueryMessage({"S123"}) + Answer({Host, doe, orderAB, "L|1|N"}) + QStringList{"state => IND"}, {},
            {"SampleRequest", "IND Ready", "All requests sent"});
        row("query, MULTI mode: one O per test", "MULTI",
            QueryMessage({"S123"}) + Answer({Host, doe, "O|1|S123^0.0^0^0^||^^^A|R||||||N||||1||||||||||O",
                                             "O|2|S123^0.0^0^0^||^^^B|R||||||N||||1||||||||||O", "L|1|N"}),
            {});
        row("urine sample without requests: report type X, specimen 3", "",
            QueryMessage({"S124"}) +
                Answer({Host, doe, "O|1|S124^0.0^0^0^|||R||||||N||||3||||||||||X", "L|1|N"}),
            {});
        row("unknown sample, MULTI mode: the one X record", "multi",
            QueryMessage({"S999"}) +
                Answer({Host, Patient(" ", "^"), "O|1|S999^0.0^0^0^|||R||||||N||||3||||||||||X", "L|1|N"}),
            {});
        row("tests not ALL, single mode: an empty O record", "",
            QueryMessage({"S123 GLU"}) + Answer({Host, doe, "", "L|1|N"}), {});
        row("tests not ALL, MULTI mode: the X record, no step without a frame", "MULTI",
            QueryMessage({"S123 GLU"}) +
                Answer({Host, doe, "O|1|S123^0.0^0^0^|||R||||||N||||3||||||||||X", "L|1|N"}),
            {});
        row("control: only tests armed for this analyzer", "",
            QueryMessage({"QC01"}) + Answer({Host, Patient("Level 1 ", "Level 1^"),
                                             "O|1|QC01^0.0^0^0^||^^^A|R||||||N||||3||||||||||O", "L|1|N"}),
            {});
        row("two queries: two messages, ENQ at once after the first EOT", "",
            QueryMessage({"S123", "S124"}) +
                Answer({Host, doe, orderAB, "L|1|N"}, "<{EOT} => p{ENQ}", "p{EOT} {ENQ}") +
                Answer({Host, doe, "O|1|S124^0.0^0^0^|||R||||||N||||3||||||||||X", "L|1|N"},
                       "state => INDREADY"),
            {});
        QStringList many;
        for (int i = 1; i <= Indiko::MaxQueries + 1; ++i)
            many << QString("S%1").arg(i);
        row("51 queries in one batch: the last refused", "",
            QueryMessage(many) + QStringList{"<{EOT} => p{ENQ}"}, {},
            {"more than 50 queries in one batch: the query for \"S51\" is not answered"});
        QStringList tests;
        for (int p = 1; p <= Indiko::MaxTests + 1; ++p)
            tests << QString("sql INSERT INTO param2channel (parameter_id, analyzer_id, testiddsx) "
                             "VALUES (%1, 'IND1', 'T%2') => ")
                         .arg(100 + p)
                         .arg(p, 3, 10, QChar('0'))
                  << QString("sql INSERT INTO request (sample_id, parameter_id) VALUES ('S500', %1) => ")
                         .arg(100 + p);
        row("221 tests for one query: 220 ordered", "MULTI",
            tests + QueryMessage({"S500"}) + QStringList{"<{EOT} => p{ENQ}"}, {},
            {"query for \"S500\": 221 tests, more than 220: the first 220 are ordered"});
        if (backend == "sqlite") {
            QString frames, acks;
            for (int r = 1; r <= Indiko::MaxMessageResults + 1; ++r) {
                frames += QString("[%1R|%2|^^^A|%2]").arg((r + 3) % 8).arg(r);
                acks += acks.isEmpty() ? "{ACK}" : " {ACK}";
            }
            row("a message with more results than a batch holds: none stored, memory bounded", "",
                {"<{ENQ} => p{ACK}", "<[1" + Header + "][2P|1][3O|1|S123] => {ACK} {ACK} {ACK}",
                 "<" + frames + " => " + acks,
                 QString("<[%1L|1|N] => {ACK}").arg((Indiko::MaxMessageResults + 5) % 8), "<{EOT} => "},
                {"SELECT COUNT(*) FROM Raw_Results => 0"},
                {"message with more than 11000 results: none stored"});
        }
        row("cancel message for the specimen of the last order: report type X, state INDRESULT", "",
            {"<{ENQ} => p{ACK}", "<[1" + Header + "] => {ACK}", "<[2O|1|S123] => {ACK}", "cancel => ",
             "<[3L|1|N] => {ACK}", "<{EOT} => p{ENQ}", "<{ACK} => p[1" + Host + "]", "state => INDRESULT",
             "<{ACK} => p[2" + doe + "]", "<{ACK} => p[3O|1|S123^0.0^0^0^|||R|||||||N|||3||||||||||X]",
             "<{ACK} => p[4L|1|N]", "<{ACK} => p{EOT}", "state => IND"},
            {}, {"Cancel request message sent"});
        row("NAK on our frame: sent again", "",
            QueryMessage({"S123"}) + QStringList{"<{EOT} => p{ENQ}", "<{ACK} => p[1" + Host + "]",
                                                 "<{NAK} => p[1" + Host + "]", "state => INDREQ",
                                                 "<{ACK} => p[2" + doe + "]"},
            {}, {"NAK received"});
        row("no ACK within 15 s: EOT", "",
            QueryMessage({"S123"}) + QStringList{"<{EOT} => p{ENQ}", "<{ACK} => p[1" + Host + "]",
                                                 "time 15000 => p{EOT}", "state => IND"},
            {}, {"no answer from the instrument within 15 s: EOT sent, message not delivered"});
        row("the 15 s for the ACK run from our frame written, after the pause", "",
            QueryMessage({"S123"}) + QStringList{"pauses take time => ", "<{EOT} => ", "time 500 => p{ENQ}",
                                                 "<{ACK} => ", "time 500 => p[1" + Host + "]",
                                                 "time 14999 => ", "state => INDREQ", "time 1 => ",
                                                 "time 500 => p{EOT}", "state => IND"},
            {}, {"no answer from the instrument within 15 s: EOT sent, message not delivered"});
        row("contention once: ENQ twice, the host sends", "",
            QueryMessage({"S123"}) + QStringList{"<{EOT} => p{ENQ}", "state => INDREADY",
                                                 "<{ENQ} => p{ENQ} p{ENQ}", "<{ACK} => p[1" + Host + "]"},
            {},
            {"H->A{ENQ}ReqOutput", "A->H{ENQ}IND Not Ready", "H->A{ENQ} Answer ENQ to Indiko ENQ",
             "IND Ready", "!Answer to ENQ #2"});
        row("contention twice: the analyzer sends first, the host bids after its EOT", "",
            QueryMessage({"S123"}) +
                QStringList{"<{EOT} => p{ENQ}", "<{ENQ} => p{ENQ} p{ENQ}", "<{ENQ} => p{ACK}", "state => IND",
                            "<[1" + Header + "] => {ACK}", "<[2L|1|N] => {ACK}"} +
                Answer({Host, doe, orderAB, "L|1|N"}),
            {}, {"IND Not Ready", "H->A{ACK} Answer to ENQ #2, back to analyzer_type IND"});
        row("contention, then an answer neither ACK, NAK nor ENQ: NAK, back to IND", "",
            QueryMessage({"S123"}) + QStringList{"<{EOT} => p{ENQ}", "<{ENQ} => p{ENQ} p{ENQ}",
                                                 "<{EOT} => p{NAK}", "state => IND"},
            {}, {"Received unexpected: ", "H->A{NAK}ReqOutput", "!Answer to ENQ #2"});
        row("unexpected answer to the bid: NAK, the answer follows the analyzer's next message", "",
            QueryMessage({"S123"}) +
                QStringList{"<{EOT} => p{ENQ}", "<[1" + Header + "] => p{NAK}", "state => IND",
                            "<{ENQ} => p{ACK}", "<[1" + Header + "] => {ACK}", "<[2L|1|N] => {ACK}"} +
                Answer({Host, doe, orderAB, "L|1|N"}),
            {}, {"Received unexpected: "});
        row("DC1 and a garbled ACK while the host sends: logged, the frame sent again", "",
            QueryMessage({"S123"}) + QStringList{"<{EOT} => p{ENQ}", "<{ACK} => p[1" + Host + "]",
                                                 "<\x11 => ", "<x => p[1" + Host + "]",
                                                 "<{ACK} => p[2" + doe + "]"},
            {}, {"DC1 received", "Received unexpected: x"});
    }
}

void TestIndikoDriver::exchange()
{
    QFETCH(QString, backend);
    QFETCH(QString, mode);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, checks);
    QFETCH(QStringList, logged);

    Rig rig(backend, mode);
    QVERIFY(rig.ok());
    for (const QString& step : steps) {
        const QString input = step.section(" => ", 0, 0);
        QCOMPARE(input + " => " + rig.step(input), step.trimmed() == input ? step + " => " : step);
    }
    for (const QString& check : checks)
        QCOMPARE(rig.rows(check.section(" => ", 0, 0)), check.section(" => ", 1));
    // "!text": no line holds the text.
    const QStringList lines = rig.lines();
    for (const QString& text : logged) {
        if (text.startsWith('!'))
            QVERIFY2(lines.filter(text.mid(1)).isEmpty(),
                     qPrintable(text.mid(1) + " in:\n" + lines.join('\n')));
        else
            QVERIFY2(!lines.filter(text).isEmpty(), qPrintable(text + " not in:\n" + lines.join('\n')));
    }
}

void TestIndikoDriver::ordersFiledBetweenTwoQueries_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("filed"); // by another program between the two queries
    for (const QString& b : Test::Backends()) {
        QTest::addRow("%s patient order", qPrintable(b))
            << b << "S124" << QStringList{"INSERT INTO request (sample_id, parameter_id) VALUES ('S124', 1)"};
        // With an open row the control's tests come from its open rows, not from its definitions.
        QTest::addRow("%s open control row", qPrintable(b))
            << b << "QC01"
            << QStringList{
                   "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC01', 2, "
                   "'IND1')",
                   "INSERT INTO control_results (control_id, parameter_id, analyzer_id) VALUES ('QC01', 2, "
                   "'IND1')"};
    }
}

// Every query sees the database as it is now: the second answer is the one a driver started
// afresh gives.
void TestIndikoDriver::ordersFiledBetweenTwoQueries()
{
    QFETCH(QString, backend);
    QFETCH(QString, id);
    QFETCH(QStringList, filed);
    Rig rig(backend, "");
    QVERIFY(rig.ok());
    const QString before = Ask(rig, id);
    for (const QString& sql : filed)
        rig.step("elsewhere " + sql);
    const QString after = Ask(rig, id);
    QCOMPARE(rig.stats().orderReplies.count, 2u); // each answer once its EOT was written

    Rig fresh(backend, "");
    for (const QString& sql : filed)
        fresh.step("sql " + sql);
    QCOMPARE(after, Ask(fresh, id));
    QVERIFY(after != before);
}

QTEST_GUILESS_MAIN(TestIndikoDriver)
#include "tst_indikodriver.moc"
