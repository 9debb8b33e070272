#include "CheckConfig.h"

#include "AnalyzerChoice.h"
#include "Drivers.h"
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
#include "drivers/DriverRegistry.h"
#include "store/SpoolFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace Quorlix {

namespace {

class Checks final : public ConfigChecks
{
public:
    explicit Checks(QStringList* lines) : m_lines(lines) {}

    void ok(const QString& text) override { *m_lines << QStringLiteral("ok: ") + OneLine(text); }
    void fail(int exitCode, const QString& text) override
    {
        *m_lines << QStringLiteral("FAILED: ") + OneLine(text);
        if (m_exitCode == ExitOk)
            m_exitCode = exitCode;
    }
    void database(const QString& connection, const DatabaseTarget& target, const QString& file,
                  bool mgc240Schema) override;
    int exitCode() const { return m_exitCode; }

private:
    QStringList* m_lines;
    int m_exitCode = ExitOk;
};

// The tables the schema of the database's dialect creates (of the MGC240's own database when mgc240).
QStringList SchemaTables(const Database& db, bool mgc240 = false)
{
    static const QRegularExpression create(QStringLiteral("CREATE TABLE (?:IF NOT EXISTS )?\\[?(\\w+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    QStringList tables;
    for (auto it = create.globalMatch(SchemaScript(db, mgc240)); it.hasNext();)
        tables << it.next().captured(1);
    tables.removeDuplicates();
    return tables;
}

// Tables the interface creates itself at start-up when a database of an earlier release lacks them.
bool CreatedAtStartup(const QString& table)
{
    static const QStringList tables{QStringLiteral("control_targets"), QStringLiteral("control_rule_events"),
                                    QStringLiteral("qc_holds"), QStringLiteral("analyzer_status")};
    return tables.contains(table);
}

void CheckDriver(Checks& checks, const Settings& s, const DriverRegistry& drivers)
{
    const AnalyzerChoice choice = ChooseAnalyzer(s, drivers);
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

// Opens a database kept in `file` (empty for a server) and finds its tables; `hint` tells how to
// make missing ones.
void CheckDatabase(Checks& checks, const QString& name, const DatabaseTarget& target, const QString& file,
                   bool mgc240, const QString& hint)
{
    if (!target.error.isEmpty()) {
        checks.fail(ExitConfiguration, target.error);
        return;
    }
    // Opening a SQLite or Access file that is not there would create an empty one, or fail with an
    // error that does not name the file: say that there is none.
    if (!file.isEmpty() && !QFileInfo::exists(file)) {
        checks.fail(ExitDatabase, QStringLiteral("the %1 does not exist%2").arg(target.description, hint));
        return;
    }
    Database db(name);
    if (const QString error = db.open(target); !error.isEmpty()) {
        checks.fail(ExitDatabase, error);
        return;
    }
    checks.ok(QStringLiteral("database %1").arg(target.description));
    QStringList missing;
    QStringList createdAtStart;
    const QStringList tables = SchemaTables(db, mgc240);
    for (const QString& table : tables) {
        if (!db.tableExists(table))
            (!mgc240 && CreatedAtStartup(table) ? createdAtStart : missing) << table;
    }
    if (!missing.isEmpty())
        checks.fail(ExitDatabase,
                    QStringLiteral("tables missing in the %1: %2%3")
                        .arg(mgc240 ? QStringLiteral("MGC240 database") : QStringLiteral("database"),
                             missing.join(QStringLiteral(", ")), hint));
    else if (!createdAtStart.isEmpty())
        // The start-up adds them: a database of an earlier release is not a failure.
        checks.ok(QStringLiteral("%1 of %2 tables present; the interface creates %3 at its start")
                      .arg(tables.size() - createdAtStart.size())
                      .arg(tables.size())
                      .arg(createdAtStart.join(QStringLiteral(", "))));
    else
        checks.ok(QStringLiteral("all %1 tables present").arg(tables.size()));
    db.close();
}

void Checks::database(const QString& connection, const DatabaseTarget& target, const QString& file,
                      bool mgc240Schema)
{
    CheckDatabase(*this, connection, target, file, mgc240Schema, QString());
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
                QStringList* lines, const DriverRegistry& drivers)
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
    CheckDriver(checks, s, drivers);

    const QFileInfo logs(s.ComLogPath.isEmpty() ? QDir::currentPath() : s.ComLogPath);
    if (!logs.isDir() || !logs.isWritable())
        checks.fail(ExitConfiguration,
                    QStringLiteral("log folder %1 is missing or not writable").arg(logs.filePath()));
    else
        checks.ok(QStringLiteral("log folder %1").arg(logs.absoluteFilePath()));
    CheckSpool(checks, s);

    const DatabaseTarget lab = DescribeDatabase(s, QFileInfo(iniPath).absolutePath());
    CheckDatabase(checks, QStringLiteral("check-config"), lab,
                  lab.qtDriver == QLatin1String("QSQLITE") ? lab.databaseName : QString(), false,
                  QStringLiteral(" (see --init-db)"));
    if (const AnalyzerType* type = drivers.type(s.AnalyzerType); type && type->checks)
        type->checks(checks, s);

    if (s.hasLimsSide())
        CheckPort(checks, QStringLiteral("LIMS port"), *s.OutComPort, s);
    if (s.AnalyzerComPort.has_value())
        CheckPort(checks, QStringLiteral("analyzer port"), *s.AnalyzerComPort, s);
    return checks.exitCode();
}

} // namespace Quorlix
