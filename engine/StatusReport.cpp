#include "StatusReport.h"
#include "ConfiguredDatabase.h"

#include "Launch.h"
#include "Startup.h"
#include "core/Database.h"
#include "core/DayShift.h"
#include "core/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define QUORLIX_ISATTY _isatty
#define QUORLIX_FILENO _fileno
#else
#include <unistd.h>
#define QUORLIX_ISATTY isatty
#define QUORLIX_FILENO fileno
#endif

namespace Quorlix {

namespace {

const QString Columns = QStringLiteral(
    "analyzer_id, analyzer_type, host_name, process_id, version, started_at, last_heartbeat, stopped_at, "
    "analyzer_link, lims_link, last_received, last_received_at, last_sent, last_sent_at, spool_waiting, "
    "quarantined, last_error, last_error_at");

// "12s", "4m05s", "3h12m", "2d04h"; "-" for a moment that never came. A moment ahead of the
// reader's clock (clocks of two hosts) counts as now.
QString Age(const QDateTime& then, const QDateTime& now)
{
    if (!then.isValid())
        return QStringLiteral("-");
    const qint64 s = qMax<qint64>(0, then.secsTo(now));
    const auto two = [](qint64 n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (s < 60)
        return QStringLiteral("%1s").arg(s);
    if (s < 3600)
        return QStringLiteral("%1m%2s").arg(s / 60).arg(two(s % 60));
    if (s < 86400)
        return QStringLiteral("%1h%2m").arg(s / 3600).arg(two(s % 3600 / 60));
    return QStringLiteral("%1d%2h").arg(s / 86400).arg(two(s % 86400 / 3600));
}

// What the database holds is printed, never obeyed: a control character (an escape sequence
// written into a row) would move the terminal's cursor or change its colours.
QString Printable(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return out;
}

QString ColourOf(AnalyzerState state)
{
    switch (state) {
    case AnalyzerState::Online:
        return QStringLiteral("\x1b[32m");
    case AnalyzerState::Offline:
    case AnalyzerState::Stopped:
        return QStringLiteral("\x1b[33m");
    case AnalyzerState::Gone:
        return QStringLiteral("\x1b[31m");
    }
    return {};
}

QJsonValue JsonTime(const QDateTime& moment)
{
    return moment.isValid() ? QJsonValue(moment.toString(Qt::ISODate)) : QJsonValue();
}

QJsonValue JsonText(const QString& text)
{
    return text.isNull() ? QJsonValue() : QJsonValue(text);
}

bool StdoutIsTerminal()
{
    return QUORLIX_ISATTY(QUORLIX_FILENO(stdout)) != 0 && qEnvironmentVariableIsEmpty("NO_COLOR");
}

} // namespace

AnalyzerState StateOf(const AnalyzerStatus& row, const QDateTime& now)
{
    if (row.stoppedAt.isValid())
        return AnalyzerState::Stopped;
    if (!row.lastHeartbeat.isValid() || row.lastHeartbeat.secsTo(now) > GoneAfterSeconds)
        return AnalyzerState::Gone;
    if (row.analyzerLink == QLatin1String("offline"))
        return AnalyzerState::Offline;
    return AnalyzerState::Online;
}

QString StateName(AnalyzerState state)
{
    switch (state) {
    case AnalyzerState::Online:
        return QStringLiteral("online");
    case AnalyzerState::Offline:
        return QStringLiteral("offline");
    case AnalyzerState::Gone:
        return QStringLiteral("gone");
    case AnalyzerState::Stopped:
        return QStringLiteral("stopped");
    }
    return {};
}

QString LoadAnalyzerStatus(Database& db, const QString& analyzerId, QList<AnalyzerStatus>* rows)
{
    SqlResult result =
        analyzerId.isEmpty()
            ? db.run(QStringLiteral("SELECT %1 FROM analyzer_status ORDER BY analyzer_id").arg(Columns))
            : db.run(QStringLiteral("SELECT %1 FROM analyzer_status WHERE analyzer_id = ?").arg(Columns),
                     {analyzerId});
    if (!result.ok())
        return result.error();
    while (result.next()) {
        AnalyzerStatus row;
        row.analyzerId = result.value(0).toString();
        row.analyzerType = result.value(1).toString();
        row.hostName = result.value(2).toString();
        row.processId = result.value(3).toLongLong();
        row.version = result.value(4).toString();
        row.startedAt = DateTimeOf(result.value(5));
        row.lastHeartbeat = DateTimeOf(result.value(6));
        row.stoppedAt = DateTimeOf(result.value(7));
        row.analyzerLink = result.value(8).toString();
        row.limsLink = result.value(9).toString();
        row.lastReceived = result.value(10).toString();
        row.lastReceivedAt = DateTimeOf(result.value(11));
        row.lastSent = result.value(12).toString();
        row.lastSentAt = DateTimeOf(result.value(13));
        row.spoolWaiting = result.value(14).toInt();
        row.quarantined = result.value(15).toInt();
        row.lastError = result.value(16).toString();
        row.lastErrorAt = DateTimeOf(result.value(17));
        rows->append(row);
    }
    return {};
}

QString StatusTable(const QList<AnalyzerStatus>& rows, const QDateTime& now, bool colour)
{
    enum Column
    {
        Analyzer,
        Type,
        State,
        Lims,
        Host,
        Pid,
        Version,
        Heartbeat,
        Received,
        Spool,
        Quarantine,
        LastError,
        ColumnCount
    };
    const QStringList header{
        QStringLiteral("analyzer"), QStringLiteral("type"),       QStringLiteral("state"),
        QStringLiteral("LIMS"),     QStringLiteral("host"),       QStringLiteral("pid"),
        QStringLiteral("version"),  QStringLiteral("heartbeat"),  QStringLiteral("last frame"),
        QStringLiteral("spool"),    QStringLiteral("quarantine"), QStringLiteral("last error")};
    const QList<Column> rightAligned{Pid, Heartbeat, Received, Spool, Quarantine};

    QList<QStringList> cells{header};
    QList<AnalyzerState> states;
    for (const AnalyzerStatus& row : rows) {
        const AnalyzerState state = StateOf(row, now);
        states << state;
        const QString error =
            row.lastError.isEmpty()
                ? QString()
                : QStringLiteral("%1 (%2 ago)").arg(OneLine(row.lastError), Age(row.lastErrorAt, now));
        QStringList line{row.analyzerId,
                         row.analyzerType,
                         StateName(state),
                         row.limsLink == QLatin1String("none") ? QStringLiteral("-") : row.limsLink,
                         row.hostName,
                         QString::number(row.processId),
                         row.version,
                         Age(row.lastHeartbeat, now),
                         Age(row.lastReceivedAt, now),
                         QString::number(row.spoolWaiting),
                         QString::number(row.quarantined),
                         error};
        for (QString& cell : line)
            cell = Printable(cell);
        cells << line;
    }
    QList<qsizetype> widths(ColumnCount, 0);
    for (const QStringList& line : std::as_const(cells)) {
        for (int c = 0; c < ColumnCount; ++c)
            widths[c] = qMax(widths[c], line.at(c).size());
    }
    QStringList lines;
    for (qsizetype r = 0; r < cells.size(); ++r) {
        QStringList padded;
        for (int c = 0; c < ColumnCount; ++c) {
            const QString& cell = cells.at(r).at(c);
            QString text = c == LastError                     ? cell
                           : rightAligned.contains(Column(c)) ? cell.rightJustified(widths[c])
                                                              : cell.leftJustified(widths[c]);
            // Coloured after padding, so that the escape sequences take no column width.
            if (colour && r > 0 && c == State)
                text = ColourOf(states.at(r - 1)) + text + QStringLiteral("\x1b[0m");
            padded << text;
        }
        QString line = padded.join(QStringLiteral("  "));
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QByteArray StatusJson(const QList<AnalyzerStatus>& rows, const QDateTime& now)
{
    QJsonArray array;
    for (const AnalyzerStatus& row : rows) {
        array.append(QJsonObject{
            {QStringLiteral("analyzer_id"), row.analyzerId},
            {QStringLiteral("analyzer_type"), row.analyzerType},
            {QStringLiteral("state"), StateName(StateOf(row, now))},
            {QStringLiteral("host_name"), row.hostName},
            {QStringLiteral("process_id"), row.processId},
            {QStringLiteral("version"), row.version},
            {QStringLiteral("started_at"), JsonTime(row.startedAt)},
            {QStringLiteral("last_heartbeat"), JsonTime(row.lastHeartbeat)},
            {QStringLiteral("stopped_at"), JsonTime(row.stoppedAt)},
            {QStringLiteral("analyzer_link"), row.analyzerLink},
            {QStringLiteral("lims_link"), row.limsLink},
            {QStringLiteral("last_received"), JsonText(row.lastReceived)},
            {QStringLiteral("last_received_at"), JsonTime(row.lastReceivedAt)},
            {QStringLiteral("last_sent"), JsonText(row.lastSent)},
            {QStringLiteral("last_sent_at"), JsonTime(row.lastSentAt)},
            {QStringLiteral("spool_waiting"), row.spoolWaiting},
            {QStringLiteral("quarantined"), row.quarantined},
            {QStringLiteral("last_error"), JsonText(row.lastError)},
            {QStringLiteral("last_error_at"), JsonTime(row.lastErrorAt)},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

int StatusExitCode(const QList<AnalyzerStatus>& rows, const QDateTime& now)
{
    // No row at all is no analyzer online: a check against the wrong database must not pass.
    if (rows.isEmpty())
        return 1;
    for (const AnalyzerStatus& row : rows) {
        if (StateOf(row, now) != AnalyzerState::Online)
            return 1;
    }
    return 0;
}

int RunStatusReport(const LaunchOptions& options, const QString& commandLine, const QString& applicationDir,
                    const QDateTime& now)
{
    const auto fail = [](int code, const QString& error) {
        ReportLine(Severity::Error, QStringLiteral("quorlix: ") + error);
        return code;
    };
    Database db(QStringLiteral("quorlix-status"));
    const ConfiguredDatabase configured = OpenConfiguredDatabase(db, options, commandLine, applicationDir);
    if (!configured.ok())
        return fail(configured.exitCode, configured.error);
    const Settings& settings = configured.settings;
    const DatabaseTarget& target = configured.target;
    if (!db.tableExists(QStringLiteral("analyzer_status")))
        return fail(ExitDatabase, QStringLiteral("the %1 has no table analyzer_status: start an interface "
                                                 "of this release once or run quorlix --init-db")
                                      .arg(target.description));
    QList<AnalyzerStatus> rows;
    if (const QString error = LoadAnalyzerStatus(db, settings.AnalyzerId, &rows); !error.isEmpty())
        return fail(ExitDatabase, QStringLiteral("cannot read analyzer_status: ") + error);

    if (options.json) {
        const QByteArray json = StatusJson(rows, now);
        std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
        std::fflush(stdout);
    } else {
        PrintLine(stdout, StatusTable(rows, now, StdoutIsTerminal()));
    }
    if (rows.isEmpty())
        ReportLine(
            Severity::Notice,
            settings.AnalyzerId.isEmpty()
                ? QStringLiteral("quorlix: no analyzer has a status row in the %1").arg(target.description)
                : QStringLiteral("quorlix: %1 has no status row in the %2")
                      .arg(settings.AnalyzerId, target.description));
    return StatusExitCode(rows, now);
}

} // namespace Quorlix
