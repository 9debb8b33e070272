#include "CheckConfig.h"

#include "AnalyzerChoice.h"
#include "Startup.h"
#include "comm/LinePort.h"
#include "comm/PortConfig.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/CommandLine.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/SchemaInit.h"
#include "core/Timer.h"
#include "store/SpoolFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace Quorlix {

namespace {

class Checks
{
public:
    explicit Checks(QStringList* lines) : m_lines(lines) {}

    void ok(const QString& text) { *m_lines << QStringLiteral("ok: ") + OneLine(text); }
    void fail(int exitCode, const QString& text)
    {
        *m_lines << QStringLiteral("FAILED: ") + OneLine(text);
        if (m_exitCode == ExitOk)
            m_exitCode = exitCode;
    }
    int exitCode() const { return m_exitCode; }

private:
    QStringList* m_lines;
    int m_exitCode = ExitOk;
};

// The tables the schema of the database's dialect creates.
QStringList SchemaTables(const Database& db)
{
    static const QRegularExpression create(QStringLiteral("CREATE TABLE (?:IF NOT EXISTS )?\\[?(\\w+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QStringList tables;
    for (auto it = create.globalMatch(SchemaScript(db)); it.hasNext();)
        tables << it.next().captured(1);
    tables.removeDuplicates();
    return tables;
}

void CheckDriver(Checks& checks, const Settings& s)
{
    const AnalyzerChoice choice = ChooseAnalyzer(s);
    if (!choice.error.isEmpty()) {
        checks.fail(ExitConfiguration, choice.error);
        return;
    }
    checks.ok(
        QStringLiteral("analyzer %1, type %2%3")
            .arg(s.AnalyzerId, s.AnalyzerType,
                 choice.entry.isEmpty() ? QString() : QStringLiteral(" (served by %1)").arg(choice.entry)));
}

// Records of this analyzer that wait for the database, and those it refused.
void CheckSpool(Checks& checks, const Settings& s)
{
    const SpoolFiles files(SpoolFiles::folderBeside(s.ComLogPath), s.AnalyzerId);
    checks.ok(QStringLiteral("spool %1: %2 record(s) waiting to be stored")
                  .arg(QDir(files.folder()).absolutePath())
                  .arg(files.waitingCount()));
    const int refused = files.quarantinedCount();
    checks.ok(QStringLiteral("quarantine %1: %2 record(s) refused by the database%3")
                  .arg(QDir(files.badFolder()).absolutePath())
                  .arg(refused)
                  .arg(refused > 0 ? QStringLiteral(" (moved back into the spool, they are stored again)")
                                   : QString()));
}

void CheckPort(Checks& checks, const QString& role, int number, const Settings& s)
{
    SystemClock clock;
    const QLocale locale;
    CommLog silent(clock, locale);
    EventLoopTimers timers;
    LinePort port(role, silent, timers);
    const PortConfig config = ResolvePort(number, s.ComDevices);
    if (const QString error = port.open(config); !error.isEmpty()) {
        checks.fail(ExitPort, error);
        return;
    }
    port.close();
    checks.ok(QStringLiteral("%1 %2 opened and closed").arg(role, config.describe()));
}

} // namespace

int CheckConfig(const LaunchOptions& options, const QString& commandLine, const QString& applicationDir,
                QStringList* lines)
{
    Checks checks(lines);
    Settings s;
    if (const QString error = ParseCommandLine(commandLine, s); !error.isEmpty()) {
        checks.fail(ExitConfiguration, error);
        return checks.exitCode();
    }
    const QString iniPath = FindIniFile(options.configPath, applicationDir);
    if (!QFileInfo::exists(iniPath)) {
        checks.fail(ExitConfiguration, QStringLiteral("configuration file %1 does not exist").arg(iniPath));
        return checks.exitCode();
    }
    if (const QString error = ReadIniFile(iniPath, s); !error.isEmpty()) {
        checks.fail(ExitConfiguration, error);
        return checks.exitCode();
    }
    checks.ok(QStringLiteral("configuration file %1").arg(iniPath));
    CheckDriver(checks, s);

    const QFileInfo logs(s.ComLogPath.isEmpty() ? QDir::currentPath() : s.ComLogPath);
    if (!logs.isDir() || !logs.isWritable())
        checks.fail(ExitConfiguration,
                    QStringLiteral("log folder %1 is missing or not writable").arg(logs.filePath()));
    else
        checks.ok(QStringLiteral("log folder %1").arg(logs.absoluteFilePath()));
    CheckSpool(checks, s);

    Database db(QStringLiteral("check-config"));
    const DatabaseTarget target = DescribeDatabase(s, QFileInfo(iniPath).absolutePath());
    const bool missingFile =
        target.qtDriver == QLatin1String("QSQLITE") && !QFileInfo::exists(target.databaseName);
    if (!target.error.isEmpty()) {
        checks.fail(ExitConfiguration, target.error);
    } else if (missingFile) {
        // Opening would create an empty file: say that there is none.
        checks.fail(ExitDatabase,
                    QStringLiteral("the %1 does not exist (see --init-db)").arg(target.description));
    } else if (const QString error = db.open(target); !error.isEmpty()) {
        checks.fail(ExitDatabase, error);
    } else {
        checks.ok(QStringLiteral("database %1").arg(target.description));
        QStringList missing;
        const QStringList tables = SchemaTables(db);
        for (const QString& table : tables) {
            if (!db.tableExists(table))
                missing << table;
        }
        if (!missing.isEmpty())
            checks.fail(ExitDatabase, QStringLiteral("tables missing in the database: %1 (see --init-db)")
                                          .arg(missing.join(QStringLiteral(", "))));
        else
            checks.ok(QStringLiteral("all %1 tables present").arg(tables.size()));
        db.close();
    }

    if (s.hasLimsSide())
        CheckPort(checks, QStringLiteral("LIMS port"), *s.OutComPort, s);
    if (s.AnalyzerComPort.has_value())
        CheckPort(checks, QStringLiteral("analyzer port"), *s.AnalyzerComPort, s);
    return checks.exitCode();
}

} // namespace Quorlix
