#include "StoreFixture.h"
#include "core/Database.h"
#include "core/Stamps.h"
#include "drivers/astm/ActStore.h"
#include "drivers/dbexchange/MgcJobs.h"
#include "drivers/manual/ManualInput.h"
#include "store/Autovalidation.h"
#include "store/ControlStore.h"
#include "store/qc/QcTables.h"

#include <QJsonObject>
#include <QTest>

using namespace Quorlix;

namespace {

using Values = QList<double>;

// Control results of a Hitachi 911 named H911, judged when they are stored at 10:39:40.
struct Fixture : Test::StoreFixture
{
    using StoreFixture::StoreFixture;

    void target(const QString& control, double mean, double sd,
                const QString& analyzer = QStringLiteral("H911"))
    {
        tdb.exec(
            QStringLiteral("INSERT INTO control_targets (control_id, parameter_id, analyzer_id, mean, sd, "
                           "valid_from) VALUES (?, 3, ?, ?, ?, ?)"),
            {control, analyzer, mean, sd, tdb.db().stamp(QStringLiteral("20260101 00:00:00"))});
    }
    // Results stored before, one an hour (a run of their own), the last one an hour ago.
    void earlier(const QString& control, const Values& values)
    {
        for (qsizetype i = 0; i < values.size(); ++i)
            earlierAt(control, values.at(i), clock.now().addSecs(-3600 * (values.size() - i)));
    }
    void earlierAt(const QString& control, double value, const QDateTime& at)
    {
        tdb.exec(QStringLiteral("INSERT INTO control_results (control_id, parameter_id, time_stamp, result, "
                                "analyzer_id) VALUES (?, 3, ?, ?, 'H911')"),
                 {control, tdb.db().stamp(SqlStamp(at)), value});
    }
    void control(const QString& id, const QString& value)
    {
        sampleRecord = SampleRecord();
        sampleRecord.SampleId = id;
        sampleRecord.ResultCount = 1;
        sampleRecord.Results[0].ParameterId = 3;
        sampleRecord.Results[0].Value = value;
        storeControl();
    }
    // The rule events as "control|rule|severity|z;...", sorted.
    QString events()
    {
        SqlResult r = tdb.db().run(
            QStringLiteral("SELECT control_id, rule, severity, z_score FROM control_rule_events"));
        QStringList rows;
        while (r.next())
            rows << QStringLiteral("%1|%2|%3|%4")
                        .arg(r.value(0).toString(), r.value(1).toString(), r.value(2).toString(),
                             QString::number(r.value(3).toDouble(), 'f', 2));
        rows.sort();
        return rows.join(QLatin1Char(';'));
    }
    // The Monitor lines that begin with the text, oldest first.
    QStringList linesFrom(const QString& start) const
    {
        QStringList lines;
        for (const QString& line : monitor()) {
            if (line.startsWith(start))
                lines.prepend(line);
        }
        return lines;
    }
    QStringList qcLines() const { return linesFrom(QStringLiteral("QC QC")); }
};

} // namespace

class TestQcEvaluation : public QObject
{
    Q_OBJECT

private slots:
    void judged_data();
    void judged();
    void provisionalTargets_data() { Test::AddBackendRows(); }
    void provisionalTargets();
    void holdAndRelease_data() { Test::AddBackendRows(); }
    void holdAndRelease();
    void autovalidationHonoursHolds_data();
    void autovalidationHonoursHolds();
    void writingSites_data() { Test::AddBackendRows(); }
    void writingSites();
    void holdTravelsInTheSpool();
    void missingTablesAreCreated();
};

void TestQcEvaluation::judged_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<Values>("before");     // QC1's earlier results, one an hour
    QTest::addColumn<double>("otherLevel"); // QC2 ten minutes ago (0: none)
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("events");
    QTest::addColumn<QStringList>("lines");
    // QC1 is assigned mean 100, SD 2; QC2 mean 50, SD 5.
    for (const QString& backend : Test::Backends()) {
        const auto row = [&](const char* name) -> QTestData& {
            return QTest::addRow("%s, %s", qPrintable(backend), name);
        };
        row("in control") << backend << Values{99, 101} << 0.0 << "101.5" << QString() << QStringList();
        row("1-3s") << backend << Values{} << 0.0 << "106.84"
                    << "QC1|1-2s|warning|3.42;QC1|1-3s|rejection|3.42"
                    << QStringList{"QC QC1 parameter 3: 1-2s warning (z = +3.42)",
                                   "QC QC1 parameter 3: 1-3s rejection (z = +3.42)"};
        row("2-2s over time") << backend << Values{100.2, 104.6} << 0.0 << "104.4"
                              << "QC1|1-2s|warning|2.20;QC1|2-2s|rejection|2.20"
                              << QStringList{"QC QC1 parameter 3: 1-2s warning (z = +2.20)",
                                             "QC QC1 parameter 3: 2-2s rejection (z = +2.20)"};
        row("R-4s across levels") << backend << Values{} << 62.0 << "95.2"
                                  << "QC1|1-2s|warning|-2.40;QC1|R-4s|rejection|-2.40"
                                  << QStringList{"QC QC1 parameter 3: 1-2s warning (z = -2.40)",
                                                 "QC QC1 parameter 3: R-4s rejection (z = -2.40)"};
        row("10-x") << backend << Values{100.5, 101, 100.2, 100.9, 101.5, 100.1, 100.4, 101, 100.3} << 0.0
                    << "100.4"
                    << "QC1|10-x|rejection|0.20"
                    << QStringList{"QC QC1 parameter 3: 10-x rejection (z = +0.20)"};
        row("4-1s below") << backend << Values{97.9, 97.5, 97.2} << 0.0 << "97.6"
                          << "QC1|4-1s|rejection|-1.20"
                          << QStringList{"QC QC1 parameter 3: 4-1s rejection (z = -1.20)"};
        row("exactly 2 SD") << backend << Values{} << 0.0 << "104" << QString() << QStringList();
        row("not a number") << backend << Values{} << 0.0 << "<0.1" << QString() << QStringList();
    }
}

void TestQcEvaluation::judged()
{
    QFETCH(QString, backend);
    QFETCH(Values, before);
    QFETCH(double, otherLevel);
    QFETCH(QString, value);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.target(QStringLiteral("QC1"), 100, 2);
    f.target(QStringLiteral("QC2"), 50, 5);
    f.earlier(QStringLiteral("QC1"), before);
    if (otherLevel != 0)
        f.earlierAt(QStringLiteral("QC2"), otherLevel, f.clock.now().addSecs(-600));
    // An earlier QC2 result beyond the hour is no part of the run.
    f.earlierAt(QStringLiteral("QC2"), 62, f.clock.now().addSecs(-3700));

    f.control(QStringLiteral("QC1"), value);
    QTEST(f.events(), "events");
    QTEST(f.qcLines(), "lines");
    QCOMPARE(f.tdb.count(QStringLiteral("control_rule_events"),
                         QStringLiteral("time_stamp = ? AND analyzer_id = 'H911' AND parameter_id = 3"),
                         {f.tdb.db().stamp(SqlStamp(f.clock.now()))}),
             f.events().isEmpty() ? 0 : int(f.events().count(QLatin1Char(';')) + 1));
    QCOMPARE(f.tdb.count(QStringLiteral("qc_holds")), 0); // QcHold is off
}

void TestQcEvaluation::provisionalTargets()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    // The very first result has nothing to be judged against.
    f.control(QStringLiteral("QC1"), QStringLiteral("99"));
    QCOMPARE(f.events(), QString());
    // Nine results so far (this one included): mean 100.667, SD 2.236.
    f.tdb.exec(QStringLiteral("DELETE FROM control_results"));
    f.earlier(QStringLiteral("QC1"), {99, 101, 99, 101, 99, 101, 99, 101});
    f.control(QStringLiteral("QC1"), QStringLiteral("106"));
    QCOMPARE(f.events(), QStringLiteral("QC1|1-2s|warning|2.39"));
    QCOMPARE(f.qcLines(), QStringList{QStringLiteral(
                              "QC QC1 parameter 3: 1-2s warning (z = +2.39, provisional targets)")});
}

void TestQcEvaluation::holdAndRelease()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.setup.QcHold = true;
    f.target(QStringLiteral("QC1"), 100, 2);
    const QString holds =
        QStringLiteral("SELECT parameter_id, analyzer_id, %1, control_id, %2, released_by "
                       "FROM qc_holds")
            .arg(f.stampOf(QStringLiteral("held_from")), f.stampOf(QStringLiteral("released_at")));

    f.control(QStringLiteral("QC1"), QStringLiteral("101")); // passes: nothing was held
    QCOMPARE(f.tdb.count(QStringLiteral("qc_holds")), 0);
    f.clock.advanceSeconds(600);
    f.control(QStringLiteral("QC1"), QStringLiteral("107")); // 1-3s
    QCOMPARE(f.tdb.rows(holds), QStringLiteral("3|H911|2026-12-07 10:49:40|QC1|NULL|NULL"));
    QCOMPARE(f.linesFrom(QStringLiteral("QC hold")),
             QStringList{QStringLiteral(
                 "QC hold: parameter 3 held on H911 from 2026-12-07 10:49:40 (control QC1 rejected)")});
    f.clock.advanceSeconds(600);
    f.control(QStringLiteral("QC1"), QStringLiteral("106.5")); // rejected again: the same hold goes on
    QCOMPARE(f.tdb.count(QStringLiteral("qc_holds")), 1);
    f.clock.advanceSeconds(600);
    f.control(QStringLiteral("QC1"), QStringLiteral("103")); // a warning only: released
    QCOMPARE(f.tdb.rows(holds), QStringLiteral("3|H911|2026-12-07 10:49:40|QC1|2026-12-07 11:09:40|QC1"));
    QCOMPARE(f.linesFrom(QStringLiteral("QC hold")).size(), 2);
    QCOMPARE(
        f.linesFrom(QStringLiteral("QC hold")).constLast(),
        QStringLiteral("QC hold: parameter 3 released on H911 at 2026-12-07 11:09:40 (control QC1 passed)"));
}

void TestQcEvaluation::autovalidationHonoursHolds_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("analyzer");
    QTest::addColumn<qint16>("parameter");
    QTest::addColumn<QString>("measured");
    QTest::addColumn<bool>("qcTables");
    QTest::addColumn<bool>("validated");
    // Parameter 3 held on H911 from 10:00 to 11:00; held on H912 from 10:00 on.
    for (const QString& backend : Test::Backends()) {
        const auto row = [&](const char* name) -> QTestData& {
            return QTest::addRow("%s, %s", qPrintable(backend), name);
        };
        row("before the hold") << backend << "H911" << qint16(3) << "20261207 09:59:59" << true << true;
        row("at the rejected control")
            << backend << "H911" << qint16(3) << "20261207 10:00:00" << true << false;
        row("during the hold") << backend << "H911" << qint16(3) << "20261207 10:30:00" << true << false;
        row("at the passing control")
            << backend << "H911" << qint16(3) << "20261207 11:00:00" << true << true;
        row("open hold") << backend << "H912" << qint16(3) << "20261207 18:00:00" << true << false;
        row("another parameter") << backend << "H911" << qint16(4) << "20261207 10:30:00" << true << true;
        row("another analyzer") << backend << "H913" << qint16(3) << "20261207 10:30:00" << true << true;
        row("no QC tables") << backend << "H912" << qint16(3) << "20261207 18:00:00" << false << true;
    }
}

void TestQcEvaluation::autovalidationHonoursHolds()
{
    QFETCH(QString, backend);
    QFETCH(QString, analyzer);
    QFETCH(qint16, parameter);
    QFETCH(QString, measured);
    QFETCH(bool, qcTables);
    QFETCH(bool, validated);
    Test::TestDatabase tdb(backend);
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    Database& db = tdb.db();
    for (const int p : {3, 4})
        tdb.exec(QStringLiteral(
                     "INSERT INTO test_def (parameter_id, short, range_low, range_high) VALUES (?, ?, 0, "
                     "999)"),
                 {p, QStringLiteral("T%1").arg(p)});
    tdb.exec(QStringLiteral("INSERT INTO interpretation (id, value, value_arab) VALUES (2, 'normal', 'n')"));
    tdb.exec(QStringLiteral(
        "INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
        "VALUES (3, 0, 999, 2, 0, 1), (4, 0, 999, 2, 0, 1)"));
    tdb.exec(QStringLiteral(
                 "INSERT INTO qc_holds (parameter_id, analyzer_id, held_from, control_id, released_at, "
                 "released_by) VALUES (3, 'H911', ?, 'QC1', ?, 'QC2'), (3, 'H912', ?, 'QC1', NULL, NULL)"),
             {db.stamp(QStringLiteral("20261207 10:00:00")), db.stamp(QStringLiteral("20261207 11:00:00")),
              db.stamp(QStringLiteral("20261207 10:00:00"))});
    tdb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id, analyzer_id, time_stamp, result) "
                            "VALUES ('S1', ?, ?, ?, 95.2)"),
             {parameter, analyzer, db.stamp(measured)});
    if (!qcTables)
        tdb.exec(QStringLiteral("DROP TABLE qc_holds"));

    QVERIFY(Autovalidate(db, QStringLiteral("1"), qcTables).ok());
    QCOMPARE(tdb.count(QStringLiteral("results")), validated ? 1 : 0);
    QCOMPARE(tdb.count(QStringLiteral("request")), validated ? 0 : 1);
}

void TestQcEvaluation::writingSites()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.tdb.exec(QStringLiteral("INSERT INTO test_def (parameter_id, short) VALUES (3, 'GLU')"));
    f.target(QStringLiteral("QC1"), 100, 2);
    f.target(QStringLiteral("QC1"), 100, 2, QStringLiteral("M1_anna"));
    const QString rejected = QStringLiteral("control_id = 'QC1' AND rule = '1-3s' AND analyzer_id = ?");

    // ACT: a control result, then the same measurement sent again with another value: judged again.
    JobKinds& kinds = f.store.kinds();
    const JobKind& act = kinds.require<ActResultsJobKind>();
    const QString time = SqlStamp(f.clock.now());
    QCOMPARE(f.store.run(f.store.newJob(act, ActJob{"QC1", true, {{"GLU", "107", time}}})).result,
             JobOutcome::Stored);
    QCOMPARE(f.tdb.count(QStringLiteral("control_rule_events"), rejected, {QStringLiteral("H911")}), 1);
    QCOMPARE(f.store.run(f.store.newJob(act, ActJob{"QC1", true, {{"GLU", "101", time}}})).result,
             JobOutcome::Stored);
    QCOMPARE(f.tdb.count(QStringLiteral("control_rule_events")), 0);

    // MGC240: a control result read from its database, measured a minute later.
    const JobKind& mgc = kinds.require<MgcControlJobKind>();
    const MgcControlResult result{QStringLiteral("QC1"), 3, SqlStamp(f.clock.now().addSecs(60)), 93};
    QCOMPARE(f.store.run(f.store.newJob(mgc, result)).result, JobOutcome::Stored);
    QCOMPARE(f.tdb.count(QStringLiteral("control_rule_events"), rejected, {QStringLiteral("H911")}), 1);

    // A manual input station: the row takes the database server's time and the station's user.
    f.setup.AnalyzerId = QStringLiteral("M1");
    f.setup.ControlMask = QStringLiteral("QC?");
    f.setup.InputParameterId = 3;
    ManualInput station(f.tdb.db(), f.log, f.setup);
    QCOMPARE(station.enter(QStringLiteral("QC1"), QStringLiteral("93,5"), QStringLiteral("anna")), QString());
    QCOMPARE(f.tdb.count(QStringLiteral("control_rule_events"), rejected, {QStringLiteral("M1_anna")}), 1);
    QVERIFY(f.qcLines().contains(QStringLiteral("QC QC1 parameter 3: 1-3s rejection (z = -3.25)")));
}

void TestQcEvaluation::holdTravelsInTheSpool()
{
    JobKinds kinds;
    kinds.add(std::make_unique<ControlJobKind>());
    StoreJob job;
    job.kind = kinds.find(QStringLiteral("control"));
    job.receivedAt = job.stamp = QStringLiteral("20261207 10:39:40");
    job.QcHold = true;
    job.payload = SampleJob{};
    QString id;
    QString error;
    QJsonObject object = ToJson(job, QStringLiteral("s1"));
    QVERIFY(FromJson(object, kinds, &id, &error).value().QcHold);
    // A spool file of an earlier release has no such setting: it is read with the hold off.
    QJsonObject settings = object.value(QStringLiteral("settings")).toObject();
    settings.remove(QStringLiteral("QcHold"));
    object.insert(QStringLiteral("settings"), settings);
    const std::optional<StoreJob> old = FromJson(object, kinds, &id, &error);
    QVERIFY2(old.has_value(), qPrintable(error));
    QVERIFY(!old->QcHold);
}

void TestQcEvaluation::missingTablesAreCreated()
{
    Test::TestDatabase tdb(QStringLiteral("sqlite"));
    QVERIFY2(tdb.ok(), qPrintable(tdb.error()));
    for (const char* table : {"control_targets", "control_rule_events", "qc_holds"})
        tdb.exec(QStringLiteral("DROP TABLE %1").arg(QLatin1String(table)));
    QCOMPARE(EnsureQcTables(tdb.db()), QString());
    QCOMPARE(tdb.count(QStringLiteral("qc_holds")), 0);
    QCOMPARE(tdb.count(QStringLiteral("control_rule_events")), 0);
    // Where the database refuses new tables, the reason comes back and nothing else changes.
    tdb.exec(QStringLiteral("DROP TABLE qc_holds"));
    tdb.readOnly(true);
    QVERIFY(!EnsureQcTables(tdb.db()).isEmpty());
    tdb.readOnly(false);
}

QTEST_GUILESS_MAIN(TestQcEvaluation)
#include "tst_qcevaluation.moc"
