#include "QcReport.h"
#include "ConfiguredDatabase.h"

#include "Launch.h"
#include "Startup.h"
#include "core/Database.h"
#include "core/Settings.h"

#include <QLocale>
#include <QSaveFile>

#include <cstdio>

namespace Quorlix {

namespace {

// A field as RFC 4180 wants it: quoted when it holds a separator, a quote or a line break. A text
// that a spreadsheet would take for a formula (an id starting with "=", "+", "-" or "@") is written
// with a leading apostrophe, so that opening the report never runs what an analyzer sent.
QString CsvText(const QString& text)
{
    QString field = text;
    if (!field.isEmpty() && QStringLiteral("=+-@").contains(field.front()))
        field.prepend(QLatin1Char('\''));
    if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
        field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r'))) {
        field.replace(QLatin1String("\""), QLatin1String("\"\""));
        field = QLatin1Char('"') + field + QLatin1Char('"');
    }
    return field;
}

QString Number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// A computed target to the digits that mean something.
QString Target(double value)
{
    return QString::number(value, 'g', 6);
}

QString WriteFile(const QString& file, const QByteArray& bytes)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
    return {};
}

} // namespace

QString QcReportCsv(const QcPeriod& period)
{
    const QString end = QStringLiteral("\r\n");
    QString csv = QStringLiteral("analyzer,control,parameter,time,value,z,mean,sd,target source,rules") + end;
    for (const QcSeries& series : period.series) {
        const bool judged = series.targets.usable();
        for (const QcPoint& point : series.points) {
            const QStringList fields{
                CsvText(series.analyzerId),
                CsvText(series.controlId),
                QString::number(series.parameterId),
                point.stamp.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                Number(point.value),
                judged ? QString::number(point.zScore, 'f', 2) : QString(),
                judged ? Target(series.targets.mean) : QString(),
                judged ? Target(series.targets.sd) : QString(),
                TargetSourceName(series.targets.source),
                point.rules.join(QLatin1Char(' ')),
            };
            csv += fields.join(QLatin1Char(',')) + end;
        }
    }
    return csv;
}

int RunQcReport(const LaunchOptions& options, const QString& commandLine, const QString& applicationDir,
                const QcPdfWriter& writePdf)
{
    const auto fail = [](int code, const QString& error) {
        ReportLine(Severity::Error, QStringLiteral("quorlix: ") + error);
        return code;
    };
    const bool pdf = options.qcOut.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    if (pdf && !writePdf)
        return fail(ExitConfiguration,
                    QStringLiteral("this build has no windows to draw charts with; write the report as "
                                   "--out FILE.csv or run the program with windows for a PDF"));
    Database db(QStringLiteral("quorlix-qc-report"));
    const ConfiguredDatabase configured = OpenConfiguredDatabase(db, options, commandLine, applicationDir);
    if (!configured.ok())
        return fail(configured.exitCode, configured.error);
    const Settings& settings = configured.settings;

    // A site upgraded without --init-db gets them at the interface's next start.
    for (const char* table : {"control_targets", "control_rule_events"}) {
        if (!db.tableExists(QString::fromLatin1(table)))
            return fail(ExitDatabase,
                        QStringLiteral("the database has no table %1: start the interface once or "
                                       "run quorlix --init-db to create the quality-control tables")
                            .arg(QString::fromLatin1(table)));
    }
    QcPeriod period;
    const DbOutcome read =
        LoadQcPeriod(db, options.qcFrom.startOfDay(), QDateTime(options.qcTo, QTime(23, 59, 59)),
                     settings.AnalyzerId, &period);
    if (!read.ok())
        return fail(ExitDatabase, QStringLiteral("cannot read the control results: ") + read.error);
    if (period.truncated)
        ReportLine(Severity::Notice,
                   QStringLiteral("quorlix: the period holds more than %1 control results or "
                                  "rule events; the report stops there (choose fewer days)")
                       .arg(MaxQcPeriodRows));

    if (pdf) {
        if (const QString error = writePdf(period, options.qcOut); !error.isEmpty())
            return fail(ExitConfiguration, error);
        return ExitOk;
    }
    const QByteArray csv = QcReportCsv(period).toUtf8();
    if (options.qcOut.isEmpty()) {
        if (std::fwrite(csv.constData(), 1, static_cast<size_t>(csv.size()), stdout) !=
                static_cast<size_t>(csv.size()) ||
            std::fflush(stdout) != 0)
            return fail(ExitConfiguration, QStringLiteral("cannot write the report to stdout"));
        return ExitOk;
    }
    if (const QString error = WriteFile(options.qcOut, csv); !error.isEmpty())
        return fail(ExitConfiguration, error);
    return ExitOk;
}

} // namespace Quorlix
