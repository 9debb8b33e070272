#include "MgcDatabase.h"

#include "core/IniFile.h"
#include "core/Settings.h"
#include "core/Stamps.h"

#include <QDir>
#include <QFileInfo>

namespace Quorlix {

namespace {

// A value of an ODBC connection string, in braces where it needs them.
QString OdbcValue(const QString& value)
{
    if (!value.contains(QLatin1Char(';')) && !value.contains(QLatin1Char('{')) &&
        !value.contains(QLatin1Char('}')) && value == value.trimmed())
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + escaped + QLatin1Char('}');
}

QString AbsoluteFile(const Settings& s)
{
    return BesideIniFile(s, s.AccessPath);
}

} // namespace

QString DefaultMgcDriver()
{
#ifdef Q_OS_WIN
    return QStringLiteral("access");
#else
    return QStringLiteral("sqlite");
#endif
}

DatabaseTarget DescribeMgcDatabase(const Settings& s)
{
    DatabaseTarget t;
    QString driver = s.MgcDriver.trimmed().toLower();
    if (driver.isEmpty())
        driver = DefaultMgcDriver();
    const QString file = AbsoluteFile(s);

    if (driver == QLatin1String("access") || driver == QLatin1String("sqlite")) {
        if (file.isEmpty()) {
            t.error = QStringLiteral("the MGC240 database needs its file in the key AccessPath");
            return t;
        }
    }
    if (driver == QLatin1String("access")) {
        t.qtDriver = QStringLiteral("QODBC");
        t.databaseName = QStringLiteral("DRIVER={Microsoft Access Driver (*.mdb, *.accdb)};DBQ=%1;UID=admin;")
                             .arg(OdbcValue(QDir::toNativeSeparators(file)));
        // TOP and bracketed names, as far as these statements go.
        t.dialect = SqlDialect(SqlDialect::SqlServer);
        t.description = QStringLiteral("MGC240 Access database %1").arg(file);
    } else if (driver == QLatin1String("sqlite")) {
        t.qtDriver = QStringLiteral("QSQLITE");
        t.databaseName = file;
        t.dialect = SqlDialect(SqlDialect::SQLite);
        t.description = QStringLiteral("MGC240 database %1 (SQLite)").arg(file);
    } else if (driver == QLatin1String("odbc")) {
        t.qtDriver = QStringLiteral("QODBC");
        t.databaseName = s.MgcOdbcConnection;
        const QString lower = s.MgcOdbcConnection.toLower();
        t.dialect = SqlDialect(lower.contains(QLatin1String("sqlite"))     ? SqlDialect::SQLite
                               : lower.contains(QLatin1String("postgres")) ? SqlDialect::PostgreSQL
                                                                           : SqlDialect::SqlServer);
        t.description =
            QStringLiteral("MGC240 ODBC database (%1)").arg(RedactConnectionString(s.MgcOdbcConnection));
        if (s.MgcOdbcConnection.isEmpty())
            t.error = QStringLiteral("mgcdriver=odbc needs the connection string in the key mgcodbc");
    } else {
        t.error = QStringLiteral("mgcdriver=%1 is not one of access, sqlite, odbc").arg(s.MgcDriver);
    }
    return t;
}

QVariant MgcDateValue(const Database& mgc, const QDateTime& moment)
{
    const QDateTime whole(moment.date(),
                          QTime(moment.time().hour(), moment.time().minute(), moment.time().second()));
    if (mgc.target().qtDriver == QLatin1String("QODBC"))
        return whole;
    return mgc.stamp(SqlStamp(whole));
}

} // namespace Quorlix
