#include "StoreFixture.h"
#include "drivers/astm/IndikoStore.h"
#include "drivers/au/AuReceivedJob.h"
#include "store/SampleIds.h"
#include "store/Store.h"

#include <QTest>

using namespace Quorlix;

namespace {

const QString NowText = QStringLiteral("2026-12-07 10:39:40");

// A laboratory database, the clock standing at 10:39:40 and a Hitachi 911 without LIMS.
struct Fixture : Test::StoreFixture
{
    using StoreFixture::StoreFixture;

    void sample(const QString& id, const QList<ResultEntry>& results)
    {
        SampleRecord& s = sampleRecord;
        s = SampleRecord();
        s.SampleId = id;
        s.ResultCount = static_cast<qint16>(results.size());
        for (int k = 0; k < results.size(); ++k)
            s.Results[static_cast<size_t>(k)] = results.at(k);
    }
    // Parameter p measured 0..500, one interpretation per validation set.
    void referenceData()
    {
        tdb.exec(QStringLiteral(
            "INSERT INTO test_def (parameter_id, short, range_low, range_high) VALUES (7, 'GLU', 0, 500)"));
        tdb.exec(QStringLiteral("INSERT INTO interpretation (id, value, value_arab) VALUES (1, 'normal', "
                                "'n1'), (2, 'normal-2', 'n2')"));
        tdb.exec(QStringLiteral(
            "INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
            "VALUES (7, -100, 100000, 1, 0, 1)"));
    }
};

ResultEntry Result(qint16 parameter, const QString& value, const QString& alarm = QStringLiteral(" "))
{
    ResultEntry e;
    e.ParameterId = parameter;
    e.Value = value;
    e.DataAlarm = alarm;
    return e;
}

void AddBackendVariantRows(const QStringList& variants)
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("variant");
    for (const QString& backend : Test::Backends()) {
        for (const QString& variant : variants)
            QTest::newRow(qPrintable(backend + QLatin1Char('/') + variant)) << backend << variant;
    }
}

} // namespace

class TestSampleStore : public QObject
{
    Q_OBJECT

private slots:
    void resultFillsOpenOrder_data() { Test::AddBackendRows(); }
    void resultFillsOpenOrder();
    void twoOpenOrdersStayOpen_data() { Test::AddBackendRows(); }
    void twoOpenOrdersStayOpen();
    void innerBlanksAndEmptyValues_data() { Test::AddBackendRows(); }
    void innerBlanksAndEmptyValues();
    void resultCountZero_data() { Test::AddBackendRows(); }
    void resultCountZero();
    void overRangeIsClipped_data() { AddBackendVariantRows({QStringLiteral("1"), QStringLiteral("2")}); }
    void overRangeIsClipped();
    void outsideEveryInterval_data() { AddBackendVariantRows({QStringLiteral("1"), QStringLiteral("2")}); }
    void outsideEveryInterval();
    void validationSets_data() { Test::AddBackendRows(); }
    void validationSets();
    void valuesThatAreNoNumbers_data() { Test::AddBackendRows(); }
    void valuesThatAreNoNumbers();
    void fullSample_data() { Test::AddBackendRows(); }
    void fullSample();
    void limsQueueAndQuotes_data() { Test::AddBackendRows(); }
    void limsQueueAndQuotes();
    void emptySampleIdStoresNothing_data() { Test::AddBackendRows(); }
    void emptySampleIdStoresNothing();
    void newSampleId_data();
    void newSampleId();
    void idsAcrossProcesses_data()
    {
        AddBackendVariantRows({QStringLiteral("new"), QStringLiteral("analyzer id")});
    }
    void idsAcrossProcesses();
    void au600WithLimsMapsIds_data() { Test::AddBackendRows(); }
    void au600WithLimsMapsIds();
    void indikoRestampsWithin13Minutes_data() { Test::AddBackendRows(); }
    void indikoRestampsWithin13Minutes();
};

void TestSampleStore::resultFillsOpenOrder()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.tdb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 7)"));
    f.sample(QStringLiteral("  S1 "), {Result(7, QStringLiteral("  12.5"))});
    f.sampleRecord.SampleDisc = QStringLiteral("2");
    f.sampleRecord.SamplePos = QStringLiteral("13");
    f.storeSample();

    QCOMPARE(f.text(QStringLiteral("SELECT result FROM request WHERE sample_id = 'S1'")),
             QStringLiteral("12.5"));
    QCOMPARE(f.text(QStringLiteral("SELECT data_alarm FROM request")), QStringLiteral(" "));
    QCOMPARE(f.text(QStringLiteral("SELECT analyzer_id FROM request")), QStringLiteral("H911"));
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM request").arg(f.stampOf(QStringLiteral("time_stamp")))),
             NowText);
    // The raw copy carries the trimmed alarm: '' for none.
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"),
                         QStringLiteral("sample_id = 'S1' AND parameter_id = 7 AND result = 12.5 "
                                        "AND data_alarm = '' AND analyzer_id = 'H911'")),
             1);
    QCOMPARE(
        f.text(QStringLiteral("SELECT %1 FROM Raw_Results").arg(f.stampOf(QStringLiteral("time_stamp")))),
        NowText);
    QCOMPARE(f.tdb.count(
                 QStringLiteral("sample_base"),
                 QStringLiteral("sample_id = 'S1' AND sample_pos = 13 AND sample_disc = 2 AND status_1 = '' "
                                "AND analyzer_id = 'H911' AND p_id = 1 AND si_id = 'na' AND cust_id = '999' "
                                "AND add3 = 1")),
             1);
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM sample_base").arg(f.stampOf(QStringLiteral("entry_dat")))),
             NowText);
    QCOMPARE(f.tdb.count(QStringLiteral("req2send")), 0);
    QCOMPARE(f.tdb.count(QStringLiteral("results")), 0); // no autovalidation

    // A second frame refreshes sample_base: position and disc when given, analyzer and time.
    f.clock.advanceSeconds(60);
    f.setup.AnalyzerId = QStringLiteral("H912");
    f.sample(QStringLiteral("S1"), {Result(8, QStringLiteral("1"))});
    f.sampleRecord.SamplePos = QStringLiteral("14");
    f.storeSample();
    QCOMPARE(f.tdb.count(QStringLiteral("sample_base"),
                         QStringLiteral("sample_pos = 14 AND sample_disc = 2 AND analyzer_id = 'H912'")),
             1);
    QCOMPARE(
        f.text(
            QStringLiteral("SELECT %1 FROM sample_base").arg(f.stampOf(QStringLiteral("last_change_dat")))),
        QStringLiteral("2026-12-07 10:40:40"));
}

void TestSampleStore::twoOpenOrdersStayOpen()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.tdb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES ('S2', 7), ('S2', 7)"));
    f.sample(QStringLiteral("S2"), {Result(7, QStringLiteral("3"))});
    f.storeSample();
    QCOMPARE(f.tdb.count(QStringLiteral("request"), QStringLiteral("result IS NULL AND analyzer_id IS NULL")),
             2);
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = 'S2' AND result = 3")),
             1);
}

void TestSampleStore::innerBlanksAndEmptyValues()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    // Without an order the row is inserted with the blanks of the id removed; the later SELECT
    // looks for the trimmed id and does not find it again.
    f.sample(QStringLiteral(" AB 12 "), {Result(7, QStringLiteral("      "), QStringLiteral("H"))});
    f.storeSample();
    QCOMPARE(f.tdb.count(QStringLiteral("request"),
                         QStringLiteral("sample_id = 'AB12' AND result IS NULL AND data_alarm = 'H'")),
             1);
    f.sample(QStringLiteral("AB 12"), {Result(7, QStringLiteral("4"))});
    f.storeSample();
    QCOMPARE(f.tdb.count(QStringLiteral("request"), QStringLiteral("sample_id = 'AB12'")), 2);
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = 'AB 12'")), 2);
    QCOMPARE(f.tdb.count(QStringLiteral("sample_base"), QStringLiteral("sample_id = 'AB 12'")), 1);

    // An empty result marks the order with analyzer_id and time_stamp; a later result of the pair
    // still fills it.
    f.tdb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES ('S3', 7)"));
    f.sample(QStringLiteral("S3"), {Result(7, QStringLiteral(""))});
    f.storeSample();
    QCOMPARE(f.tdb.count(QStringLiteral("request"),
                         QStringLiteral("sample_id = 'S3' AND result IS NULL AND analyzer_id = 'H911' "
                                        "AND time_stamp IS NOT NULL")),
             1);
    f.sample(QStringLiteral("S3"), {Result(7, QStringLiteral("5"))});
    f.storeSample();
    QCOMPARE(f.tdb.rows(QStringLiteral("SELECT result FROM request WHERE sample_id = 'S3'")),
             QStringLiteral("5"));
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = 'S3' AND result = 5")),
             1);
}

void TestSampleStore::resultCountZero()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.referenceData();
    f.setup.AutoVal = QStringLiteral("1");
    // A finished order of another sample: autovalidation acts on the whole table.
    f.tdb.exec(
        QStringLiteral("INSERT INTO request (sample_id, parameter_id, analyzer_id, time_stamp, result) "
                       "VALUES ('OTHER', 7, 'H911', ?, 50)"),
        {f.tdb.db().stamp(QStringLiteral("20261207 09:00:00"))});
    f.sample(QStringLiteral("S0"), {});
    f.storeSample();
    QCOMPARE(f.tdb.count(QStringLiteral("sample_base"), QStringLiteral("sample_id = 'S0'")), 1);
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results")), 0);
    QCOMPARE(f.tdb.count(QStringLiteral("request")), 0);
    QCOMPARE(f.tdb.count(QStringLiteral("results"),
                         QStringLiteral("sample_id = 'OTHER' AND result = 50 AND interpretation = 'normal'")),
             1);
}

void TestSampleStore::overRangeIsClipped()
{
    QFETCH(QString, backend);
    QFETCH(QString, variant);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.referenceData();
    f.setup.AutoVal = variant;
    f.tdb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES ('S4', 7)"));
    f.tdb.exec(QStringLiteral(
        "INSERT INTO results (sample_id, parameter_id, result) VALUES ('S4', 7, 1)")); // replaced
    f.sample(QStringLiteral("S4"), {Result(7, QStringLiteral("600"), QStringLiteral(">"))});
    f.storeSample();

    // Stored as received, set to 9999 by the ">" alarm, clipped to range_high in results.
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("result = 600 AND data_alarm = '>'")),
             1);
    QCOMPARE(f.tdb.count(QStringLiteral("request")), 0);
    QCOMPARE(f.tdb.count(QStringLiteral("results")), 1);
    QCOMPARE(f.text(QStringLiteral("SELECT result FROM results")), QStringLiteral("500"));
    QCOMPARE(f.text(QStringLiteral("SELECT interpretation FROM results")), QStringLiteral("normal"));
    QCOMPARE(f.text(QStringLiteral("SELECT interpretation_arab FROM results")), QStringLiteral("n1"));
    if (variant == QLatin1String("2")) {
        QCOMPARE(f.text(QStringLiteral("SELECT analyzer_id FROM results")), QStringLiteral("H911"));
        QCOMPARE(
            f.text(
                QStringLiteral("SELECT %1 FROM results").arg(f.stampOf(QStringLiteral("meas_time_stamp")))),
            NowText);
        // Validated now, by the database server's clock (the test's clock stands in the past).
        const QDateTime validated = QDateTime::fromString(
            f.text(QStringLiteral("SELECT %1 FROM results").arg(f.stampOf(QStringLiteral("val_time_stamp")))),
            QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY2(qAbs(validated.secsTo(QDateTime::currentDateTime())) < 120,
                 qPrintable(validated.toString()));
    } else {
        QCOMPARE(f.tdb.count(QStringLiteral("results"),
                             QStringLiteral("analyzer_id IS NULL AND val_time_stamp IS NULL")),
                 1);
    }

    // Below range_low: 0.
    f.sample(QStringLiteral("S5"), {Result(7, QStringLiteral("-3"))});
    f.storeSample();
    QCOMPARE(f.text(QStringLiteral("SELECT result FROM results WHERE sample_id = 'S5'")),
             QStringLiteral("0"));
}

void TestSampleStore::outsideEveryInterval()
{
    QFETCH(QString, backend);
    QFETCH(QString, variant);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.tdb.exec(QStringLiteral(
        "INSERT INTO test_def (parameter_id, short, range_low, range_high) VALUES (7, 'GLU', 0, 500)"));
    f.tdb.exec(QStringLiteral("INSERT INTO interpretation (id, value) VALUES (1, 'normal')"));
    // An interval that holds the value, but only in validation set 2.
    f.tdb.exec(QStringLiteral(
        "INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
        "VALUES (7, 0, 100, 1, 0, 1), (7, 100, 200, 1, 1, 2)"));
    f.setup.AutoVal = variant;
    f.sample(QStringLiteral("S6"), {Result(7, QStringLiteral("150"))});
    f.storeSample();
    QCOMPARE(f.tdb.count(QStringLiteral("request")), 0);
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("result = 150")), 1);
    // "1" takes every interval of the parameter, "2" only those of the sample's set (1).
    QCOMPARE(f.tdb.count(QStringLiteral("results")), variant == QLatin1String("1") ? 1 : 0);
    if (variant == QLatin1String("1"))
        QCOMPARE(f.text(QStringLiteral("SELECT suspicious FROM results")), QStringLiteral("1"));
}

void TestSampleStore::validationSets()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.referenceData();
    f.tdb.exec(QStringLiteral(
        "INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) "
        "VALUES (7, -100, 100000, 2, 1, 2)"));
    f.setup.AutoVal = QStringLiteral("2");
    f.tdb.exec(QStringLiteral(
        "INSERT INTO sample_base (sample_id, add3) VALUES ('N2', 2), ('N5', 5), ('NN', NULL)"));
    for (const QString& id : {QStringLiteral("N2"), QStringLiteral("N5"), QStringLiteral("NN")}) {
        f.sample(id, {Result(7, QStringLiteral("10"))});
        f.storeSample();
    }
    QCOMPARE(f.text(QStringLiteral("SELECT add3 FROM sample_base WHERE sample_id = 'N2'")),
             QStringLiteral("2"));
    QCOMPARE(f.text(QStringLiteral("SELECT add3 FROM sample_base WHERE sample_id = 'N5'")),
             QStringLiteral("1"));
    QCOMPARE(f.text(QStringLiteral("SELECT add3 FROM sample_base WHERE sample_id = 'NN'")), QString());
    QCOMPARE(f.text(QStringLiteral("SELECT interpretation FROM results WHERE sample_id = 'N2'")),
             QStringLiteral("normal-2"));
    QCOMPARE(f.text(QStringLiteral("SELECT interpretation FROM results WHERE sample_id = 'N5'")),
             QStringLiteral("normal"));
    // A sample without a validation set gets no validated result.
    QCOMPARE(f.tdb.count(QStringLiteral("results"), QStringLiteral("sample_id = 'NN'")), 0);
    QCOMPARE(f.tdb.count(QStringLiteral("request")), 0);
}

void TestSampleStore::fullSample()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    // As many results as a record holds; every third one empty (a raw row without a result).
    QList<ResultEntry> results;
    for (int k = 1; k <= MaxResults; ++k)
        results << Result(qint16(k), k % 3 == 0 ? QString() : QString::number(k), QStringLiteral("H"));
    f.sample(QStringLiteral("S48"), results);
    f.storeSample();
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = 'S48'")), MaxResults);
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("result IS NULL")), MaxResults / 3);
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"),
                         QStringLiteral("result = parameter_id AND data_alarm = 'H'")),
             MaxResults - MaxResults / 3);
    QCOMPARE(f.tdb.count(QStringLiteral("request"), QStringLiteral("analyzer_id = 'H911'")), MaxResults);
}

void TestSampleStore::valuesThatAreNoNumbers()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.tdb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES ('S7', 9)"));
    f.sample(QStringLiteral("S7"), {Result(7, QStringLiteral("<0.1")), Result(8, QStringLiteral("NULL")),
                                    Result(9, QStringLiteral("<5")), Result(10, QStringLiteral(" 5"))});
    f.storeSample();
    // A value that is no number neither fills the order of 9 nor makes one for 7; "NULL" counts
    // as an empty value.
    QCOMPARE(f.tdb.rows(QStringLiteral(
                 "SELECT parameter_id, result, analyzer_id FROM request ORDER BY parameter_id")),
             QStringLiteral("8|NULL|H911;9|NULL|NULL;10|5|H911"));
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("result IS NULL")), 3);
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results")), 4);
    const QStringList lines = f.monitor();
    QCOMPARE(lines.filter(QStringLiteral("\"<0.1\"")).size(), 1);
    QVERIFY(lines.filter(QStringLiteral("\"<0.1\"")).first().contains(QStringLiteral("S7")));
    QVERIFY(lines.filter(QStringLiteral("\"<0.1\"")).first().contains(QStringLiteral("parameter 7")));
    QCOMPARE(lines.filter(QStringLiteral("\"<5\"")).size(), 1);
    QCOMPARE(lines.filter(QStringLiteral("NULL\"")).size(), 0);
    QCOMPARE(lines.size(), 2);

    // The rerun fills the order.
    f.sample(QStringLiteral("S7"), {Result(9, QStringLiteral("  4.2"))});
    f.storeSample();
    QCOMPARE(f.tdb.rows(QStringLiteral("SELECT result, analyzer_id FROM request WHERE parameter_id = 9")),
             QStringLiteral("4.2|H911"));
}

void TestSampleStore::limsQueueAndQuotes()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.setup.OutType = QStringLiteral("invH912");
    f.setup.OutComPort = 2;
    const QString id = QStringLiteral("O'Neil'; --");
    f.sample(id, {Result(7, QStringLiteral("1")), Result(8, QStringLiteral("2"))});
    f.storeSample();
    f.sample(id, {Result(7, QStringLiteral("3"))});
    f.storeSample();
    QCOMPARE(f.tdb.count(QStringLiteral("req2send"), QStringLiteral("sample_id = ?"), {id}), 2);
    QCOMPARE(
        f.tdb.count(QStringLiteral("req2send"), QStringLiteral("sample_id = ? AND parameter_id = 7"), {id}),
        1);
    QCOMPARE(f.tdb.count(QStringLiteral("sample_base"), QStringLiteral("sample_id = ?"), {id}), 1);
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = ?"), {id}), 3);
    QCOMPARE(f.tdb.count(QStringLiteral("request"), QStringLiteral("sample_id = ?"),
                         {QStringLiteral("O'Neil';--")}),
             3);

    // Only the out-type without a port: no LIMS side, nothing queued.
    f.setup.OutComPort.reset();
    f.sample(QStringLiteral("S8"), {Result(7, QStringLiteral("1"))});
    f.storeSample();
    QCOMPARE(f.tdb.count(QStringLiteral("req2send"), QStringLiteral("sample_id = 'S8'")), 0);
}

void TestSampleStore::emptySampleIdStoresNothing()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    f.setup.AutoVal = QStringLiteral("1");
    f.sample(QStringLiteral("   "), {Result(7, QStringLiteral("1"))});
    f.storeSample();
    for (const QString& table :
         {QStringLiteral("request"), QStringLiteral("Raw_Results"), QStringLiteral("sample_base")})
        QCOMPARE(f.tdb.count(table), 0);
}

void TestSampleStore::newSampleId_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("reported");
    const QList<std::tuple<const char*, QStringList, QString, bool>> cases{
        {"first of the day", {}, QStringLiteral("61207001"), false},
        {"after the highest",
         {QStringLiteral("61207041"), QStringLiteral("61207007")},
         QStringLiteral("61207042"),
         false},
        {"yesterday does not count", {QStringLiteral("61206999")}, QStringLiteral("61207001"), false},
        {"barcode with the prefix is no counter",
         {QStringLiteral("6120712345678"), QStringLiteral("61207005")},
         QStringLiteral("61207006"),
         false},
        {"after 999 four digits",
         {QStringLiteral("61207999"), QStringLiteral("61207998")},
         QStringLiteral("612071000"),
         true},
        {"four digits go on",
         {QStringLiteral("61207999"), QStringLiteral("612071000")},
         QStringLiteral("612071001"),
         false},
    };
    for (const QString& backend : Test::Backends()) {
        for (const auto& [name, existing, expected, reported] : cases)
            QTest::newRow(qPrintable(backend + QLatin1Char('/') + QLatin1String(name)))
                << backend << existing << expected << reported;
    }
}

void TestSampleStore::newSampleId()
{
    QFETCH(QString, backend);
    QFETCH(QStringList, existing);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    for (const QString& id : existing)
        f.tdb.exec(QStringLiteral("INSERT INTO sample_base (sample_id) VALUES (?)"), {id});
    QTEST(NewSampleId(f.tdb.db(), f.clock, f.log), "expected");
    QTEST(!f.monitor().filter(QStringLiteral("four digits")).isEmpty(), "reported");
}

// Two processes on one database allocate an id at the same moment, each in its store call's
// transaction: the second waits until the first has filed its sample (here it gives up after
// 200 ms), then gets the next id, or for the same analyzer id the same sample.
void TestSampleStore::idsAcrossProcesses()
{
    QFETCH(QString, backend);
    QFETCH(QString, variant);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    Database other(QStringLiteral("other-process"));
    QCOMPARE(other.open(f.tdb.target()), QString());
    QVERIFY(other
                .run(other.dialect().kind() == SqlDialect::SQLite
                         ? QStringLiteral("PRAGMA busy_timeout = 200")
                         : QStringLiteral("SET lock_timeout = '200ms'"))
                .ok());
    const QDate day = Test::StoreNow.date();
    const bool mapped = variant == QLatin1String("analyzer id");
    auto allocate = [&](Database& db, QString* id) {
        return mapped ? SampleIdForAnalyzerIdOn(db, QStringLiteral("4711"), day, id, nullptr)
                      : NewSampleIdOn(db, day, id, nullptr);
    };
    auto file = [&](Database& db, const QString& id) {
        return db
            .run(QStringLiteral("INSERT INTO sample_base (sample_id, status_1, entry_dat) VALUES (?, ?, ?)"),
                 {id, mapped ? QStringLiteral("4711") : QString(),
                  db.stamp(QStringLiteral("20261207 10:39:40"))})
            .ok();
    };

    Database& first = f.tdb.db();
    QString firstId;
    QVERIFY(first.transaction());
    QVERIFY(allocate(first, &firstId).ok());
    QVERIFY(file(first, firstId));

    QString secondId;
    QVERIFY(other.transaction());
    const DbOutcome meanwhile = allocate(other, &secondId);
    QVERIFY2(!meanwhile.ok(), qPrintable(QStringLiteral("both processes got %1").arg(secondId)));
    other.rollback();
    QVERIFY(first.commit());

    QVERIFY(other.transaction());
    QVERIFY(allocate(other, &secondId).ok());
    if (!mapped)
        QVERIFY(file(other, secondId));
    QVERIFY(other.commit());
    QCOMPARE(firstId, QStringLiteral("61207001"));
    QCOMPARE(secondId, mapped ? firstId : QStringLiteral("61207002"));
    QCOMPARE(f.tdb.count(QStringLiteral("sample_base")), mapped ? 1 : 2);
}

void TestSampleStore::au600WithLimsMapsIds()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    SetAuStoreRules(f.store.kinds());
    f.setup.AnalyzerType = QStringLiteral("OAU600");
    f.setup.AnalyzerId = QStringLiteral("AU1");
    f.setup.OutType = QStringLiteral("invOAU600");
    // The same analyzer id from last year is another sample.
    f.tdb.exec(QStringLiteral(
                   "INSERT INTO sample_base (sample_id, status_1, entry_dat) VALUES ('51207001', '4711', ?)"),
               {f.tdb.db().stamp(QStringLiteral("20251207 08:00:00"))});
    auto au = [&](const QString& id, const QString& value) {
        f.sample(QString(), {Result(7, value)});
        f.sampleRecord.SampleId = id;
        f.sampleRecord.SampleDisc = QStringLiteral("0012");
        f.sampleRecord.SamplePos = QStringLiteral("03");
        f.storeSample();
    };
    au(QStringLiteral("  4711              "), QStringLiteral("1"));
    QCOMPARE(f.tdb.count(QStringLiteral("sample_base"),
                         QStringLiteral("sample_id = '61207001' AND status_1 = '4711' AND sample_pos IS NULL "
                                        "AND sample_disc IS NULL")),
             1);
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = '61207001'")), 1);
    au(QStringLiteral("4711"), QStringLiteral("2"));
    au(QStringLiteral("4712"), QStringLiteral("3"));
    QCOMPARE(f.tdb.count(QStringLiteral("Raw_Results"), QStringLiteral("sample_id = '61207001'")), 2);
    QCOMPARE(f.tdb.count(QStringLiteral("sample_base"),
                         QStringLiteral("sample_id = '61207002' AND status_1 = '4712'")),
             1);
    QCOMPARE(f.tdb.count(QStringLiteral("sample_base")), 3);

    // Without a LIMS side the analyzer's id is the laboratory id, with rack and cup.
    f.setup.OutType.clear();
    au(QStringLiteral("  4713  "), QStringLiteral("4"));
    QCOMPARE(f.tdb.count(QStringLiteral("sample_base"),
                         QStringLiteral(
                             "sample_id = '4713' AND sample_disc = 12 AND sample_pos = 3 AND status_1 = ''")),
             1);
}

void TestSampleStore::indikoRestampsWithin13Minutes()
{
    QFETCH(QString, backend);
    Fixture f(backend);
    QVERIFY2(f.tdb.ok(), qPrintable(f.tdb.error()));
    Database& db = f.tdb.db();
    SetIndikoStoreRules(f.store.kinds());
    f.setup.AnalyzerType = QStringLiteral("INDRESULT");
    f.setup.AnalyzerId = QStringLiteral("IND1");
    f.tdb.exec(
        QStringLiteral("INSERT INTO request (sample_id, parameter_id, analyzer_id, time_stamp, result) "
                       "VALUES ('P1', 1, 'IND1', ?, 1), ('P1', 2, 'IND1', ?, 2), ('P1', 4, 'IND1', ?, 4)"),
        {db.stamp(QStringLiteral("20261207 10:30:00")), db.stamp(QStringLiteral("20261207 10:10:00")),
         db.stamp(QStringLiteral("20261207 10:44:00"))});
    f.tdb.exec(QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES ('P1', 3)"));
    f.sample(QStringLiteral(" P1 "), {Result(3, QStringLiteral("4.2"), QString())});
    f.sampleRecord.MeasuredAt = QDateTime(QDate(2026, 12, 7), QTime(10, 35));
    f.storeSample();

    const QString stamp = f.stampOf(QStringLiteral("time_stamp"));
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM request WHERE parameter_id = 1").arg(stamp)),
             QStringLiteral("2026-12-07 10:35:00"));
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM request WHERE parameter_id = 2").arg(stamp)),
             QStringLiteral("2026-12-07 10:10:00"));
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM request WHERE parameter_id = 4").arg(stamp)),
             QStringLiteral("2026-12-07 10:35:00"));
    QCOMPARE(f.text(QStringLiteral("SELECT result FROM request WHERE parameter_id = 3")),
             QStringLiteral("4.2"));
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM request WHERE parameter_id = 3").arg(stamp)),
             QStringLiteral("2026-12-07 10:35:00"));
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM Raw_Results").arg(stamp)),
             QStringLiteral("2026-12-07 10:35:00"));
    // The sample row is made at the time of receipt.
    QCOMPARE(f.text(QStringLiteral("SELECT %1 FROM sample_base").arg(f.stampOf(QStringLiteral("entry_dat")))),
             NowText);
}

QTEST_GUILESS_MAIN(TestSampleStore)
#include "tst_samplestore.moc"
