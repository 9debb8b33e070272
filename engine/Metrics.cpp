#include "Metrics.h"

namespace Quorlix {

namespace {

// Builds the text metric by metric: each one with its HELP and TYPE lines, then its samples.
class Exposition
{
public:
    explicit Exposition(const QString& analyzerId) : m_analyzer(EscapeLabelValue(analyzerId)) {}

    void metric(const char* name, const char* type, const char* help)
    {
        m_name = QLatin1String(name);
        m_text += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
                      .arg(m_name, QLatin1String(help), QLatin1String(type));
    }
    // One sample of the current metric; suffix ("_bucket") and extra labels ("le=\"1\"") optional.
    void sample(const QString& value, const QString& labels = {}, const char* suffix = "")
    {
        m_text += m_name + QLatin1String(suffix) + QStringLiteral("{analyzer=\"") + m_analyzer +
                  QLatin1Char('"') + (labels.isEmpty() ? QString() : QLatin1Char(',') + labels) +
                  QStringLiteral("} ") + value + QLatin1Char('\n');
    }
    void sample(std::uint64_t value, const QString& labels = {}, const char* suffix = "")
    {
        sample(QString::number(value), labels, suffix);
    }
    QString text() const { return m_text; }

private:
    QString m_analyzer;
    QString m_name;
    QString m_text;
};

QString Line(const char* line)
{
    return QStringLiteral("line=\"%1\"").arg(QLatin1String(line));
}

QString Seconds(double seconds)
{
    return QString::number(seconds, 'g', 15);
}

// Whole seconds since the epoch; a moment not known yet is 0.
QString EpochSeconds(const QDateTime& at)
{
    return at.isValid() ? QString::number(at.toSecsSinceEpoch()) : QStringLiteral("0");
}

} // namespace

QString EscapeLabelValue(const QString& value)
{
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        if (c == QLatin1Char('\\'))
            escaped += QLatin1String("\\\\");
        else if (c == QLatin1Char('"'))
            escaped += QLatin1String("\\\"");
        else if (c == QLatin1Char('\n'))
            escaped += QLatin1String("\\n");
        else
            escaped += c;
    }
    return escaped;
}

QString MetricsText(const MetricsInput& in)
{
    const InstanceStats& s = in.stats;
    Exposition out(in.analyzerId);

    out.metric("quorlix_info", "gauge", "The instance's analyzer type and program version (always 1).");
    out.sample(QStringLiteral("1"),
               QStringLiteral("type=\"%1\",version=\"%2\"")
                   .arg(EscapeLabelValue(in.analyzerType), EscapeLabelValue(in.version)));

    out.metric("quorlix_frames_received_total", "counter", "Frames received, per line.");
    out.sample(s.analyzer.framesReceived, Line("analyzer"));
    out.sample(s.lims.framesReceived, Line("lims"));
    out.metric("quorlix_frames_sent_total", "counter", "Frames sent, per line.");
    out.sample(s.analyzer.framesSent, Line("analyzer"));
    out.sample(s.lims.framesSent, Line("lims"));

    const ReplyTimes& replies = s.orderReplies;
    out.metric("quorlix_order_requests_total", "counter", "Order requests answered.");
    out.sample(replies.count);
    out.metric("quorlix_order_reply_seconds", "histogram",
               "Time from an order request's arrival to its answer's last frame handed to the line.");
    std::uint64_t cumulative = 0;
    for (std::size_t i = 0; i < ReplyTimes::BoundsMs.size(); ++i) {
        cumulative += replies.buckets[i];
        out.sample(cumulative, QStringLiteral("le=\"%1\"").arg(Seconds(ReplyTimes::BoundsMs[i] / 1000)),
                   "_bucket");
    }
    out.sample(replies.count, QStringLiteral("le=\"+Inf\""), "_bucket");
    out.sample(Seconds(replies.sumMs / 1000), {}, "_sum");
    out.sample(replies.count, {}, "_count");

    out.metric("quorlix_results_stored_total", "counter", "Patient sample records stored.");
    out.sample(s.resultsStored);
    out.metric("quorlix_controls_stored_total", "counter", "Control records stored.");
    out.sample(s.controlsStored);
    out.metric("quorlix_calibrations_stored_total", "counter", "Calibrations stored.");
    out.sample(s.calibrationsStored);

    out.metric("quorlix_spool_records", "gauge", "Records waiting in the spool for the database.");
    out.sample(QString::number(in.spoolWaiting));
    out.metric("quorlix_quarantined_records", "gauge", "Records the database refused, set aside.");
    out.sample(QString::number(in.quarantined));

    out.metric("quorlix_link_up", "gauge", "Whether a line's link is online (1) or offline (0).");
    if (in.hasAnalyzerLine)
        out.sample(in.link.analyzerOnline ? 1 : 0, Line("analyzer"));
    if (in.hasLimsLine)
        out.sample(in.link.limsOnline ? 1 : 0, Line("lims"));

    out.metric("quorlix_database_failures_total", "counter", "Failed attempts to store a record.");
    out.sample(s.databaseFailures);
    if (s.lastHeartbeat.isValid()) {
        out.metric("quorlix_last_heartbeat_timestamp_seconds", "gauge",
                   "When the instance last wrote its status row (seconds since the epoch).");
        out.sample(EpochSeconds(s.lastHeartbeat));
    }
    out.metric("quorlix_start_time_seconds", "gauge", "When the instance started (seconds since the epoch).");
    out.sample(EpochSeconds(s.startedAt));
    return out.text();
}

} // namespace Quorlix
