// The manual input station's database work, without its window, on every database backend (the
// window's test types the entries).
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Settings.h"
#include "drivers/manual/ManualInput.h"
#include "support/TestDatabase.h"

#include <QSqlRecord>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

namespace {

// Station ST1 enters parameter 7 (validated: below 5 "low" and suspicious, 5 to 10 "normal").
struct Station
{
    explicit Station(const QString& backend, const QString& autoVal = "0") : tdb(backend)
    {
        settings.AnalyzerId = "ST1";
        settings.AnalyzerType = "INPUT";
        settings.InputParameterId = 7;
        settings.AutoVal = autoVal;
        settings.ControlMask = "QC??";
        settings.InputTableName = "INPUT_ST1";
        tdb.exec(tdb.target().dialect.createEmptyCopy("INPUT_ST1", "request"));
        for (const char* sql :
             {"INSERT INTO test_def (parameter_id, short, Long) VALUES (7, 'ETH', 'Ethanol')",
              "INSERT INTO interpretation (id, value, value_arab) VALUES (1, 'low', NULL)",
              "INSERT INTO interpretation (id, value, value_arab) VALUES (2, 'normal', 'n')",
              "INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
              "VALUES (7, 0, 4.99, 1, 1, 2)",
              "INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
              "VALUES (7, 5, 10, 2, 0, 2)",
              "INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
              "VALUES (7, 10.01, 99, 2, 1, 1)"})
            tdb.exec(sql);
        input.startSession();
    }
    // The device table's name as the statements write it (PostgreSQL keeps its case only quoted).
    QString device() const { return tdb.target().dialect.quoteIdentifier("INPUT_ST1"); }
    QString rows(const QString& sql) { return tdb.rows(sql); }

    TestDatabase tdb;
    ManualClock clock{QDateTime(QDate(2026, 12, 7), QTime(10, 39, 40))};
    QLocale locale{QLocale::German, QLocale::Germany};
    CommLog log{clock, locale};
    Settings settings;
    ManualInput input{tdb.db(), log, settings};
};

} // namespace

class TestManualInput : public QObject
{
    Q_OBJECT

private slots:
    void validatedWithInterpretation_data() { Test::AddBackendRows(); }
    void validatedWithInterpretation();
    void frequentUsersFirst_data() { Test::AddBackendRows(); }
    void frequentUsersFirst();
    void deleteAndClearTheSession_data() { Test::AddBackendRows(); }
    void deleteAndClearTheSession();
    void noSessionStartNoClear();
};

void TestManualInput::validatedWithInterpretation()
{
    QFETCH(QString, backend);
    Station st(backend, "1");
    QVERIFY2(st.tdb.ok(), qPrintable(st.tdb.error()));
    st.tdb.exec("INSERT INTO results (sample_id, parameter_id, result) VALUES ('S1', 7, 99)");
    st.tdb.exec("INSERT INTO results (sample_id, parameter_id, result) VALUES ('S1', 8, 99)");
    QCOMPARE(st.input.enter("S1", "3", "TECH1"), QString());
    QCOMPARE(st.input.enter("S2", "12", "TECH1"), QString()); // only a range of another network
    // The earlier result of the sample and parameter is replaced; the other parameter's stays.
    QCOMPARE(
        st.rows(
              "SELECT sample_id, parameter_id, result, interpretation, suspicious, analyzer_id, r_validator "
              "FROM results ORDER BY sample_id, parameter_id")
            .replace(".0|", "|"),
        QString("S1|7|3|low|1|ST1|TECH1;S1|8|99|NULL|NULL|NULL|NULL;S2|7|12||0|ST1|TECH1"));
    QCOMPARE(st.tdb.count("results", "meas_time_stamp IS NOT NULL AND val_time_stamp IS NOT NULL"), 2);
    QCOMPARE(st.input.lowCutoff(), std::optional<double>(4.99));
}

void TestManualInput::frequentUsersFirst()
{
    QFETCH(QString, backend);
    Station st(backend);
    QVERIFY2(st.tdb.ok(), qPrintable(st.tdb.error()));
    for (const char* sql : {"INSERT INTO user_base (userid, comment) VALUES ('ZOE', 'Zoe Z')",
                            "INSERT INTO user_base (userid, comment) VALUES ('AMY', 'Amy A')",
                            "INSERT INTO user_base (userid, comment) VALUES ('BOB', 'Bob B')",
                            "INSERT INTO user_base (userid, comment) VALUES ('CID', 'Cid C')"})
        st.tdb.exec(sql);
    const auto samples = [&](const QString& user, int n) {
        for (int i = 0; i < n; ++i)
            st.tdb.exec("INSERT INTO sample_base (sample_id, entry_user) VALUES (?, ?)",
                        {user + QString::number(i), user});
    };
    samples("Bob B", 101);
    samples("Zoe Z", 140);
    samples("Cid C", 100); // not more than 100
    QCOMPARE(st.input.users(), QStringList({"ZOE", "BOB", "AMY", "CID"}));
    QVERIFY(st.input.isUser("AMY"));
    QVERIFY(!st.input.isUser("amy'--"));
}

void TestManualInput::deleteAndClearTheSession()
{
    QFETCH(QString, backend);
    Station st(backend);
    QVERIFY2(st.tdb.ok(), qPrintable(st.tdb.error()));
    // Rows of an earlier session and of another station stay.
    st.tdb.exec("INSERT INTO " + st.device() +
                    " (sample_id, parameter_id, result, analyzer_id, time_stamp) VALUES ('OLD', 7, 1, "
                    "'ST1_TECH1', ?)",
                {st.tdb.db().stamp("20200101 08:00:00")});
    st.tdb.exec("INSERT INTO control_results (control_id, parameter_id, result, analyzer_id, time_stamp) "
                "VALUES ('QC01', 7, 1, 'ST2_TECH1', " +
                st.tdb.target().dialect.now() + ")");
    QCOMPARE(st.input.enter("S1", "6", "TECH1"), QString());
    QCOMPARE(st.input.enter("S2", "7", "TECH2"), QString());
    QCOMPARE(st.input.enter("QC01", "5", "TECH1"), QString());
    // Another analyzer's validated result of the same sample and parameter is not this station's.
    st.tdb.exec(
        "INSERT INTO results (sample_id, parameter_id, result, analyzer_id) VALUES ('S1', 7, 42, 'AU1')");

    QCOMPARE(st.input.deleteEntry("S1"), QString());
    QCOMPARE(st.rows("SELECT analyzer_id FROM results"), QString("AU1"));
    QCOMPARE(st.input.deleteEntry("QC01"), QString());
    QCOMPARE(st.rows("SELECT sample_id FROM " + st.device() + " ORDER BY sample_id"), QString("OLD;S2"));
    QCOMPARE(st.rows("SELECT analyzer_id FROM control_results"), QString("ST2_TECH1"));

    QCOMPARE(st.input.enter("QC01", "5", "TECH2"), QString());
    // The session's rows carry the station and its users' names: all of them go.
    QCOMPARE(st.input.clearSession(), QString());
    QCOMPARE(st.rows("SELECT sample_id FROM " + st.device()), QString("OLD"));
    QCOMPARE(st.rows("SELECT analyzer_id FROM control_results"), QString("ST2_TECH1"));
    QCOMPARE(st.tdb.count("Raw_Results"), 2); // raw copies are kept
    QVERIFY(st.log.recentLines().first().endsWith(
        "INPUT: Session cleared: All Results  for Parameter : 7 since start of session  deleted!"));
}

void TestManualInput::noSessionStartNoClear()
{
    Station st("sqlite");
    QVERIFY2(st.tdb.ok(), qPrintable(st.tdb.error()));
    QCOMPARE(st.input.enter("S1", "6", "TECH1"), QString()); // the previous session's
    st.tdb.exec("CREATE TRIGGER refuse_start BEFORE INSERT ON quorlix_log WHEN NEW.log_val = 'SessionStart' "
                "BEGIN SELECT RAISE(ABORT, 'disk full'); END");
    ManualInput next(st.tdb.db(), st.log, st.settings);
    QVERIFY(!next.startSession());
    QCOMPARE(next.enter("S2", "7", "TECH1"), QString());
    // Clearing would reach back to the previous session's start: refused, nothing deleted.
    QCOMPARE(next.clearSession(),
             QString("the session start could not be written: the session is not cleared"));
    QCOMPARE(st.rows("SELECT sample_id FROM " + st.device() + " ORDER BY sample_id"), QString("S1;S2"));
}

QTEST_GUILESS_MAIN(TestManualInput)
#include "tst_manualinput.moc"
