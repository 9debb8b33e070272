// ASTM E1394 records on text alone: the record tree, the Indiko's record fields and the DSX's
// messages. Records are written field by field from the record layouts.
#include "drivers/astm/AstmRecords.h"
#include "drivers/astm/DsxMessage.h"
#include "drivers/astm/IndikoRecords.h"

#include <QTest>

#include <ctime>

using namespace Quorlix;

class TestAstmRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void collection();
    void indikoFields_data();
    void indikoFields();
    void dsxMessage_data();
    void dsxMessage();
    void dsxQueryIdsBounded();
    void delimiters_data();
    void delimiters();
    void textSent_data();
    void textSent();
};

// Local time where summer time begins at 2:00 on the last Sunday of March.
void TestAstmRecords::initTestCase()
{
    qputenv("TZ", "Europe/Berlin");
    tzset();
}

void TestAstmRecords::collection()
{
    Astm::Results results;
    results.Clear(); // on an empty collection: nothing
    QCOMPARE(results.Count(), 0);
    for (const char* code : {"A", "B", "C"}) {
        Astm::Result r;
        r.TestID = code;
        Astm::Result& added = results.Add(r);
        QCOMPARE(&added, results.Item(results.Count()));
    }
    QCOMPARE(results.Item(2)->TestID, "B");
    QVERIFY(!results.Item(0) && !results.Item(4));
    QVERIFY(results.Remove(1) && !results.Remove(3));
    QCOMPARE(results.Item(1)->TestID, "B");
    results.Clear();
    QCOMPARE(results.Count(), 0);
}

// Each row: a record and what its parser reads from it, as "name=value" pairs.
void TestAstmRecords::indikoFields_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("expected");

    const QString h = "H|\\^&|||1^Indiko Basic^2.0|||||1^quorlix^1.0||P|1|";
    QTest::newRow("header: the last second of a day, seconds dropped") << h + "20261207235959"
                                                                       << "time=2026-12-07 23:59";
    QTest::newRow("header in the hour skipped by summer time: as written") << h + "20260329023000"
                                                                           << "time=2026-03-29 02:30";
    QTest::newRow("header without time") << h << "time=invalid";
    QTest::newRow("header on 30 February") << h + "20260230120000"
                                           << "time=invalid";
    QTest::newRow("query: carets removed") << "Q|1|^S123||^^^ALL"
                                           << "id=S123 tests=ALL";
    QTest::newRow("order: id^^disc^position") << "O|1|S123^^2^7"
                                              << "id=S123 disc=2 position=7";
    QTest::newRow("order: another form is the whole id") << "O|1|S123^2"
                                                         << "id=S123^2 disc=0 position=0";
    QTest::newRow("result: code after three carets") << "R|1|^^^GLU^x|5.4|mmol/l"
                                                     << "code=GLU value=5.4";
    QTest::newRow("result without test field") << "R|1"
                                               << "code= value=";
    QTest::newRow("comment") << "C|1|I|Hemolysis|G"
                             << "comment=Hemolysis";
    QTest::newRow("escaped delimiters in an id and a comment") << "O|1|S&F&1&S&x&E&^^2^7"
                                                               << "id=S|1^x& disc=2 position=7";
    QTest::newRow("escaped component delimiter in a query id") << "Q|1|^S&S&1||^^^ALL"
                                                               << "id=S^1 tests=ALL";
    QTest::newRow("unknown escape sequence kept") << "C|1|I|a &H& b &X|G"
                                                  << "comment=a &H& b &X";
}

void TestAstmRecords::indikoFields()
{
    QFETCH(QString, record);
    QFETCH(QString, expected);

    QString actual;
    switch (record.front().toLatin1()) {
    case 'H': {
        const QDateTime t = Indiko::ParseIndikoHeader(record);
        actual = "time=" + (t.isValid() ? t.toString("yyyy-MM-dd HH:mm") : "invalid");
        break;
    }
    case 'Q': {
        const Indiko::IndikoQuery q = Indiko::ParseIndikoQuery(record);
        actual = "id=" + q.sampleId + " tests=" + q.tests;
        break;
    }
    case 'O': {
        const Indiko::IndikoOrder o = Indiko::ParseIndikoOrder(record);
        actual = "id=" + o.sampleId + " disc=" + o.disc + " position=" + o.position;
        break;
    }
    case 'R': {
        const Indiko::IndikoResult r = Indiko::ParseIndikoResult(record);
        actual = "code=" + r.testCode + " value=" + r.value;
        break;
    }
    default:
        actual = "comment=" + Indiko::ParseIndikoComment(record);
    }
    QCOMPARE(actual, expected);
}

// Each row: a message (records joined with CR) and its kind and tree, as
// "kind; patient SampleID: order SampleID TestID = Result ...; query ids".
void TestAstmRecords::dsxMessage_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");

    const QString h = "H|\\^&|||DSX||||||||P|1|20240305120000\r";
    QTest::newRow("results")
        << h + "P|1|7|S5\rO|1|S5||^^^A\rR|1|^^^A|12.5#\rR|2|^^^B|3\rP|2|8|S6\rO|1|S6\rL|1|N"
        << "P; S5: S5 ^^^A=12.5# ^^^B=3; S6: S6";
    QTest::newRow("text before the header dropped") << "xx" + h + "Q|1|ALL\rQ|2|S1\rL|1|N"
                                                    << "Q; ids ALL S1";
    QTest::newRow("an order first: no result message") << h + "O|1|S5\rR|1|^^^A|1\rL|1|N"
                                                       << "O; ";
    QTest::newRow("result message with an order first") << h + "P|1\rR|1|^^^A|1\rO|1|S5\rR|1|^^^A|2\rL|1|N"
                                                        << "P; : S5 ^^^A=2";
    QTest::newRow("error report") << h + "M|1|ERR\rL|1|N"
                                  << "M; ";
    QTest::newRow("empty results") << h + "L|1|N"
                                   << "L; ";
    QTest::newRow("header alone") << h.chopped(1) << "?; ";
    QTest::newRow("delimiters the header declares")
        << "H#~$%###DSX\rP#1#7#S 5\rO#1#S 5##$$$A\rR#1#$$$A#1|2%S%3\rL#1#N"
        << "P; S 5: S 5 ^^^A=1|2$3";
}

void TestAstmRecords::dsxMessage()
{
    QFETCH(QString, message);
    QFETCH(QString, expected);

    const Dsx::DsxMessage m = Dsx::ParseDsxMessage(message);
    QStringList tree;
    for (const Astm::Patient& p : m.patients) {
        QString text = p.SampleID + ":";
        for (const Astm::Order& o : p.orders) {
            text += " " + o.SampleID;
            for (const Astm::Result& r : o.results)
                text += " " + r.TestID + "=" + r.Result;
        }
        tree << text;
    }
    QString actual = m.kind + "; " + tree.join("; ");
    if (!m.queryIds.isEmpty())
        actual += "ids " + m.queryIds.join(' ');
    QCOMPARE(actual, expected);
}

void TestAstmRecords::dsxQueryIdsBounded()
{
    QStringList records{"H|\\^&"};
    for (int i = 1; i <= Dsx::MaxQueryIds + 2; ++i)
        records << QString("Q|%1|S%1").arg(i);
    const Dsx::DsxMessage m = Dsx::ParseDsxMessage(records.join('\r'));
    QCOMPARE(m.queryIds.size(), Dsx::MaxQueryIds);
    QCOMPARE(m.refusedQueryIds, 2);
}

// Each row: the header of a message, one of its records, and that record in the usual delimiters.
void TestAstmRecords::delimiters_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("expected");

    QTest::newRow("usual delimiters: as received") << "H|\\^&|||x"
                                                   << "R|1|^^^A|5&E&4&X"
                                                   << "R|1|^^^A|5&E&4&X";
    QTest::newRow("others: read as the usual ones") << "H#~$%###x"
                                                    << "R#1#$$$A#5.4~6"
                                                    << "R|1|^^^A|5.4\\6";
    QTest::newRow("their escapes: the declared characters, text") << "H#~$%"
                                                                  << "O#1#S%F%1%S%2%R%3%E%4"
                                                                  << "O|1|S#1$2~3%4";
    QTest::newRow("usual delimiters as text there: escaped") << "H#~$%"
                                                             << "C#1#I#a|b^c\\d&e"
                                                             << "C|1|I|a&F&b&S&c&R&d&E&e";
    QTest::newRow("the header itself keeps the usual declaration") << "H#~$%#x"
                                                                   << "H#~$%#x#y$z"
                                                                   << "H|\\^&|x|y^z";
    QTest::newRow("letters are no declaration: the usual ones") << "HABCD|x"
                                                                << "R|1|^^^A|7"
                                                                << "R|1|^^^A|7";
}

void TestAstmRecords::delimiters()
{
    QFETCH(QString, header);
    QFETCH(QString, record);
    QFETCH(QString, expected);
    QCOMPARE(Astm::UsualDelimiters(record, Astm::Delimiters::ofHeader(header)), expected);
}

// Text from the database in the records we send: nothing can shift a field or a component.
void TestAstmRecords::textSent_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("expected");

    QTest::newRow("P: surname with a caret, forename with a bar")
        << Indiko::IndikoPatientRecord("Doe^Smith", "A|B")
        << "P|1|Doe&S&Smith A&F&B|||Doe&S&Smith^A&F&B" + QString(28, '|');
    QTest::newRow("P: name cut to 25 characters before it is escaped")
        << Indiko::IndikoPatientRecord(QString(24, 'x') + "^^", "")
        << "P|1|" + QString(24, 'x') + "&S&|||" + QString(24, 'x') + "&S&&S&^" + QString(28, '|');
    Indiko::IndikoOrderRequest request;
    request.sampleId = "S|1&2";
    request.tests = QStringList{"A^1"};
    request.specimenCode = "1";
    QTest::newRow("O: sample id and test code")
        << Indiko::IndikoOrderRecords(request, false).value(0)
        << "O|1|S&F&1&E&2^0.0^0^0^||^^^A&S&1|R||||||N||||1||||||||||O";
    QTest::newRow("O of the cancel message")
        << Indiko::IndikoCancelOrderRecord("S\\1") << "O|1|S&R&1^0.0^0^0^|||R|||||||N|||3||||||||||X";
    QTest::newRow("control characters: blanks") << Astm::AstmText("a\tb\rc") << "a b c";
}

void TestAstmRecords::textSent()
{
    QFETCH(QString, record);
    QFETCH(QString, expected);
    QCOMPARE(record, expected);
}

QTEST_GUILESS_MAIN(TestAstmRecords)
#include "tst_astmrecords.moc"
