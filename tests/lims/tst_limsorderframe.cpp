// The LIMS's order frames read on text alone: frames written from the order frame's layout.
#include "LimsFixture.h"
#include "lims/LimsOrderFrame.h"

#include <QTest>

using namespace Quorlix;
using namespace Quorlix::Test::LimsFixture;

class TestLimsOrderFrame : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void patient_data();
    void patient();
    void collectionDate_data();
    void collectionDate();
    void mgc240_data();
    void mgc240();
};

void TestLimsOrderFrame::order_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("ordersTests");
    QTest::addColumn<bool>("tubeNotFound");
    QTest::addColumn<QList<int>>("channels");
    QTest::newRow("channels 1, 9 and 48")
        << OrderFrame("  240101", Selection({1, 9, 48})) << "240101" << true << false << QList<int>{1, 9, 48};
    QTest::newRow("id of 13 characters")
        << OrderFrame("1234567890123", Selection({2})) << "1234567890123" << true << false << QList<int>{2};
    QTest::newRow("all zero") << OrderFrame("7", Selection({})) << "7" << false << false << QList<int>{};
    QTest::newRow("blank selection") << OrderFrame("7", Blanks(48)) << "7" << false << false << QList<int>{};
    QTest::newRow("tube not found") << TubeNotFound("8") << "8" << true << true << QList<int>{1};
    QTest::newRow("cut short before the selection")
        << OrderFrame("9", Selection({1})).left(40) + ETX << "9" << false << false << QList<int>{};
}

void TestLimsOrderFrame::order()
{
    QFETCH(QString, frame);
    const LimsOrderFrame order = ReadLimsOrder(frame);
    QTEST(order.sampleId, "id");
    QTEST(order.ordersTests(), "ordersTests");
    QTEST(order.tubeNotFound, "tubeNotFound");
    QTEST(order.orderedChannels(), "channels");
}

void TestLimsOrderFrame::patient_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("fields"); // surname, forename, customer id and name, si_id, collector

    OrderFields all{"Meier", "Anna", "C7", "Ward 7", "P-1001", "Dr Lang"};
    QTest::newRow("all six") << OrderFrame("1", Selection({1}), all)
                             << QStringList{"Meier", "Anna", "C7", "Ward 7", "P-1001", "Dr Lang"};
    OrderFields quotes{"O'Neil, Jr", "Anna,Maria", "C'7", "Ward, 7", "P'1", "Dr O'Hara"};
    QTest::newRow("quotes everywhere, commas only in names")
        << OrderFrame("1", Selection({1}), quotes)
        << QStringList{"O\u00B4Neil  Jr", "Anna Maria", "C\u00B47", "Ward, 7", "P\u00B41", "Dr O\u00B4Hara"};
    OrderFields someAbsent;
    someAbsent.surname = QStringLiteral("Meier");
    someAbsent.collector = QStringLiteral("Nurse");
    QTest::newRow("absent fields are empty")
        << OrderFrame("1", Selection({1}), someAbsent) << QStringList{"Meier", "", "", "", "", "Nurse"};
    // Text in a field whose flag is "0" does not count.
    QString flagged = OrderFrame("1", Selection({1}), all);
    flagged.replace(91, 6, QStringLiteral("010000"));
    QTest::newRow("flag 0 hides a field") << flagged << QStringList{"", "Anna", "", "", "", ""};
    QTest::newRow("collector runs to the ETX")
        << OrderFrame("1", Selection({1}), all).chopped(1) + QStringLiteral("  and Sons") + ETX
        << QStringList{"Meier", "Anna", "C7", "Ward 7", "P-1001", "Dr Lang               and Sons"};
}

void TestLimsOrderFrame::patient()
{
    QFETCH(QString, frame);
    const LimsOrderPatient p = ReadLimsOrderPatient(frame);
    QTEST((QStringList{p.surname, p.forename, p.customerId, p.customerName, p.siId, p.collector}), "fields");
}

void TestLimsOrderFrame::collectionDate_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<bool>("error");
    QTest::newRow("absent") << Blanks(6) << Blanks(4) << QDateTime() << false;
    QTest::newRow("date and time") << "120726"
                                   << "0815" << QDateTime(QDate(2026, 12, 7), QTime(8, 15)) << false;
    QTest::newRow("date without time")
        << "030424" << Blanks(4) << QDateTime(QDate(2024, 3, 4), QTime(0, 0)) << false;
    QTest::newRow("month 13") << "130724" << Blanks(4) << QDateTime() << true;
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
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("ordersTests");
    QTest::addColumn<QList<int>>("channels");
    QTest::newRow("channels 1, 3 and 37") << Mgc240Frame("101000000", "2", "000000000000001", Selection({5}))
                                          << "2" << true << QList<int>{1, 3, 37};
    QTest::newRow("a 1 in the id orders its channel")
        << Mgc240Frame("100000000", "100", Blanks(15), Selection({5})) << "100" << true << QList<int>{1, 20};
    QTest::newRow("all zero from 44")
        << Mgc240Frame("111000000", "2", Blanks(15), Selection({})) << "2" << false << QList<int>{1, 2, 3};
}

void TestLimsOrderFrame::mgc240()
{
    QFETCH(QString, frame);
    const Mgc240OrderFrame order = ReadMgc240Order(frame);
    QTEST(order.sampleId, "id");
    QTEST(order.ordersTests, "ordersTests");
    QTEST(order.orderedChannels(), "channels");
    QCOMPARE(order.sampleInfo, frame.mid(4, 37));
}

QTEST_GUILESS_MAIN(TestLimsOrderFrame)
#include "tst_limsorderframe.moc"
