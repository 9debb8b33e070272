// The collection date of the LIMS's order frames and the MGC240 order frame, read on text alone
// (frames written from the layouts).
#include "LimsFixture.h"
#include "lims/LimsOrderFrame.h"

#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::LimsFixture;

class TestLimsOrderFrame : public QObject
{
    Q_OBJECT

private slots:
    void collectionDate_data();
    void collectionDate();
    void mgc240_data();
    void mgc240();
};

void TestLimsOrderFrame::collectionDate_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QDateTime>("moment"); // invalid: none
    QTest::addColumn<bool>("error");
    QTest::newRow("absent") << Blanks(6) << Blanks(4) << QDateTime() << false;
    QTest::newRow("date and time") << "120726"
                                   << "0815" << QDateTime(QDate(2026, 12, 7), QTime(8, 15)) << false;
    QTest::newRow("date alone") << "030424" << Blanks(4) << QDateTime(QDate(2024, 3, 4), QTime(0, 0))
                                << false;
    QTest::newRow("30 February") << "023024" << Blanks(4) << QDateTime() << true;
    QTest::newRow("letters") << "12ab24" << Blanks(4) << QDateTime() << true;
    QTest::newRow("hour 24") << "120726"
                             << "2400" << QDateTime() << true;
}

void TestLimsOrderFrame::collectionDate()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    const CollectionDate collected = ReadCollectionDate(OrderFrame("1", Selection({1}), {}, date, time));
    QTEST(collected.moment, "moment");
    QTEST(!collected.error.isEmpty(), "error");
}

void TestLimsOrderFrame::mgc240_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<bool>("ordersTests");
    QTest::addColumn<QList<int>>("channels");
    // The flags overlap the id: a "1" in the id orders the channel it stands on.
    QTest::newRow("channels 1 and 37, and 20 under the id's 1")
        << Mgc240Frame("100000000", "100", "000000000000001", Selection({5})) << true
        << QList<int>{1, 20, 37};
    QTest::newRow("all zero from 44")
        << Mgc240Frame("111000000", "2", Blanks(15), Selection({})) << false << QList<int>{1, 2, 3};
}

void TestLimsOrderFrame::mgc240()
{
    QFETCH(QString, frame);
    const Mgc240OrderFrame order = ReadMgc240Order(frame);
    QTEST(order.ordersTests, "ordersTests");
    QTEST(order.orderedChannels(), "channels");
    QCOMPARE(order.sampleInfo, frame.mid(4, 37));
}

QTEST_GUILESS_MAIN(TestLimsOrderFrame)
#include "tst_limsorderframe.moc"
