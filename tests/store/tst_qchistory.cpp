#include "core/Database.h"
#include "core/Stamps.h"
#include "store/qc/QcHistory.h"
#include "support/TestDatabase.h"

#include <QTest>

using namespace Quorlix;

namespace {

QDateTime At(int day, int hour, int minute = 0, int second = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute, second));
}

// Control results of December 2026: QC1 and QC2 of parameter 3 (GLU) on H911, QC1 on H912, one
// result before and one after the period, one that was no number; QC1 on H911 has an assigned
// target, QC2 and H912 only their own results.
void Seed(Test::TestDatabase& tdb)
{
    Database& db = tdb.db();
    const auto result = [&](const char* control, const char* analyzer, const QDateTime& at,
                            const QVariant& value) {
        tdb.exec(
            QStringLiteral("INSERT INTO control_results (control_id, parameter_id, analyzer_id, time_stamp, "
                           "result) VALUES (?, 3, ?, ?, ?)"),
            {QString::fromLatin1(control), QString::fromLatin1(analyzer), db.stamp(SqlStamp(at)), value});
    };
    const auto event = [&](const char* control, const QDateTime& at, const char* rule, const char* severity,
                           double z) {
        tdb.exec(QStringLiteral("INSERT INTO control_rule_events (control_id, parameter_id, analyzer_id, "
                                "time_stamp, rule, severity, z_score) VALUES (?, 3, 'H911', ?, ?, ?, ?)"),
                 {QString::fromLatin1(control), db.stamp(SqlStamp(at)), QString::fromLatin1(rule),
                  QString::fromLatin1(severity), z});
    };
    tdb.exec(QStringLiteral("INSERT INTO test_def (parameter_id, short) VALUES (3, 'GLU')"));
    tdb.exec(QStringLiteral("INSERT INTO control_targets (control_id, parameter_id, analyzer_id, mean, sd, "
                            "valid_from) VALUES ('QC1', 3, 'H911', 10, 0.5, ?)"),
             {db.stamp(SqlStamp(At(1, 0)))});
    result("QC1", "H911", At(1, 0).addDays(-1), 99.0); // November: outside
    result("QC1", "H911", At(1, 0), 10.0);             // the first second of the period
    result("QC1", "H911", At(2, 8), 11.25);
    result("QC1", "H911", At(3, 8), QVariant(QMetaType(QMetaType::Double))); // no number
    result("QC1", "H911", At(4, 8), 11.75);
    result("QC1", "H911", At(31, 23, 59, 59), 9.0); // the last second of the period
    result("QC1", "H911", QDateTime(QDate(2027, 1, 1), QTime(0, 0)), 99.0);
    result("QC2", "H911", At(2, 8), 20.0);
    result("QC2", "H911", At(3, 8), 22.0);
    result("QC2", "H911", At(4, 8), 24.0);
    result("QC1", "H912", At(2, 9), 10.0);
    event("QC1", At(2, 8), "1-2s", "warning", 2.5);
    event("QC1", At(4, 8), "1-3s", "rejection", 3.5);
    event("QC1", At(4, 8), "2-2s", "rejection", 3.5);
    event("QC1", At(1, 0).addDays(-1), "1-3s", "rejection", 178); // outside
}

QString Rules(const QcSeries& series)
{
    QStringList points;
    for (const QcPoint& point : series.points) {
        points << QStringLiteral("%1%2%3").arg(point.rules.join(QLatin1Char('+')),
                                               point.warning ? QStringLiteral("!") : QString(),
                                               point.rejection ? QStringLiteral("#") : QString());
    }
    return points.join(QLatin1Char('|'));
}

} // namespace

class TestQcHistory : public QObject
{
    Q_OBJECT

private slots:
    void period_data() { Test::AddBackendRows(); }
    void period();
    void oneAnalyzer();
    void missingTableIsAFailure();
};

void TestQcHistory::period()
{
    QFETCH(QString, backend);
    Test::TestDatabase tdb(backend);
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    Seed(tdb);

    QcPeriod p;
    QVERIFY(LoadQcPeriod(tdb.db(), At(1, 0), At(31, 23, 59, 59), QString(), &p).ok());
    QVERIFY2(tdb.walCheckpointBlocked().isEmpty(), qPrintable(tdb.walCheckpointBlocked()));
    QVERIFY(!p.truncated);

    QCOMPARE(p.series.size(), 3);
    const QcSeries& qc1 = p.series.at(0);
    QCOMPARE(qc1.analyzerId, QStringLiteral("H911"));
    QCOMPARE(qc1.controlId, QStringLiteral("QC1"));
    QCOMPARE(qc1.parameterName, QStringLiteral("GLU"));
    QCOMPARE(qc1.points.size(), 4); // neither the empty result nor those outside the days
    QCOMPARE(qc1.points.constFirst().stamp, At(1, 0));
    QCOMPARE(qc1.points.constLast().stamp, At(31, 23, 59, 59));
    QCOMPARE(qc1.targets.source, TargetSource::Assigned);
    QCOMPARE(qc1.points.at(1).zScore, 2.5);
    QCOMPARE(qc1.points.at(3).zScore, -2.0);
    QCOMPARE(Rules(qc1), QStringLiteral("|1-2s!|1-3s+2-2s#|"));

    const QcSeries& qc2 = p.series.at(1);
    QCOMPARE(qc2.controlId, QStringLiteral("QC2"));
    QCOMPARE(qc2.targets.source, TargetSource::Provisional); // its own three results
    QCOMPARE(qc2.targets.resultCount, 3);
    QCOMPARE(qc2.targets.mean, 22.0);
    QCOMPARE(qc2.points.constFirst().zScore, -1.0);
    QCOMPARE(Rules(qc2), QStringLiteral("||"));

    const QcSeries& other = p.series.at(2);
    QCOMPARE(other.analyzerId, QStringLiteral("H912"));
    QCOMPARE(other.targets.source, TargetSource::None); // one result judges nothing
    QCOMPARE(other.points.constFirst().zScore, 0.0);

    QCOMPARE(p.events.size(), 3);
    QCOMPARE(p.events.constFirst().rule, QStringLiteral("1-2s"));
    QCOMPARE(p.events.constFirst().stamp, At(2, 8));
    QCOMPARE(p.events.at(1).severity, QStringLiteral("rejection"));
    QCOMPARE(p.events.at(1).zScore, 3.5);
}

void TestQcHistory::oneAnalyzer()
{
    Test::TestDatabase tdb(QStringLiteral("sqlite"));
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    Seed(tdb);
    QcPeriod p;
    QVERIFY(LoadQcPeriod(tdb.db(), At(1, 0), At(31, 23, 59, 59), QStringLiteral("H912"), &p).ok());
    QCOMPARE(p.series.size(), 1);
    QCOMPARE(p.series.constFirst().analyzerId, QStringLiteral("H912"));
    QVERIFY(p.events.isEmpty());
    QVERIFY(LoadQcPeriod(tdb.db(), At(5, 0), At(30, 0), QString(), &p).ok());
    QVERIFY(p.series.isEmpty());
}

void TestQcHistory::missingTableIsAFailure()
{
    // A site upgraded without the quality-control tables: the reader says so instead of an empty page.
    Test::TestDatabase tdb(QStringLiteral("sqlite"));
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    Seed(tdb);
    tdb.exec(QStringLiteral("DROP TABLE control_rule_events"));
    QcPeriod p;
    QVERIFY(!LoadQcPeriod(tdb.db(), At(1, 0), At(31, 23, 59, 59), QString(), &p).ok());
    QVERIFY(tdb.walCheckpointBlocked().isEmpty());
}

QTEST_GUILESS_MAIN(TestQcHistory)
#include "tst_qchistory.moc"
