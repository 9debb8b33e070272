#include "CommandLine.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace Quorlix {

namespace {

// A report day as a supervisor writes it: 2026-12-01, a day the calendar has.
QDate ReportDay(const QString& text)
{
    static const QRegularExpression day(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    return day.match(text).hasMatch() ? QDate::fromString(text, QStringLiteral("yyyy-MM-dd")) : QDate();
}

// What --qc-report and its options need besides each option's own value.
QString QcReportError(const LaunchOptions& options)
{
    if (!options.qcReport) {
        if (options.qcFrom.isValid() || options.qcTo.isValid() || !options.qcOut.isEmpty())
            return QStringLiteral("--from, --to and --out are used together with --qc-report");
        return {};
    }
    if (options.headless || options.initDb || options.checkConfig)
        return QStringLiteral("--qc-report is used without --headless, --init-db and --check-config");
    if (!options.qcFrom.isValid() || !options.qcTo.isValid())
        return QStringLiteral("--qc-report needs --from DATE and --to DATE");
    if (options.qcFrom > options.qcTo)
        return QStringLiteral("--from %1 is after --to %2")
            .arg(options.qcFrom.toString(Qt::ISODate), options.qcTo.toString(Qt::ISODate));
    const QString out = options.qcOut.toLower();
    if (!out.isEmpty() && !out.endsWith(QLatin1String(".csv")) && !out.endsWith(QLatin1String(".pdf")))
        return QStringLiteral("--out %1: the report is written as FILE.csv or FILE.pdf").arg(options.qcOut);
    return {};
}

// --status is a command of its own; --json only changes how it prints.
QString StatusError(const LaunchOptions& options)
{
    if (!options.status)
        return options.json ? QStringLiteral("--json is used together with --status") : QString();
    if (options.headless || options.initDb || options.checkConfig || options.qcReport)
        return QStringLiteral(
            "--status is used without --headless, --init-db, --check-config and --qc-report");
    return {};
}

} // namespace

LaunchOptions TakeLaunchOptions(QStringList& args)
{
    LaunchOptions options;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--config")) {
            if (i + 1 >= args.size()) {
                options.error = QStringLiteral("--config needs a file name");
                break;
            }
            options.configPath = args.at(++i);
        } else if (arg.startsWith(QLatin1String("--config="))) {
            options.configPath = arg.mid(9);
        } else if (arg == QLatin1String("--clock-start")) {
            options.clockStart = QDateTime::fromString(args.value(++i), Qt::ISODate);
            if (!options.clockStart.isValid()) {
                options.error = QStringLiteral("--clock-start needs a local time like 2026-12-07T13:59:30");
                break;
            }
        } else if (arg == QLatin1String("--qc-report")) {
            options.qcReport = true;
        } else if (arg == QLatin1String("--from") || arg == QLatin1String("--to")) {
            const QDate day = ReportDay(args.value(++i));
            if (!day.isValid()) {
                options.error = QStringLiteral("%1 needs a day like 2026-12-01").arg(arg);
                break;
            }
            (arg == QLatin1String("--from") ? options.qcFrom : options.qcTo) = day;
        } else if (arg == QLatin1String("--out")) {
            if (i + 1 >= args.size() || args.at(i + 1).isEmpty()) {
                options.error = QStringLiteral("--out needs a file name");
                break;
            }
            options.qcOut = args.at(++i);
        } else if (arg == QLatin1String("--status")) {
            options.status = true;
        } else if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (arg == QLatin1String("--headless")) {
            options.headless = true;
        } else if (arg == QLatin1String("--init-db")) {
            options.initDb = true;
        } else if (arg == QLatin1String("--check-config")) {
            options.checkConfig = true;
        } else if (arg == QLatin1String("--demo-data")) {
            options.demoData = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            options.error = QStringLiteral("unknown option %1 (see --help)").arg(arg);
            break;
        } else {
            rest << arg;
        }
    }
    if (options.demoData && !options.initDb && options.error.isEmpty())
        options.error = QStringLiteral("--demo-data is used together with --init-db");
    if (options.error.isEmpty())
        options.error = QcReportError(options);
    if (options.error.isEmpty())
        options.error = StatusError(options);
    args = rest;
    return options;
}

void SplitKeyValue(const QString& text, QString& key, QString& value)
{
    key.clear();
    value.clear();
    bool inValue = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('=')) {
            inValue = true;
            continue;
        }
        (inValue ? value : key).append(c);
    }
}

QString OneLine(const QString& text)
{
    QStringList parts;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (const QString part = line.simplified(); !part.isEmpty())
            parts << part;
    }
    return parts.join(QStringLiteral("; "));
}

QString RemoveBlanks(QString text)
{
    text.remove(QLatin1Char(' '));
    return text;
}

double LeadingNumber(const QString& text)
{
    static const QRegularExpression leading(
        QStringLiteral("^\\s*([+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?)"));
    const auto match = leading.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : 0.0;
}

namespace {

bool StartsWithNumber(const QString& text)
{
    static const QRegularExpression leading(QStringLiteral("^\\s*[+-]?(\\d|\\.\\d)"));
    return leading.match(text).hasMatch();
}

int PortNumber(const QString& value)
{
    const double number = LeadingNumber(value);
    if (!std::isfinite(number) || std::fabs(number) > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(std::lround(number));
}

// A port switch is read like the ini's numbers ("3 " is 3), but a value without any number is a typo
// that would otherwise open port 0.
QString PortNumberError(const QString& key, const QString& value)
{
    return QStringLiteral("/%1=%2 is not a port number (the N of a comN= line)").arg(key, value.trimmed());
}

} // namespace

QString ParseCommandLine(const QString& commandLine, Settings& settings)
{
    const QStringList pieces = commandLine.split(QLatin1Char('/'));
    QString error;
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        QString key;
        QString value;
        SplitKeyValue(pieces.at(i), key, value);
        if (key == QLatin1String("id")) {
            settings.AnalyzerId = RemoveBlanks(value);
        } else if (key == QLatin1String("type")) {
            settings.AnalyzerType = RemoveBlanks(value);
        } else if (key == QLatin1String("com")) {
            if (!StartsWithNumber(value))
                error = PortNumberError(key, value);
            settings.AnalyzerComPort = PortNumber(value);
        } else if (key == QLatin1String("outtype")) {
            settings.OutType = RemoveBlanks(value);
        } else if (key == QLatin1String("outcom")) {
            if (!StartsWithNumber(value))
                error = PortNumberError(key, value);
            settings.OutComPort = PortNumber(value);
        } else if (key == QLatin1String("outid")) {
            settings.OutId = RemoveBlanks(value);
        } else if (key == QLatin1String("autoval")) {
            settings.AutoVal = RemoveBlanks(value);
        } else if (key == QLatin1String("test")) {
            // The parameter a manual-input station records: a number that fits a 16-bit id.
            const QString digits = RemoveBlanks(value);
            bool ok = false;
            const int number = digits.toInt(&ok);
            if (!ok || number < std::numeric_limits<qint16>::min() ||
                number > std::numeric_limits<qint16>::max()) {
                error = QStringLiteral("/test=%1 is not a parameter number (a whole number up to 32767)")
                            .arg(value);
                settings.InputParameterId.reset();
            } else {
                settings.InputParameterId = static_cast<qint16>(number);
            }
        }
    }
    return error;
}

QString UsageText()
{
    return QStringLiteral(
        "Usage: quorlix [--config FILE] [--headless | --check-config | --init-db [--demo-data]]\n"
        "               /id=NAME /type=TYPE\n"
        "               [/com=N] [/outtype=TYPE /outcom=N /outid=NAME] [/autoval=1|2] [/test=ID]\n"
        "       quorlix [--config FILE] --qc-report --from DATE --to DATE [/id=NAME] [--out FILE]\n"
        "       quorlix [--config FILE] --status [--json] [/id=NAME]\n"
        "\n"
        "Connects one laboratory analyzer to the laboratory database.\n"
        "\n"
        "  --config FILE   the quorlix.ini to use (default: beside the program, then /etc/quorlix)\n"
        "  --headless      run without windows or tray icon (as a service); stop with SIGTERM\n"
        "  --init-db       create the missing tables in the configured database and exit\n"
        "  --demo-data     with --init-db: also load a small demonstration data set\n"
        "  --check-config  check the configuration, the database, its tables and the ports, one line\n"
        "                  each, and exit (0, or the exit code the start-up would end with)\n"
        "  --qc-report     write the quality-control report of the days --from to --to (yyyy-MM-dd,\n"
        "                  both included) of analyzer /id (without /id: of every analyzer) and exit:\n"
        "                  CSV on stdout, or --out FILE.csv, or --out FILE.pdf (the charts; only\n"
        "                  the program with windows draws them). Exit 0, 2 for a bad option, 3 when\n"
        "                  the database cannot be read\n"
        "  --status        list every analyzer of the database from its status row (/id: that one)\n"
        "                  with its state: online, offline (its line is silent), gone (no heartbeat\n"
        "                  for 9 s) or stopped. Exit 0 when all are online, 1 when any is not, 3 when\n"
        "                  the database or its status table cannot be read\n"
        "  --json          with --status: print the rows as a JSON array\n"
        "  --clock-start T start the program's clock at local time T (2026-12-07T13:59:30), for trying\n"
        "                  day and shift changes; it then runs in real time\n"
        "  --help          show this text\n"
        "  --version       show the version\n"
        "\n"
        "Switches (case-sensitive): /id analyzer name, /type H911 H902 H912 OAU400 OAU600 OAU680 IND\n"
        "DSX ACT MGC MGC_ONLINE INPUT, /com analyzer port number, /outtype invH912 invOAU400 invOAU600,\n"
        "/outcom LIMS port number, /outid LIMS-side name, /autoval 1 or 2, /test parameter id (INPUT).\n");
}

} // namespace Quorlix
