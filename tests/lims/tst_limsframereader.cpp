// The LIMS line's frame reader: pieces as a port delivers them, and the frames they make.
#include "LimsFixture.h"
#include "lims/LimsFrameReader.h"

#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::LimsFixture;

class TestLimsFrameReader : public QObject
{
    Q_OBJECT

private slots:
    void pieces_data();
    void pieces();
    void unendingInputIsBounded();
};

void TestLimsFrameReader::pieces_data()
{
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<int>("problems");
    QTest::addColumn<QString>("pending");

    const QString order = OrderFrame("1", Selection({1}));
    QTest::newRow("one frame") << QStringList{Function(">")} << QStringList{Function(">")} << 0 << "";
    QTest::newRow("a frame in three pieces")
        << QStringList{order.left(5), order.mid(5, 100), order.mid(105)} << QStringList{order} << 0 << "";
    QTest::newRow("two frames and the start of a third in one piece")
        << QStringList{Function("?") + order + STX + ";A"} << QStringList{Function("?"), order} << 0
        << STX + ";A";
    QTest::newRow("a new frame drops an unfinished one")
        << QStringList{STX + ";A1", Function(">")} << QStringList{Function(">")} << 1 << "";
    QTest::newRow("noise before the STX")
        << QStringList{"xy", Function("1")} << QStringList{Function("1")} << 1 << "";
    QTest::newRow("ETX without STX") << QStringList{"abc" + ETX, Function("2")} << QStringList{Function("2")}
                                     << 1 << "";
    QTest::newRow("STX inside: the frame starts at the last one")
        << QStringList{STX + ";A" + STX + ":" + ETX} << QStringList{Function(":")} << 1 << "";
}

void TestLimsFrameReader::pieces()
{
    QFETCH(QStringList, pieces);
    LimsFrameReader reader;
    QStringList frames;
    int problems = 0;
    for (const QString& piece : pieces) {
        const LimsFrameReader::Read read = reader.append(piece);
        frames += read.frames;
        problems += int(read.problems.size());
    }
    QTEST(frames, "frames");
    QTEST(problems, "problems");
    QTEST(reader.pending(), "pending");
}

void TestLimsFrameReader::unendingInputIsBounded()
{
    LimsFrameReader reader;
    int problems = 0;
    reader.append(STX + ";");
    for (int i = 0; i < 100; ++i) {
        problems += int(reader.append(QString(1000, QLatin1Char('x'))).problems.size());
        QVERIFY(reader.pending().size() <= LimsFrameReader::Limit);
    }
    QVERIFY(problems > 0);
    // The line recovers with the next frame.
    QCOMPARE(reader.append(Function(">")).frames, QStringList{Function(">")});
}

QTEST_GUILESS_MAIN(TestLimsFrameReader)
#include "tst_limsframereader.moc"
