// The test selection of the order replies: the one-query form against the per-channel form, on
// chosen cases and on randomized databases, on every backend.
#include "LiteralOrderSelection.h"
#include "drivers/hitachi/OrderSelection.h"
#include "support/TestDatabase.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::TestDatabase;

namespace {

const QString Analyzer = QStringLiteral("H1");
const QString Other = QStringLiteral("H2");
const QString Mask = QStringLiteral("QC?");

QString Channels(int count, std::initializer_list<int> on)
{
    QString s(count, QLatin1Char('0'));
    for (int c : on)
        s[c - 1] = QLatin1Char('1');
    return s;
}

// The rows every chosen case starts from: parameters 1..6 on channels of this analyzer and another.
void Base(TestDatabase& t)
{
    const QList<QVariantList> mappings{{1, Analyzer, 1},  {2, Analyzer, 5}, {3, Analyzer, 37},
                                       {4, Analyzer, 48}, {5, Other, 2},    {6, Analyzer, 49},
                                       {1, Other, 9}};
    for (const QVariantList& m : mappings)
        t.exec("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (?, ?, ?)", m);
}

int OpenControls(TestDatabase& t)
{
    return t.count("control_results", "result IS NULL AND time_stamp IS NULL");
}

} // namespace

class TestOrderSelection : public QObject
{
    Q_OBJECT

private slots:
    void cases_data();
    void cases();
    void randomized_data();
    void randomized();
};

void TestOrderSelection::cases_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<bool>("literal");
    QTest::addColumn<int>("queries"); // OrderQueries
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("selection");
    QTest::addColumn<int>("openAfter");

    struct Case
    {
        const char* name;
        OrderQueries queries;
        QStringList setup;
        QString id;
        QString selection;
        int openAfter;
    };
    const QList<Case> cases{
        {"sample with requests on channels 1 and 5",
         OrderQueries::Hit911,
         {"INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 1)",
          "INSERT INTO request (sample_id, parameter_id, result) VALUES ('S1', 2, 4.5)",
          "INSERT INTO request (sample_id, parameter_id) VALUES ('S2', 4)"},
         "S1",
         Channels(48, {1, 5}),
         0},
        {"parameter mapped only for another analyzer is not selected",
         OrderQueries::Hit911,
         {"INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 5)"},
         "S1",
         Channels(48, {}),
         0},
        {"channels beyond the analyzer's are left out",
         OrderQueries::Hit911,
         {"INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 4)",
          "INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 6)"},
         "S1",
         Channels(48, {48}),
         0},
        {"902 has 37 channels",
         OrderQueries::Hit902,
         {"INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 3)",
          "INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 4)"},
         "S1",
         Channels(37, {37}),
         0},
        {"blanks of the id are removed",
         OrderQueries::Hit911,
         {"INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 1)"},
         "  S 1",
         Channels(48, {1}),
         0},
        {"control from its definition and armed block",
         OrderQueries::Hit911,
         {"INSERT INTO control_def (control_id, parameter_id) VALUES ('QC1', 1)",
          "INSERT INTO control_def (control_id, parameter_id) VALUES ('QC1', 2)",
          "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'H1')",
          "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 2, 'H2')"},
         "QC1",
         Channels(48, {1}),
         0},
        {"902 takes blocks armed for any analyzer",
         OrderQueries::Hit902,
         {"INSERT INTO control_def (control_id, parameter_id) VALUES ('QC1', 1)",
          "INSERT INTO control_def (control_id, parameter_id) VALUES ('QC1', 2)",
          "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'H1')",
          "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 2, 'H2')"},
         "QC1",
         Channels(37, {1, 5}),
         0},
        {"open controls select their channels and are deleted after",
         OrderQueries::Hit911,
         {"INSERT INTO control_def (control_id, parameter_id) VALUES ('QC1', 1)",
          "INSERT INTO control_results (control_id, parameter_id, analyzer_id) VALUES ('QC1', 2, 'H1')",
          "INSERT INTO control_results (control_id, parameter_id, analyzer_id, result) VALUES ('QC1', 1, "
          "'H1', 3)",
          "INSERT INTO control_results (control_id, parameter_id, analyzer_id) VALUES ('QC2', 2, 'H1')",
          "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'H1')",
          "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 2, 'H1')"},
         "QC1",
         Channels(48, {5}),
         1},
        {"open controls of another analyzer are neither used nor deleted",
         OrderQueries::Hit911,
         {"INSERT INTO control_def (control_id, parameter_id) VALUES ('QC1', 1)",
          "INSERT INTO control_results (control_id, parameter_id, analyzer_id) VALUES ('QC1', 2, 'H2')",
          "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'H1')",
          "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 2, 'H1')"},
         "QC1",
         Channels(48, {1}),
         1},
        {"open controls of a sample id are deleted too",
         OrderQueries::Hit911,
         {"INSERT INTO request (sample_id, parameter_id) VALUES ('S1', 1)",
          "INSERT INTO control_results (control_id, parameter_id, analyzer_id) VALUES ('S1', 2, 'H1')"},
         "S1",
         Channels(48, {1}),
         0},
    };
    for (const QString& backend : Test::Backends()) {
        for (const Case& c : cases) {
            for (const bool literal : {false, true}) {
                QTest::addRow("%s %s: %s", qPrintable(backend), literal ? "literal" : "one query", c.name)
                    << backend << literal << int(c.queries) << c.setup << c.id << c.selection << c.openAfter;
            }
        }
    }
}

void TestOrderSelection::cases()
{
    QFETCH(QString, backend);
    QFETCH(bool, literal);
    QFETCH(int, queries);
    QFETCH(QStringList, setup);
    QFETCH(QString, id);
    TestDatabase t(backend);
    QVERIFY2(t.ok(), qPrintable(t.error()));
    Base(t);
    for (const QString& sql : setup)
        t.exec(sql);

    const OrderSelectionRules rules{Analyzer, Mask, OrderQueries(queries)};
    std::unique_ptr<OrderSelector> selector;
    if (literal)
        selector = std::make_unique<Test::LiteralOrderSelection>(t.db(), rules);
    else
        selector = std::make_unique<OrderSelection>(t.db(), rules);
    const SelectionOutcome outcome = selector->select(id);
    QVERIFY2(outcome.ok, qPrintable(outcome.error));
    QCOMPARE(outcome.error, QString());
    QTEST(outcome.selection, "selection");
    QTEST(OpenControls(t), "openAfter");
}

void TestOrderSelection::randomized_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<quint32>("seed");
    for (const QString& backend : Test::Backends()) {
        for (quint32 seed : {1u, 2u, 3u, 4u})
            QTest::addRow("%s seed %u", qPrintable(backend), seed) << backend << seed;
    }
}

void TestOrderSelection::randomized()
{
    QFETCH(QString, backend);
    QFETCH(quint32, seed);
    TestDatabase t(backend);
    QVERIFY2(t.ok(), qPrintable(t.error()));
    QRandomGenerator random(seed);
    const auto pick = [&](const QStringList& from) {
        return from[int(random.bounded(quint32(from.size())))];
    };
    const QStringList analyzers{Analyzer, Other};
    const QStringList samples{"S1", "S2", "S3", "S4", "S5", "QC1"};
    const QStringList controls{"QC1", "QC2", "QC3", "S1"};
    const auto parameter = [&] { return int(random.bounded(1, 21)); };

    QVERIFY(t.db().transaction());
    for (int i = 0; i < 40; ++i) {
        // Channels 0 to 50: some beyond 37 and 48, some mapped twice.
        t.exec("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (?, ?, ?)",
               {parameter(), pick(analyzers), int(random.bounded(0, 51))});
    }
    for (int i = 0; i < 60; ++i) {
        t.exec("INSERT INTO request (sample_id, parameter_id, analyzer_id, result) VALUES (?, ?, ?, ?)",
               {pick(samples), parameter(), pick(analyzers),
                random.bounded(2) ? QVariant(1.5) : Database::null()});
    }
    for (int i = 0; i < 40; ++i) {
        t.exec(
            "INSERT INTO control_results (control_id, parameter_id, analyzer_id, result, time_stamp) "
            "VALUES (?, ?, ?, ?, ?)",
            {pick(controls), parameter(), pick(analyzers),
             random.bounded(3) == 0 ? QVariant(2.5) : Database::null(),
             random.bounded(4) == 0 ? t.db().stamp(QStringLiteral("20240305 10:00:00")) : Database::null()});
    }
    for (int i = 0; i < 30; ++i) {
        t.exec("INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES (?, ?, ?)",
               {pick(controls), parameter(), pick(analyzers)});
        t.exec("INSERT INTO control_def (control_id, parameter_id) VALUES (?, ?)",
               {pick(controls), parameter()});
    }
    QVERIFY(t.db().commit());

    int selected = 0;
    int deletions = 0;
    const QStringList ids = samples + controls + QStringList{"QC9", "S 2", ""};
    for (const OrderQueries queries : {OrderQueries::Hit911, OrderQueries::Hit902}) {
        const OrderSelectionRules rules{Analyzer, Mask, queries};
        for (const QString& id : ids) {
            const int openBefore = OpenControls(t);
            QVERIFY(t.db().transaction());
            const SelectionOutcome literal = Test::LiteralOrderSelection(t.db(), rules).select(id);
            const int openAfterLiteral = OpenControls(t);
            QVERIFY(t.db().rollback());
            QVERIFY(t.db().transaction());
            const SelectionOutcome one = OrderSelection(t.db(), rules).select(id);
            const int openAfterOne = OpenControls(t);
            QVERIFY(t.db().rollback());

            QVERIFY2(literal.ok && one.ok, qPrintable(literal.error + one.error));
            QCOMPARE(one.selection.size(), rules.channelCount());
            QCOMPARE(one.selection, literal.selection);
            QCOMPARE(openAfterOne, openAfterLiteral);
            selected += int(one.selection.count(QLatin1Char('1')));
            deletions += openBefore - openAfterOne;
        }
    }
    // The database must have exercised the selection and the deletion of open controls.
    QVERIFY(selected > 0);
    QVERIFY(deletions > 0);
}

QTEST_GUILESS_MAIN(TestOrderSelection)
#include "tst_orderselection.moc"
