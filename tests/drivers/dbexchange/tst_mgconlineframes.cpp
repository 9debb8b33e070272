// The frames of the MGC online link on text alone. Expected frames are written field by field from
// the layout tables of the link.
#include "core/FrameText.h"
#include "drivers/dbexchange/MgcOnlineFrames.h"

#include <QTest>

using namespace Quorlix;

namespace {

const QDateTime Moment(QDate(2026, 12, 7), QTime(9, 5, 59));
const QString Time = "1207260905"; // month, day, year, hour, minute
const QString Blanks6 = "      ";

QString Framed(const QString& text)
{
    return QString(Stx) + text + QString(Etx);
}

} // namespace

class TestMgcOnlineFrames : public QObject
{
    Q_OBJECT

private slots:
    void resultFrame_data();
    void resultFrame();
    void resultValue_data();
    void resultValue();
    void sampleIdFrame_data();
    void sampleIdFrame();
};

void TestMgcOnlineFrames::resultFrame_data()
{
    QTest::addColumn<QString>("sampleId");
    QTest::addColumn<QString>("sampleInfo");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("channels");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("frame");
    //                           fn   1  2      3  4    5   sample id (13)      6      7  time   8 count
    const QString head = QString(":A") + "1" + "   1" + "1" + " 1" + " ";
    QTest::newRow("three results") << "10385236"
                                   << "" << 3 << QStringList{"1", "2", "12"}
                                   << QStringList{"98", "1.05", "12,5"}
                                   << Framed(head + "     10385236" + "0253" + "1" + Time + Blanks6 + " 3" +
                                             " 1    98 " + " 2  1.05 " + "12  12.5 " + "000000");
    QTest::newRow("id of 15 keeps its last 13")
        << "123456789012345"
        << "" << 1 << QStringList{"7"} << QStringList{"140"}
        << Framed(head + "3456789012345" + "0253" + "1" + Time + Blanks6 + " 1" + " 7   140 " + "000000");
    QTest::newRow("sample information as header")
        << "S1"
        << "2   3  7 19 1 " << 2 << QStringList{"1", "5"} << QStringList{"5", "0.3"}
        << Framed(":A1" + QString("2   3  7 19 1 ") + Blanks6 + " 2" + " 1     5 " + " 5   0.3 " + "000000");
}

void TestMgcOnlineFrames::resultFrame()
{
    QFETCH(QString, sampleId);
    QFETCH(QString, sampleInfo);
    QFETCH(int, count);
    QFETCH(QStringList, channels);
    QFETCH(QStringList, values);
    QList<MgcOnlineResult> results;
    for (qsizetype i = 0; i < channels.size(); ++i)
        results << MgcOnlineResult{channels.at(i), values.at(i)};
    const QString header = sampleInfo.isEmpty() ? MgcResultHeader(sampleId, Moment, count)
                                                : MgcSampleInfoHeader(sampleInfo, count);
    QTEST(MgcResultFrame(header, results), "frame");
    if (sampleInfo.isEmpty())
        QCOMPARE(header.size(), 47);
}

// A value wider than its 6 characters is rounded, never cut to its last 6; one that cannot fit
// gives nothing (the sample is held).
void TestMgcOnlineFrames::resultValue_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("field"); // "held": nothing to send
    QTest::newRow("fits as it is") << "98.5"
                                   << "98.5";
    QTest::newRow("decimal comma") << "12,5"
                                   << "12.5";
    QTest::newRow("seven characters rounded") << "1234.56"
                                              << "1234.6";
    QTest::newRow("comma and rounded") << "1234,56"
                                       << "1234.6";
    QTest::newRow("REAL column read back") << "12.300000190734863"
                                           << "12.3";
    QTest::newRow("rounded to a whole number") << "99999.7"
                                               << "100000";
    QTest::newRow("negative rounded") << "-1234.56"
                                      << "-1235";
    QTest::newRow("too wide even whole") << "1234567"
                                         << "held";
    QTest::newRow("text that fits") << "pos"
                                    << "pos";
    QTest::newRow("text too wide") << "positive"
                                   << "held";
}

void TestMgcOnlineFrames::resultValue()
{
    QFETCH(QString, value);
    QFETCH(QString, field);
    QCOMPARE(MgcResultValue(value).value_or("held"), field);
}

void TestMgcOnlineFrames::sampleIdFrame_data()
{
    QTest::addColumn<QString>("sampleId");
    QTest::addColumn<QString>("frame");
    //                            fn    1     2        3     4      5
    const QString head = QString(";A") + "2" + "    1" + "1" + " 1" + "5";
    QTest::newRow("short id") << "4711" << Framed(head + "         4711" + "0253" + "0" + Time);
    QTest::newRow("id of 15 keeps its last 13")
        << "ABC4567890123XY" << Framed(head + "C4567890123XY" + "0253" + "0" + Time);
}

void TestMgcOnlineFrames::sampleIdFrame()
{
    QFETCH(QString, sampleId);
    QTEST(MgcSampleIdFrame(sampleId, Moment), "frame");
}

QTEST_GUILESS_MAIN(TestMgcOnlineFrames)
#include "tst_mgconlineframes.moc"
