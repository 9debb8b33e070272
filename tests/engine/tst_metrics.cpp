// The metrics text of an instance: what its counters, links and spool look like to a scraper.
#include "engine/Metrics.h"

#include <QRegularExpression>
#include <QTest>

using namespace Quorlix;

namespace {

struct Instance
{
    InstanceStats stats;
    LinkState link;
    bool lims = false;
    int spool = 0;
    int quarantined = 0;
    QString id = QStringLiteral("H1");
};

using Change = std::function<void(Instance&)>;

QString TextOf(const Instance& i)
{
    return MetricsText({i.stats, i.link, true, i.lims, i.spool, i.quarantined, i.id, QStringLiteral("H911"),
                        QStringLiteral("1.0")});
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestMetrics : public QObject
{
    Q_OBJECT

private slots:
    void samples_data();
    void samples();
    void everySampleIsLabelledAndDeclared();
};

void TestMetrics::samples_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent"); // no line starts with these

    QTest::newRow("fresh instance: zeros, no heartbeat, no LIMS line")
        << Change([](Instance& i) { i.stats.startedAt = QDateTime::fromSecsSinceEpoch(1765000000); })
        << QStringList{R"(quorlix_frames_received_total{analyzer="H1",line="analyzer"} 0)",
                       R"(quorlix_order_requests_total{analyzer="H1"} 0)",
                       R"(quorlix_order_reply_seconds_bucket{analyzer="H1",le="+Inf"} 0)",
                       R"(quorlix_link_up{analyzer="H1",line="analyzer"} 1)",
                       R"(quorlix_start_time_seconds{analyzer="H1"} 1765000000)",
                       R"(quorlix_info{analyzer="H1",type="H911",version="1.0"} 1)"}
        << QStringList{"quorlix_last_heartbeat_timestamp_seconds",
                       R"(quorlix_link_up{analyzer="H1",line="lims"})"};
    QTest::newRow("frames per line")
        << Change([](Instance& i) {
               i.lims = true;
               i.stats.analyzer.framesReceived = 12;
               i.stats.analyzer.framesSent = 11;
               i.stats.lims.framesReceived = 3;
               i.stats.lims.framesSent = 4;
           })
        << QStringList{R"(quorlix_frames_received_total{analyzer="H1",line="analyzer"} 12)",
                       R"(quorlix_frames_sent_total{analyzer="H1",line="analyzer"} 11)",
                       R"(quorlix_frames_received_total{analyzer="H1",line="lims"} 3)",
                       R"(quorlix_frames_sent_total{analyzer="H1",line="lims"} 4)"}
        << QStringList{};
    QTest::newRow("reply histogram cumulative, in seconds")
        << Change([](Instance& i) {
               for (const double ms : {0.4, 0.9, 1.5, 7.0, 7000.0})
                   i.stats.orderReplies.add(ms);
           })
        << QStringList{R"(quorlix_order_requests_total{analyzer="H1"} 5)",
                       R"(quorlix_order_reply_seconds_bucket{analyzer="H1",le="0.001"} 2)",
                       R"(quorlix_order_reply_seconds_bucket{analyzer="H1",le="0.002"} 3)",
                       R"(quorlix_order_reply_seconds_bucket{analyzer="H1",le="0.005"} 3)",
                       R"(quorlix_order_reply_seconds_bucket{analyzer="H1",le="0.01"} 4)",
                       R"(quorlix_order_reply_seconds_bucket{analyzer="H1",le="5"} 4)",
                       R"(quorlix_order_reply_seconds_bucket{analyzer="H1",le="+Inf"} 5)",
                       R"(quorlix_order_reply_seconds_sum{analyzer="H1"} 7.0098)",
                       R"(quorlix_order_reply_seconds_count{analyzer="H1"} 5)"}
        << QStringList{};
    QTest::newRow("stored, spool, failures, links down, heartbeat")
        << Change([](Instance& i) {
               i.lims = true;
               i.link.analyzerOnline = false;
               i.stats.resultsStored = 7;
               i.stats.controlsStored = 2;
               i.stats.calibrationsStored = 1;
               i.stats.databaseFailures = 3;
               i.spool = 4;
               i.quarantined = 1;
               i.stats.lastHeartbeat = QDateTime::fromSecsSinceEpoch(1765000042);
           })
        << QStringList{R"(quorlix_results_stored_total{analyzer="H1"} 7)",
                       R"(quorlix_controls_stored_total{analyzer="H1"} 2)",
                       R"(quorlix_calibrations_stored_total{analyzer="H1"} 1)",
                       R"(quorlix_database_failures_total{analyzer="H1"} 3)",
                       R"(quorlix_spool_records{analyzer="H1"} 4)",
                       R"(quorlix_quarantined_records{analyzer="H1"} 1)",
                       R"(quorlix_link_up{analyzer="H1",line="analyzer"} 0)",
                       R"(quorlix_link_up{analyzer="H1",line="lims"} 1)",
                       R"(quorlix_last_heartbeat_timestamp_seconds{analyzer="H1"} 1765000042)"}
        << QStringList{};
    QTest::newRow("label value escaped")
        << Change([](Instance& i) { i.id = QStringLiteral("A\\B\"C\nD"); })
        << QStringList{R"(quorlix_results_stored_total{analyzer="A\\B\"C\nD"} 0)"} << QStringList{};
}

void TestMetrics::samples()
{
    QFETCH(Change, change);
    Instance instance;
    change(instance);
    const QStringList lines = TextOf(instance).split(QLatin1Char('\n'));
    QFETCH(QStringList, present);
    for (const QString& line : present)
        QVERIFY2(lines.contains(line), qPrintable(line));
    QFETCH(QStringList, absent);
    for (const QString& start : absent) {
        for (const QString& line : lines)
            QVERIFY2(!line.startsWith(start), qPrintable(line));
    }
}

void TestMetrics::everySampleIsLabelledAndDeclared()
{
    Instance instance;
    instance.lims = true;
    instance.stats.lastHeartbeat = QDateTime::fromSecsSinceEpoch(1);
    const QString text = TextOf(instance);
    QVERIFY(text.endsWith(QLatin1Char('\n')));
    static const QRegularExpression sample(QStringLiteral(R"(^([a-z_]+)\{analyzer="H1"[,}].* [0-9.e+-]+$)"));
    QSet<QString> typed;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("# TYPE "))) {
            typed.insert(line.section(QLatin1Char(' '), 2, 2));
            continue;
        }
        if (line.startsWith(QLatin1String("# HELP ")))
            continue;
        const QRegularExpressionMatch match = sample.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        QString name = match.captured(1);
        for (const char* suffix : {"_bucket", "_sum", "_count"})
            if (name.endsWith(QLatin1String(suffix)) && !typed.contains(name))
                name.chop(qstrlen(suffix));
        QVERIFY2(typed.contains(name), qPrintable(line));
    }
}

QTEST_GUILESS_MAIN(TestMetrics)
#include "tst_metrics.moc"
