// Frames and replies of the Hitachi 911, 902 and 912 host protocol, on text alone. The frames are
// written field by field from the protocol's layout tables.
#include "HitachiFixture.h"
#include "core/FrameText.h"
#include "drivers/hitachi/FrameBuffer.h"
#include "drivers/hitachi/HitachiFrame.h"
#include "drivers/hitachi/HitachiReply.h"

#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::HitachiFixture;

namespace {

// The results as "channel[value][alarm]", one after the other.
QString Results(const HitachiFrame& f)
{
    QString out;
    for (int k = 0; k < f.resultCount; ++k) {
        const ResultEntry& e = f.results[static_cast<size_t>(k)];
        out += QStringLiteral("%1[%2][%3]").arg(e.Channel).arg(e.Value, e.DataAlarm);
    }
    return out;
}

enum Model
{
    H911,
    H902,
    H912
};

void Parse(int model, const QString& frame, HitachiFrame& f)
{
    switch (model) {
    case H911:
        ParseHit911Frame(frame, f);
        break;
    case H902:
        ParseHit902Frame(frame, f);
        break;
    case H912:
        ParseHit912Frame(frame, f);
        break;
    }
}

// The identification fields of the frames: id 12345 on the 911, left-aligned; A 9876 on the 902,
// right-aligned; QC1 on the 912, left-aligned.
const QString Id911 = Id911Fields(QStringLiteral("12345") + Blanks(8));
const QString Id902 = Id902Fields(Blanks(6) + QStringLiteral("A 9876 "));
const QString Id912 = Id912Fields(QStringLiteral("QC1") + Blanks(10));

} // namespace

class TestHitachiFrame : public QObject
{
    Q_OBJECT

private slots:
    void readNumber_data();
    void readNumber();
    void identification_data();
    void identification();
    void results_data();
    void results();
    void calibration_data();
    void calibration();
    void damagedFrames_data();
    void damagedFrames();
    void fieldsKeptOrEmptied();
    void limsInquiryFrame();
    void frameBuffer_data();
    void frameBuffer();
};

void TestHitachiFrame::readNumber_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("value"); // -1000: no number
    QTest::newRow("right-aligned") << " 5" << 5;
    QTest::newRow("left-aligned") << "5 " << 5;
    QTest::newRow("blank inside ignored") << "1 2" << 12;
    QTest::newRow("stops at a letter") << " 7a" << 7;
    QTest::newRow("negative") << "-3" << -3;
    QTest::newRow("half rounds to even") << "2.5" << 2;
    QTest::newRow("half rounds up to even") << "3.5" << 4;
    QTest::newRow("exponent") << "1e3" << 1000;
    QTest::newRow("blank") << "  " << -1000;
    QTest::newRow("letters") << "ab" << -1000;
    QTest::newRow("beyond 16 bits") << "99999" << -1000;
}

void TestHitachiFrame::readNumber()
{
    QFETCH(QString, field);
    QFETCH(int, value);
    const std::optional<qint16> read = ReadInteger(field);
    QCOMPARE(read.has_value() ? int(*read) : -1000, value);
}

void TestHitachiFrame::identification_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("fields"); // function, class, mark, number, disc, position, id, info1,
                                             // info2, date, time, flag1, flag2, end

    QTest::newRow("911 inquiry") << int(H911) << Frame({QStringLiteral(";A"), Id911})
                                 << QStringList{";",    "A", " ",      "  1",  "1", " 1", "12345",
                                                "   3", " ", "031992", "1147", "",  "",   ETX};
    QTest::newRow("911 results") << int(H911) << Frame({QStringLiteral(":a"), Id911, QStringLiteral(" 0")})
                                 << QStringList{":",    "a", " ",      "  1",  "1", " 1", "12345",
                                                "   3", " ", "031992", "1147", "",  "",   ETX};
    QTest::newRow("902 inquiry") << int(H902) << Frame({QStringLiteral(";A"), Id902})
                                 << QStringList{";", "A", " ", "00012", "", "007", "A9876",
                                                "",  "",  "",  "",      "", "",    ETX};
    QTest::newRow("902 results") << int(H902) << Frame({QStringLiteral(":d"), Id902, QStringLiteral("  0")})
                                 << QStringList{":", "d", " ", "00012", "", "007", "A9876",
                                                "",  "",  "",  "",      "", "",    ETX};
    QTest::newRow("912 inquiry") << int(H912) << Frame({QStringLiteral(";B"), Id912})
                                 << QStringList{";", "B", "",       "00034", "2", "15", "QC1",
                                                "",  "",  "120524", "0930",  "F", "G",  ETX};
    QTest::newRow("912 results leave date and time")
        << int(H912) << Frame({QStringLiteral(":c"), Id912, QStringLiteral(" 0")})
        << QStringList{":", "c", "", "00034", "2", "15", "QC1", "", "", "", "", "F", "G", ETX};
}

void TestHitachiFrame::identification()
{
    QFETCH(int, model);
    QFETCH(QString, frame);
    QFETCH(QStringList, fields);
    HitachiFrame f;
    Parse(model, frame, f);
    QVERIFY2(!f.rejected, qPrintable(f.problems.join(QLatin1Char('\n'))));
    const HitachiFrameRecord& r = f.record;
    const QStringList actual{r.CurFunction, r.CurFrameClass, r.CurMark,  r.CurNumber,  f.sampleDisc,
                             f.samplePos,   f.sampleId,      r.CurInfo1, r.CurInfo2,   r.CurDate,
                             r.CurTime,     r.CurFlag1,      r.CurFlag2, r.CurFrameEnd};
    QCOMPARE(actual, fields);
    QCOMPARE(r.CurFrameStart, STX);
}

void TestHitachiFrame::results_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("results");
    QTest::addColumn<int>("problems");

    QTest::newRow("911 routine blank becomes NULL with its alarm")
        << int(H911)
        << Frame({QStringLiteral(":A"), Id911, QStringLiteral(" 2"), QStringLiteral(" 5 72.38 "),
                  QStringLiteral("10      A")})
        << "5[ 72.38][ ]10[NULL][A]" << 0;
    QTest::newRow("911 batch routine blank becomes NULL")
        << int(H911)
        << Frame({QStringLiteral(":b"), Id911, QStringLiteral(" 1"), QStringLiteral("12       ")})
        << "12[NULL][ ]" << 0;
    QTest::newRow("911 STAT blank with alarm keeps blanks, alarm ?")
        << int(H911)
        << Frame({QStringLiteral(":G"), Id911, QStringLiteral(" 2"), QStringLiteral(" 7      A"),
                  QStringLiteral(" 8       ")})
        << "7[      ][?]8[      ][ ]" << 0;
    QTest::newRow("911 STAT lower case is STAT too")
        << int(H911)
        << Frame({QStringLiteral(":g"), Id911, QStringLiteral(" 1"), QStringLiteral(" 7      A")})
        << "7[      ][?]" << 0;
    QTest::newRow("911 alarms O and X become >, > stays")
        << int(H911)
        << Frame({QStringLiteral(":A"), Id911, QStringLiteral(" 3"), QStringLiteral(" 1  1.00O"),
                  QStringLiteral(" 2  2.00X"), QStringLiteral(" 3  3.00>")})
        << "1[  1.00][>]2[  2.00][>]3[  3.00][>]" << 0;
    QTest::newRow("911 alarm letters other than O and X stay")
        << int(H911)
        << Frame({QStringLiteral(":A"), Id911, QStringLiteral(" 1"), QStringLiteral("48  9.99H")})
        << "48[  9.99][H]" << 0;
    QTest::newRow("902 alarms O, X, > become >; no NULL rule")
        << int(H902)
        << Frame({QStringLiteral(":A"), Id902, QStringLiteral("  4"), QStringLiteral("  1  1.00O"),
                  QStringLiteral("  2  2.00>"), QStringLiteral(" 37      A"), QStringLiteral(" 12       ")})
        << "1[  1.00][>]2[  2.00][>]37[      ][?]12[      ][ ]" << 0;
    QTest::newRow("902 class D is read as results")
        << int(H902)
        << Frame({QStringLiteral(":D"), Id902, QStringLiteral("  1"), QStringLiteral("  5 72.38 ")})
        << "5[ 72.38][ ]" << 0;
    QTest::newRow("912 alarm > kept, O becomes >")
        << int(H912)
        << Frame({QStringLiteral(":B"), Id912, QStringLiteral(" 2"), QStringLiteral(" 5 72.38>"),
                  QStringLiteral(" 6321.50O")})
        << "5[ 72.38][>]6[321.50][>]" << 0;
    QTest::newRow("912 STAT blank value with alarm")
        << int(H912)
        << Frame({QStringLiteral(":D"), Id912, QStringLiteral(" 1"), QStringLiteral(" 9      A")})
        << "9[      ][?]" << 0;

    // Counts the frame cannot honour.
    QTest::newRow("count above the blocks held: the complete ones are read")
        << int(H911)
        << Frame({QStringLiteral(":A"), Id911, QStringLiteral(" 3"), QStringLiteral(" 5 72.38 "),
                  QStringLiteral(" 6 1")})
        << "5[ 72.38][ ]" << 1;
    QString sixty;
    QString first48;
    for (int k = 1; k <= 60; ++k) {
        const QString channel = QStringLiteral("%1").arg(k % 48 + 1, 2);
        sixty += channel + QStringLiteral("  1.00 ");
        if (k <= 48)
            first48 += QStringLiteral("%1[  1.00][ ]").arg(k % 48 + 1);
    }
    QTest::newRow("count above 48: the first 48 are read")
        << int(H911) << Frame({QStringLiteral(":A"), Id911, QStringLiteral("60"), sixty}) << first48 << 1;
    QTest::newRow("channel that is not a number: result skipped")
        << int(H912)
        << Frame({QStringLiteral(":A"), Id912, QStringLiteral(" 2"), QStringLiteral("ab  1.00 "),
                  QStringLiteral(" 3  3.00 ")})
        << "3[  3.00][ ]" << 1;
    QTest::newRow("characters after the ETX are not blocks")
        << int(H911)
        << Frame({QStringLiteral(":A"), Id911, QStringLiteral(" 2"), QStringLiteral(" 5 72.38 ")}) +
               QStringLiteral(" 6  1.00 ")
        << "5[ 72.38][ ]" << 1;
}

void TestHitachiFrame::results()
{
    QFETCH(int, model);
    QFETCH(QString, frame);
    HitachiFrame f;
    Parse(model, frame, f);
    QVERIFY2(!f.rejected, qPrintable(f.problems.join(QLatin1Char('\n'))));
    QCOMPARE(f.content, HitachiFrame::Content::Results);
    QTEST(Results(f), "results");
    QTEST(int(f.problems.size()), "problems");
}

void TestHitachiFrame::calibration_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<QString>("sd");

    QTest::newRow("911 class M") << int(H911)
                                 << Frame({QStringLiteral(":M"), QStringLiteral("12"), QStringLiteral("2"),
                                           QStringLiteral("C"), Standard(1),
                                           Standard(2, QStringLiteral("P"))})
                                 << 12 << 2 << "C"
                                 << "";
    QTest::newRow("902 class G with SD")
        << int(H902)
        << Frame({QStringLiteral(":G"), QStringLiteral(" "), QStringLiteral(" 31"), QStringLiteral("2"),
                  QStringLiteral(" "), Standard(1), Standard(2, QStringLiteral("P")),
                  QStringLiteral("  0.0123")})
        << 31 << 2 << " "
        << "  0.0123";
    QTest::newRow("912 class G with SD marker")
        << int(H912)
        << Frame({QStringLiteral(":G"), Blanks(7), QStringLiteral(" 7"), QStringLiteral("2"),
                  QStringLiteral("E"), Standard(1), Standard(2, QStringLiteral("P")), QStringLiteral("Y"),
                  QStringLiteral(" 0.0456")})
        << 7 << 2 << "E"
        << " 0.0456";
    QTest::newRow("912 without SD marker has no SD")
        << int(H912)
        << Frame({QStringLiteral(":g"), Blanks(7), QStringLiteral(" 7"), QStringLiteral("2"),
                  QStringLiteral(" "), Standard(1), Standard(2, QStringLiteral("P")), QStringLiteral("N")})
        << 7 << 2 << " "
        << "";
}

void TestHitachiFrame::calibration()
{
    QFETCH(int, model);
    QFETCH(QString, frame);
    HitachiFrame f;
    f.calibration.CalSdValue = QStringLiteral("old");
    if (model == H911)
        f.calibration.CalSdValue.clear();
    Parse(model, frame, f);
    QVERIFY2(!f.rejected, qPrintable(f.problems.join(QLatin1Char('\n'))));
    QCOMPARE(f.content, HitachiFrame::Content::Calibration);
    const CalibrationRecord& c = f.calibration;
    QTEST(int(c.CalChannel), "channel");
    QTEST(int(c.CalStdCount), "count");
    QTEST(c.CalAlarm, "alarm");
    QTEST(c.CalSdValue, "sd");
    QCOMPARE(c.CalStandards[0].StdNo, QStringLiteral("1"));
    QCOMPARE(c.CalStandards[0].Readings[0], QStringLiteral("  0.11"));
    QCOMPARE(c.CalStandards[0].Readings[3], QStringLiteral("  3.11"));
    QCOMPARE(c.CalStandards[0].DataAlarm, QStringLiteral(" "));
    QCOMPARE(c.CalStandards[1].StdNo, QStringLiteral("2"));
    QCOMPARE(c.CalStandards[1].Readings[2], QStringLiteral("  2.22"));
    QCOMPARE(c.CalStandards[1].DataAlarm, QStringLiteral("P"));
    QCOMPARE(c.CalStandards[1].ProzoneValue, QStringLiteral("  2222"));
}

void TestHitachiFrame::damagedFrames_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("problem");

    QTest::newRow("911 results cut before the count")
        << int(H911) << Frame({QStringLiteral(":A"), Id911.left(30)}) << "cut short";
    QTest::newRow("911 count blank") << int(H911)
                                     << Frame({QStringLiteral(":A"), Id911, QStringLiteral("  ")})
                                     << "is not a number";
    QTest::newRow("911 negative count")
        << int(H911) << Frame({QStringLiteral(":A"), Id911, QStringLiteral("-1")}) << "is not a number";
    QTest::newRow("902 inquiry cut inside the id")
        << int(H902) << Frame({QStringLiteral(";A"), Id902.left(20)}) << "cut short";
    QTest::newRow("902 standards missing")
        << int(H902)
        << Frame({QStringLiteral(":G"), QStringLiteral(" "), QStringLiteral(" 31"), QStringLiteral("3"),
                  QStringLiteral(" "), Standard(1), Standard(2)})
        << "holds 2 complete standards";
    QTest::newRow("912 standard count not a number")
        << int(H912)
        << Frame({QStringLiteral(":G"), Blanks(7), QStringLiteral(" 7"), QStringLiteral("x"),
                  QStringLiteral(" "), Standard(1)})
        << "is not a number";
    QTest::newRow("911 calibration channel not a number")
        << int(H911)
        << Frame({QStringLiteral(":M"), QStringLiteral("  "), QStringLiteral("1"), QStringLiteral(" "),
                  Standard(1)})
        << "is not a number";
}

void TestHitachiFrame::damagedFrames()
{
    QFETCH(int, model);
    QFETCH(QString, frame);
    QFETCH(QString, problem);
    HitachiFrame f;
    Parse(model, frame, f);
    QVERIFY(f.rejected);
    QCOMPARE(f.problems.size(), 1);
    QVERIFY2(f.problems.first().contains(problem), qPrintable(f.problems.first()));
}

void TestHitachiFrame::fieldsKeptOrEmptied()
{
    // The 911 keeps what a frame does not carry: an inquiry leaves the results of the last frame.
    HitachiFrame f911;
    ParseHit911Frame(Frame({QStringLiteral(":A"), Id911, QStringLiteral(" 1"), QStringLiteral(" 5 72.38 ")}),
                     f911);
    ParseHit911Frame(Frame({QStringLiteral(";A"), Id911}), f911);
    QCOMPARE(Results(f911), QStringLiteral("5[ 72.38][ ]"));

    // The 912 keeps the inquiry's date through a results frame, which does not read it.
    HitachiFrame f912;
    ParseHit912Frame(Frame({QStringLiteral(";A"), Id912}), f912);
    ParseHit912Frame(Frame({QStringLiteral(":A"), Id912, QStringLiteral(" 0")}), f912);
    QCOMPARE(f912.record.CurDate, QStringLiteral("120524"));

    // The 902 starts every frame from empty text fields.
    HitachiFrame f902;
    f902.record.CurDate = QStringLiteral("010101");
    f902.sampleDisc = QStringLiteral("1");
    ParseHit902Frame(Frame({QStringLiteral(";A"), Id902}), f902);
    QCOMPARE(f902.record.CurDate, QString());
    QCOMPARE(f902.sampleDisc, QString());
    ParseHit902Frame(Frame({QStringLiteral(">")}), f902);
    QCOMPARE(f902.sampleId, QString());
    QCOMPARE(f902.record.CurFunction, QStringLiteral(">"));
}

void TestHitachiFrame::limsInquiryFrame()
{
    HitachiFrame f;
    ParseHit911Frame(Frame({QStringLiteral(";a"), Id911}), f);
    SampleRecord sample;
    sample.SampleId = f.sampleId;
    sample.SamplePos = f.samplePos;
    const QString expected = STX + QStringLiteral(";") + QStringLiteral("A") + QStringLiteral("1") +
                             QStringLiteral("    1") + QStringLiteral("1") + QStringLiteral(" 1") +
                             QStringLiteral("5") + Blanks(8) + QStringLiteral("12345") +
                             QStringLiteral("   3") + QStringLiteral("0") + QStringLiteral("031992") +
                             QStringLiteral("1147") + ETX;
    const QString frame = BuildLimsInquiryFrame(f.record, sample);
    QCOMPARE(frame, expected);
    QCOMPARE(frame.size(), 42);
}

void TestHitachiFrame::frameBuffer_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("dropped");
    const QString big(FrameBuffer::Limit, QLatin1Char('x'));
    QTest::newRow("pieces are appended")
        << QStringList{STX + ":A", "12", "3" + ETX} << STX + ":A123" + ETX << false;
    QTest::newRow("STX piece starts afresh; the unfinished frame is reported")
        << QStringList{STX + ":A12", STX + ">" + ETX} << STX + ">" + ETX << true;
    QTest::newRow("STX inside a piece does not")
        << QStringList{"ab", "c" + STX + ">"} << "abc" + STX + ">" << false;
    QTest::newRow("past the limit: kept from the last STX")
        << QStringList{STX + big.left(3000), QString(2000, QLatin1Char('y')) + STX + ":A"} << STX + ":A"
        << true;
    QTest::newRow("past the limit without STX: all dropped") << QStringList{big, "z"} << QString() << true;
    QTest::newRow("one STX piece above the limit: all dropped")
        << QStringList{STX + big} << QString() << true;
    QTest::newRow("at the limit: kept") << QStringList{big.left(FrameBuffer::Limit - 1), "z"}
                                        << big.left(FrameBuffer::Limit - 1) + "z" << false;
}

void TestHitachiFrame::frameBuffer()
{
    QFETCH(QStringList, pieces);
    QFETCH(bool, dropped);
    FrameBuffer buffer;
    QString message;
    for (const QString& piece : pieces) {
        const QString m = buffer.append(piece);
        if (!m.isEmpty())
            message = m;
    }
    QTEST(buffer.text(), "text");
    QCOMPARE(!message.isEmpty(), dropped);
    QVERIFY(buffer.text().size() <= FrameBuffer::Limit);
}

QTEST_GUILESS_MAIN(TestHitachiFrame)
#include "tst_hitachiframe.moc"
