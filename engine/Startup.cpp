#include "Startup.h"

#include "AnalyzerChoice.h"
#include "Engine.h"
#include "StartupUi.h"
#include "comm/PortConfig.h"
#include "core/CommandLine.h"
#include "core/IniFile.h"
#include "core/Stamps.h"
#include "drivers/DriverRegistry.h"
#include "store/qc/QcTables.h"
#include "store/status/StatusTable.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

namespace Quorlix {

QString WindowCaption(const QString& analyzerId, int port)
{
    return analyzerId + QLatin1String(" at serial port: com") +
           QString::number(port).remove(QLatin1Char(' '));
}

QString IconPath(const QString& appPath, const QString& iconFile)
{
    return appPath + QLatin1String("icons/") + iconFile;
}

bool EnsurePatientOne(Engine& engine)
{
    Database& db = engine.database();
    SqlResult existing = db.run(QStringLiteral("SELECT p_id FROM patients WHERE p_id = 1"));
    if (!existing.ok())
        return false;
    if (existing.next())
        return true;
    const SqlDialect& d = db.dialect();
    if (!db.transaction())
        return false;
    bool ok = true;
    for (const QString& sql : d.explicitIdentityBefore(QStringLiteral("patients")))
        ok = ok && db.run(sql).ok();
    ok = ok && db.run(QStringLiteral("INSERT INTO patients (p_id, si_id, entry_date) VALUES (1, 'NA', %1)")
                          .arg(d.now()))
                   .ok();
    for (const QString& sql : d.explicitIdentityAfter(QStringLiteral("patients"), QStringLiteral("p_id")))
        ok = ok && db.run(sql).ok();
    ok = ok &&
         db.run(QStringLiteral("INSERT INTO quorlix_log (time_stamp, log_key, log_val) VALUES (%1, ?, ?)")
                    .arg(d.now()),
                {QStringLiteral("Patient 1 insert"), QStringLiteral("VANDREL_COM")})
             .ok();
    if (!ok) {
        db.rollback();
        return false;
    }
    return db.commit();
}

namespace {

StartupOutcome Fail(Engine& engine, int code, const QString& message)
{
    if (engine.log().isOpen())
        engine.log().monitor(message);
    return {code, message};
}

} // namespace

StartupOutcome RunStartup(Engine& engine, StartupUi& ui, const LaunchOptions& options,
                          const QString& commandLine, const QString& applicationDir)
{
    Settings& s = engine.settings();
    s.ComputerName = QSysInfo::machineHostName();

    if (const QString error = ParseCommandLine(commandLine, s); !error.isEmpty())
        return {ExitConfiguration, error};
    if (const QString error = ChooseAnalyzer(s, engine.drivers()).error; !error.isEmpty())
        return {ExitConfiguration, error};
    const AnalyzerType& type = *engine.drivers().type(s.AnalyzerType);
    ui.showSplash();

    const QString iniPath = FindIniFile(options.configPath, applicationDir);
    ui.setSplashStatus(QStringLiteral("Loading ini ... "));
    if (const QString error = ReadIniFile(iniPath, s); !error.isEmpty())
        return {ExitConfiguration, error};
    if (s.AppPath.isEmpty())
        s.AppPath = WithTrailingSeparator(applicationDir);

    ui.setWindowCaption(WindowCaption(s.AnalyzerId, s.AnalyzerComPort.value_or(0)));
    QString warning;
    const QString icon = IconPath(s.AppPath, type.iconFile());
    if (!ui.setWindowIcon(icon))
        warning = QStringLiteral("the icon %1 is missing; the default icon is shown").arg(icon);
    ui.setSplashTitle(s.AnalyzerId + QLatin1String(" - Communication loading ... "));
    ui.setSplashStatus(QStringLiteral("Initializing ... "));
    ui.showTrayIcon();

    ui.setSplashStatus(QStringLiteral("Connecting 2 DB ... "));
    const QString iniDir = QFileInfo(iniPath).absolutePath();
    const DatabaseTarget target = DescribeDatabase(s, iniDir);
    if (!target.error.isEmpty())
        return {ExitConfiguration, target.error};
    if (const QString error = engine.database().open(target); !error.isEmpty())
        return {ExitDatabase, error};

    if (s.hasLimsSide()) {
        if (const QString error = engine.limsPort().open(ResolvePort(*s.OutComPort, s.ComDevices));
            !error.isEmpty())
            return {ExitPort, error};
    }
    if (s.AnalyzerComPort.has_value()) {
        if (const QString error = engine.analyzerPort().open(ResolvePort(*s.AnalyzerComPort, s.ComDevices));
            !error.isEmpty())
            return {ExitPort, error};
    }

    ui.setSplashStatus(QStringLiteral("opening Logfile ... "));
    if (const QString error = engine.dayShift().OpenDailyLog(); !error.isEmpty())
        return {ExitConfiguration, error};
    for (const QString& line : engine.dayShift().StartupHeader(false))
        engine.log().writeFileLine(line);
    if (!warning.isEmpty())
        engine.log().monitor(warning);
    if (!s.FirstShift.isEmpty() && !ParseLocaleDateTime(s.FirstShift, engine.locale()).isValid())
        engine.log().monitor(
            QStringLiteral("firstshift \"%1\" cannot be read as a time; shifts are counted from 00:00")
                .arg(s.FirstShift));

    if (!engine.dayShift().InsertLogRow(QStringLiteral("log_change")))
        return Fail(
            engine, ExitDatabase,
            QStringLiteral("cannot write to quorlix_log in the %1 (is the schema created? see --init-db)")
                .arg(engine.database().target().description));
    if (!EnsurePatientOne(engine))
        return Fail(engine, ExitDatabase,
                    QStringLiteral("cannot create the placeholder patient in the %1")
                        .arg(engine.database().target().description));
    // A database set up by an earlier release gets the quality-control tables here; where that is
    // not allowed, controls are stored as before, unjudged.
    if (const QString error = EnsureQcTables(engine.database()); !error.isEmpty()) {
        s.QcTables = false;
        engine.log().monitor(
            QStringLiteral(
                "quality control is off: its tables are missing in the %1 and cannot be created: %2")
                .arg(engine.database().target().description, error.section(QLatin1Char('\n'), 0, 0)));
    }
    // Likewise the status table; without it the instance runs as before, only unseen by --status.
    if (s.Heartbeat) {
        if (const QString error = EnsureStatusTable(engine.database()); !error.isEmpty()) {
            s.Heartbeat = false;
            engine.log().monitor(
                QStringLiteral("no status row: the table analyzer_status is missing in the %1 and cannot "
                               "be created: %2")
                    .arg(engine.database().target().description, error.section(QLatin1Char('\n'), 0, 0)));
        }
    }
    engine.checkDayShift();
    ui.hideSplash();

    if (type.prepare) {
        if (const QString error = type.prepare(engine.database(), s); !error.isEmpty())
            return Fail(engine, ExitDatabase, error);
    }
    // Without a desktop (--headless) an operator window cannot be shown: the type says what is lost.
    if (type.window != OperatorWindow::None && !ui.showOperatorWindow(type.window) &&
        !type.withoutWindowNote.isEmpty())
        engine.log().monitor(type.withoutWindowNote);
    return {};
}

} // namespace Quorlix
