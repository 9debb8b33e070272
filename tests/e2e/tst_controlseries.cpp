#include "ControlSeries.h"

#include <QTest>

#include <cmath>

using namespace QuorlixSim;

// The simulator's control series: what a spec sends, and that its scatter is a sound baseline (a
// series without shift or drift fires no rule; 20 results give the series' own targets).
class TestControlSeries : public QObject
{
    Q_OBJECT

private slots:
    void values_data();
    void values();
    void refused_data();
    void refused();
    void scatterIsInControl();
};

void TestControlSeries::values_data()
{
    QTest::addColumn<QString>("spec");
    QTest::addColumn<QStringList>("expected"); // every value of the series
    QTest::newRow("exact mean") << "QC0001:1:3:100:2:noise=0" << QStringList{"100.0", "100.0", "100.0"};
    QTest::newRow("shift from the third")
        << "QC0001:1:4:100:2:noise=0:shift=3.5@3" << QStringList{"100.0", "100.0", "107.0", "107.0"};
    QTest::newRow("negative shift from the first")
        << "QC0001:1:2:50:1:noise=0:shift=-2.5" << QStringList{"47.5", "47.5"};
    QTest::newRow("drift from the second")
        << "QC0001:1:4:100:2:noise=0:drift=0.5@2" << QStringList{"100.0", "101.0", "102.0", "103.0"};
    QTest::newRow("scatter, decimals of SD")
        << "QC0002:CREA:3:1.0:0.05" << QStringList{"1.024", "0.940", "1.073"};
    QTest::newRow("scatter halved with a shift")
        << "QC0001:1:2:100:2:noise=0.5:shift=1@2" << QStringList{"100.5", "100.8"};
}

void TestControlSeries::values()
{
    QFETCH(QString, spec);
    QFETCH(QStringList, expected);
    ControlSeries series;
    QCOMPARE(ParseControlSeries(spec, series), QString());
    QStringList values;
    for (int i = 1; i <= series.count; ++i)
        values << series.value(i);
    QCOMPARE(values, expected);
}

void TestControlSeries::refused_data()
{
    QTest::addColumn<QString>("spec");
    QTest::newRow("too few fields") << "QC0001:1:10:100";
    QTest::newRow("no control id") << ":1:10:100:2";
    QTest::newRow("count 0") << "QC0001:1:0:100:2";
    QTest::newRow("SD 0") << "QC0001:1:10:100:0";
    QTest::newRow("mean not a number") << "QC0001:1:10:abc:2";
    QTest::newRow("shift from result 0") << "QC0001:1:10:100:2:shift=3@0";
    QTest::newRow("shift without K") << "QC0001:1:10:100:2:shift=";
    QTest::newRow("negative pause") << "QC0001:1:10:100:2:every=-5";
    QTest::newRow("unknown option") << "QC0001:1:10:100:2:trend=1";
}

void TestControlSeries::refused()
{
    QFETCH(QString, spec);
    ControlSeries series;
    QVERIFY(!ParseControlSeries(spec, series).isEmpty());
}

void TestControlSeries::scatterIsInControl()
{
    ControlSeries series;
    QCOMPARE(ParseControlSeries(QStringLiteral("QC0001:1:40:0:1"), series), QString());
    double sum = 0, squares = 0;
    for (int i = 1; i <= 20; ++i) {
        sum += series.z(i);
        squares += series.z(i) * series.z(i);
    }
    QVERIFY(std::abs(sum) < 1e-9);
    QVERIFY(std::abs(std::sqrt(squares / 19) - 1) < 0.001); // the sample SD of the first 20
    for (int i = 1; i <= 40; ++i) {
        QVERIFY2(std::abs(series.z(i)) < 1.9, qPrintable(QString::number(i))); // no 1-2s
        if (i > 1) // alternating about the mean: no 2-2s, 4-1s or 10-x
            QVERIFY2(series.z(i) * series.z(i - 1) < 0, qPrintable(QString::number(i)));
    }
}

QTEST_GUILESS_MAIN(TestControlSeries)
#include "tst_controlseries.moc"
