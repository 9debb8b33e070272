#include "store/qc/Westgard.h"

#include <QTest>

using namespace Quorlix;

// The Westgard multirule on z-score sequences: each rule fires where the textbook says, and
// sequences just inside a limit fire nothing.
class TestWestgard : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
};

void TestWestgard::rules_data()
{
    QTest::addColumn<QList<double>>("series"); // the control's z-scores, oldest first, the judged one last
    QTest::addColumn<QList<double>>("run");    // the other controls of the run
    QTest::addColumn<QStringList>("fired");

    using Z = QList<double>;
    const QStringList none;
    const QString warn = QStringLiteral("1-2s warning");
    const QString r13 = QStringLiteral("1-3s rejection");
    const QString r22 = QStringLiteral("2-2s rejection");
    const QString r4 = QStringLiteral("R-4s rejection");
    const QString r41 = QStringLiteral("4-1s rejection");
    const QString r10 = QStringLiteral("10-x rejection");

    QTest::newRow("in control") << Z{0.4, -1.2, 0.8} << Z{} << none;
    QTest::newRow("nothing to judge") << Z{} << Z{} << none;
    QTest::newRow("1-2s above") << Z{0.5, 2.1} << Z{} << QStringList{warn};
    QTest::newRow("1-2s below") << Z{-2.5} << Z{} << QStringList{warn};
    QTest::newRow("exactly 2 SD is no 1-2s") << Z{2.0} << Z{} << none;
    QTest::newRow("exactly -2 SD is no 1-2s") << Z{-2.0} << Z{} << none;
    QTest::newRow("1-3s") << Z{0.2, 3.42} << Z{} << QStringList{warn, r13};
    QTest::newRow("1-3s below") << Z{-3.1} << Z{} << QStringList{warn, r13};
    QTest::newRow("exactly 3 SD is no 1-3s") << Z{3.0} << Z{} << QStringList{warn};
    QTest::newRow("2-2s, one control, two runs") << Z{0.3, 2.3, 2.5} << Z{} << QStringList{warn, r22};
    QTest::newRow("2-2s below") << Z{-2.1, -2.05} << Z{} << QStringList{warn, r22};
    QTest::newRow("2-2s needs the same side") << Z{2.3, -2.5} << Z{} << QStringList{warn};
    QTest::newRow("2-2s needs the previous beyond 2") << Z{2.0, 2.5} << Z{} << QStringList{warn};
    QTest::newRow("2-2s needs the judged one beyond 2") << Z{2.5, 1.9} << Z{} << none;
    QTest::newRow("2-2s across two levels") << Z{0.1, 2.4} << Z{2.2} << QStringList{warn, r22};
    QTest::newRow("other level within 2 SD") << Z{2.4} << Z{1.5} << QStringList{warn};
    QTest::newRow("R-4s") << Z{2.1} << Z{-2.3} << QStringList{warn, r4};
    QTest::newRow("R-4s, judged one below") << Z{-2.6} << Z{0.3, 2.2} << QStringList{warn, r4};
    QTest::newRow("R-4s needs both beyond 2 SD") << Z{1.9} << Z{-2.5} << none;
    QTest::newRow("R-4s not across runs of one control") << Z{-2.4, 2.4} << Z{} << QStringList{warn};
    QTest::newRow("4-1s above") << Z{1.2, 1.5, 1.1, 1.3} << Z{} << QStringList{r41};
    QTest::newRow("4-1s below") << Z{0.5, -1.2, -1.5, -1.1, -1.3} << Z{} << QStringList{r41};
    QTest::newRow("4-1s needs four") << Z{1.5, 1.5, 1.5} << Z{} << none;
    QTest::newRow("exactly 1 SD breaks 4-1s") << Z{1.2, 1.5, 1.0, 1.3} << Z{} << none;
    QTest::newRow("4-1s needs one side") << Z{1.2, -1.5, 1.1, 1.3} << Z{} << none;
    QTest::newRow("10-x above") << Z{0.2, 0.5, 0.1, 0.9, 0.3, 0.4, 1.1, 0.2, 0.6, 0.3} << Z{}
                                << QStringList{r10};
    QTest::newRow("10-x below") << Z{-0.2, -0.5, -0.1, -0.9, -0.3, -0.4, -1.1, -0.2, -0.6, -0.3} << Z{}
                                << QStringList{r10};
    QTest::newRow("10-x needs ten") << Z{0.2, 0.5, 0.1, 0.9, 0.3, 0.4, 1.1, 0.2, 0.6} << Z{} << none;
    QTest::newRow("a point on the mean breaks 10-x")
        << Z{0.2, 0.5, 0.1, 0.9, 0.0, 0.4, 1.1, 0.2, 0.6, 0.3} << Z{} << none;
    QTest::newRow("alternating sides")
        << Z{0.5, -0.5, 0.5, -0.5, 0.5, -0.5, 0.5, -0.5, 0.5, -0.5} << Z{} << none;
    QTest::newRow("shift: 2-2s") << Z{0.3, -0.2, 2.2, 2.6} << Z{} << QStringList{warn, r22};
    QTest::newRow("drift: every rule but R-4s and 10-x")
        << Z{1.5, 1.8, 2.2, 3.4} << Z{} << QStringList{warn, r13, r22, r41};
    QTest::newRow("all six") << Z{0.5, 0.8, 0.4, 0.3, 0.9, 0.2, 1.3, 1.8, 2.6, 3.2} << Z{-2.5}
                             << QStringList{warn, r13, r22, r4, r41, r10};
}

void TestWestgard::rules()
{
    QFETCH(QList<double>, series);
    QFETCH(QList<double>, run);
    QFETCH(QStringList, fired);
    QStringList hits;
    for (const RuleHit& hit : EvaluateWestgard(series, run))
        hits << hit.rule + QLatin1Char(' ') + QcSeverityName(hit.severity);
    QCOMPARE(hits, fired);
}

QTEST_GUILESS_MAIN(TestWestgard)
#include "tst_westgard.moc"
