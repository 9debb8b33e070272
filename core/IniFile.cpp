#include "IniFile.h"

#include "CommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace Quorlix {

QString FindIniFile(const QString& configOption, const QString& applicationDir)
{
    if (!configOption.isEmpty())
        return configOption;
    const QString besideProgram = QDir(applicationDir).filePath(QStringLiteral("quorlix.ini"));
    if (QFileInfo::exists(besideProgram))
        return besideProgram;
#ifdef Q_OS_WIN
    return QDir(qEnvironmentVariable("WINDIR", QStringLiteral("C:\\Windows")))
        .filePath(QStringLiteral("quorlix.ini"));
#else
    return QStringLiteral("/etc/quorlix/quorlix.ini");
#endif
}

QString BesideIniFile(const Settings& settings, const QString& path)
{
    if (path.isEmpty() || QFileInfo(path).isAbsolute() || settings.IniPath.isEmpty())
        return path;
    return QDir(QFileInfo(settings.IniPath).absolutePath()).filePath(path);
}

QString WithTrailingSeparator(const QString& folder)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder;
#ifdef Q_OS_WIN
    return folder + QLatin1Char('\\');
#else
    return folder + QLatin1Char('/');
#endif
}

namespace {

// Keys of this platform take the whole text after the first "=", because connection strings,
// passwords and device settings may contain "=" themselves.
bool StoreSiteValue(const QString& key, const QString& raw, Settings& s)
{
    static const QRegularExpression comKey(QStringLiteral("^com([0-9]+)$"));
    if (key == QLatin1String("dbdriver"))
        s.DbDriver = raw;
    else if (key == QLatin1String("dbuser"))
        s.DbUser = raw;
    else if (key == QLatin1String("dbpassword"))
        s.DbPassword = raw;
    else if (key == QLatin1String("odbcdriver"))
        s.OdbcDriver = raw;
    else if (key == QLatin1String("odbc"))
        s.OdbcConnection = raw;
    else if (key == QLatin1String("mgcdriver"))
        s.MgcDriver = raw;
    else if (key == QLatin1String("mgcodbc"))
        s.MgcOdbcConnection = raw;
    else if (const auto match = comKey.match(key); match.hasMatch())
        s.ComDevices.insert(match.captured(1).toInt(), raw);
    else
        return false;
    return true;
}

void StoreIniValue(const QString& key, const QString& value, Settings& s)
{
    if (key == QLatin1String("language"))
        s.Language = value;
    else if (key == QLatin1String("server"))
        s.SqlServer = value;
    else if (key == QLatin1String("database"))
        s.SqlDatabase = value;
    else if (key == QLatin1String("SQLSVR"))
        s.SqlLoginMode = value;
    else if (key == QLatin1String("AccessPath"))
        s.AccessPath = value;
    else if (key == QLatin1String("controlmask"))
        s.ControlMask = value;
    else if (key == QLatin1String("showcalibchart"))
        s.ShowCalibChart = value;
    else if (key == QLatin1String("ISE"))
        s.IseSetting = value;
    else if (key == QLatin1String("AppPath"))
        s.AppPath = WithTrailingSeparator(value);
    else if (key == QLatin1String("ComLogPath") || key == QLatin1String("COMLOGPATH"))
        s.ComLogPath = WithTrailingSeparator(value);
    else if (key == QLatin1String("shiftlen"))
        s.ShiftLength = LeadingNumber(value);
    else if (key == QLatin1String("firstshift"))
        s.FirstShift = value;
    else if (key == QLatin1String("Analyzer"))
        s.Mgc240Name = QStringLiteral("MGC240-") + value;
    else if (key == QLatin1String("IndikoRequest"))
        s.IndikoRequest = value;
    else if (key == QLatin1String("PicSavePath"))
        s.PicSavePath = value;
    else if (key == QLatin1String("ImportPath"))
        s.ImportPath = WithTrailingSeparator(value);
    else if (key == QLatin1String("CustImportPath"))
        s.CustImportPath = WithTrailingSeparator(value);
    else if (key == QLatin1String("ExportPath"))
        s.ExportPath = WithTrailingSeparator(value);
    else if (key == QLatin1String("ImportCycle"))
        s.ImportCycle = value;
    else if (key == QLatin1String("lang_numberformat"))
        s.LangNumberFormat = value;
    else if (key == QLatin1String("au600pause"))
        s.Au600Pause = value;
    else if (key == QLatin1String("QcHold"))
        s.QcHold = value.trimmed() == QLatin1String("1");
    else if (key == QLatin1String("heartbeat"))
        s.Heartbeat = value.trimmed() != QLatin1String("0");
    else if (key == QLatin1String("metrics"))
        s.Metrics = value.trimmed();
}

} // namespace

QString ReadIniFile(const QString& path, Settings& settings)
{
    settings.ShowCalibChart = QStringLiteral("0");
    settings.QcHold = false;
    settings.Heartbeat = true;
    settings.IniPath = path;
    QFile file(path);
    if (!file.exists()) {
        // A missing file is created empty, so that the site finds where its settings belong.
        if (!file.open(QIODevice::WriteOnly))
            return QStringLiteral("cannot create the configuration file %1: %2")
                .arg(path, file.errorString());
        file.close();
        return {};
    }
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the configuration file %1: %2").arg(path, file.errorString());

    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('[')))
            continue;
        QString key;
        QString value;
        SplitKeyValue(line, key, value);
        if (!StoreSiteValue(key, line.section(QLatin1Char('='), 1), settings))
            StoreIniValue(key, value, settings);
    }
    return {};
}

} // namespace Quorlix
