#include "StoreFixture.h"
#include "store/LimsFrames.h"

#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test; // Stx, Etx, Blanks

class TestLimsFrames : public QObject
{
    Q_OBJECT

private slots:
    void controlResultsFrame_data();
    void controlResultsFrame();
    void calibrationFrame_data();
    void calibrationFrame();
};

void TestLimsFrames::controlResultsFrame_data()
{
    QTest::addColumn<QString>("controlId");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("channels");
    QTest::addColumn<QStringList>("results");
    QTest::addColumn<QString>("frame");

    // Header fields in order: function, class (upper case), "1", number (5), "1", cup (2), "5",
    // id (13), info1 (4), last character of info2, MMddyyHHmm, six blanks, count (2).
    const QString header = QStringLiteral(":") + QStringLiteral("A") + QStringLiteral("1") +
                           QStringLiteral("   42") + QStringLiteral("1") + QStringLiteral(" 5") +
                           QStringLiteral("5");
    const QString tail =
        QStringLiteral("   1") + QStringLiteral("7") + QStringLiteral("1207261039") + Blanks(6);
    QTest::newRow("two results") << "QC1" << 2 << QStringList{QStringLiteral("12"), QStringLiteral("3")}
                                 << QStringList{QStringLiteral("4.5"), QStringLiteral("100")}
                                 << Stx + header + QStringLiteral("          QC1") + tail +
                                        QStringLiteral(" 2") + QStringLiteral("12   4.5 ") +
                                        QStringLiteral(" 3   100 ") + QStringLiteral("000000") + Etx;
    QTest::newRow("count larger than groups")
        << "QC1" << 3 << QStringList{QStringLiteral("12")} << QStringList{QStringLiteral("4.5")}
        << Stx + header + QStringLiteral("          QC1") + tail + QStringLiteral(" 3") +
               QStringLiteral("12   4.5 ") + QStringLiteral("000000") + Etx;
    QTest::newRow("long id and result keep their rightmost characters")
        << "CONTROL-LOW-000017" << 1 << QStringList{QStringLiteral("123")}
        << QStringList{QStringLiteral("1234.5678")}
        << Stx + header + QStringLiteral("OL-LOW-000017") + tail + QStringLiteral(" 1") +
               QStringLiteral("23") + QStringLiteral("4.5678") + QStringLiteral(" ") +
               QStringLiteral("000000") + Etx;
}

void TestLimsFrames::controlResultsFrame()
{
    QFETCH(QString, controlId);
    QFETCH(int, count);
    QFETCH(QStringList, channels);
    QFETCH(QStringList, results);
    const ControlFrameHeader header{QStringLiteral(":"),
                                    QStringLiteral("a"),
                                    QStringLiteral("42"),
                                    QStringLiteral("5"),
                                    QStringLiteral("1"),
                                    QStringLiteral("07"),
                                    StoreNow};
    QList<ChannelResult> groups;
    for (int i = 0; i < channels.size(); ++i)
        groups.append({channels.at(i), results.at(i)});
    const QString frame = ControlResultsFrame(header, controlId, count, groups);
    QTEST(frame, "frame");
    QCOMPARE(frame.size(), 2 + 48 + 9 * groups.size() + 6); // STX, header, groups, "000000", ETX
}

void TestLimsFrames::calibrationFrame_data()
{
    QTest::addColumn<QStringList>("values"); // per standard: abs1, ini1, abs2, ini2, alarm, prozone (6 x 6)
    QTest::addColumn<QString>("sd");
    QTest::addColumn<QString>("frame");

    QStringList three;
    three << QStringLiteral("1234") << QStringLiteral("50") << QStringLiteral("1236") << QStringLiteral("51")
          << QString() << QString();
    three << QStringLiteral("2234") << QStringLiteral("60") << QStringLiteral("2236") << QStringLiteral("61")
          << QStringLiteral("H") << QStringLiteral("7");
    three << QStringLiteral("0.1234") << QStringLiteral("0") << QStringLiteral("0.1236")
          << QStringLiteral("0") << QString() << QString();
    for (int i = 0; i < 18; ++i)
        three << QString();
    const QString head = Stx + QStringLiteral(":G") + Blanks(7) + QStringLiteral(" 5") + QStringLiteral("3") +
                         QStringLiteral(" ");
    const QString blocks = QStringLiteral("1") + QStringLiteral("  1234") + QStringLiteral("    50") +
                           QStringLiteral("  1236") + QStringLiteral("    51") + QStringLiteral(" ") +
                           Blanks(6) + QStringLiteral("2") + QStringLiteral("  2234") +
                           QStringLiteral("    60") + QStringLiteral("  2236") + QStringLiteral("    61") +
                           QStringLiteral("H") + QStringLiteral("     7") + QStringLiteral("3") +
                           QStringLiteral("0.1234") + QStringLiteral("     0") + QStringLiteral("0.1236") +
                           QStringLiteral("     0") + QStringLiteral(" ") + Blanks(6);
    QTest::newRow("three standards, blank ones left out")
        << three << "12.5" << head + blocks + QStringLiteral("    12.5") + Etx;
    QTest::newRow("empty SD value") << three << "" << head + blocks + QStringLiteral("N") + Blanks(7) + Etx;
    QTest::newRow("long SD value keeps its last 8")
        << three << "123456789" << head + blocks + QStringLiteral("23456789") + Etx;
}

void TestLimsFrames::calibrationFrame()
{
    QFETCH(QStringList, values);
    QFETCH(QString, sd);
    CalibrationFrameData data;
    data.channel = QStringLiteral("5");
    data.stdCount = QStringLiteral("3");
    data.sdValue = sd;
    for (int j = 0; j < 6; ++j) {
        CalibrationStandardTexts& s = data.standards[static_cast<size_t>(j)];
        s.abs1 = values.at(6 * j);
        s.ini1 = values.at(6 * j + 1);
        s.abs2 = values.at(6 * j + 2);
        s.ini2 = values.at(6 * j + 3);
        s.dataAlarm = values.at(6 * j + 4);
        s.prozone = values.at(6 * j + 5);
    }
    QTEST(CalibrationFrame(data), "frame");
}

QTEST_GUILESS_MAIN(TestLimsFrames)
#include "tst_limsframes.moc"
