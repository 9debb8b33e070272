#include "DbExchangeDrivers.h"

#include "MgcDatabase.h"
#include "MgcExchange.h"
#include "MgcOnline.h"
#include "core/Database.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

namespace {

// The MGC240 exchange also reads and writes the analyzer's own database. (The MGC online type
// works on laboratory tables alone, which the laboratory check covers.)
void CheckMgcDatabase(ConfigChecks& checks, const Settings& s)
{
    const DatabaseTarget target = DescribeMgcDatabase(s);
    QString driver = s.MgcDriver.trimmed().toLower();
    if (driver.isEmpty())
        driver = DefaultMgcDriver();
    const QString file = driver == QLatin1String("odbc") ? QString() : BesideIniFile(s, s.AccessPath);
    checks.database(QStringLiteral("check-config-mgc240"), target, file, true);
}

} // namespace

void RegisterDbExchangeDrivers(DriverRegistry& registry)
{
    // No analyzer line: the MGC240 is reached through its own database, and its link is not
    // supervised; the MGC online tables are worked on the laboratory database.
    registry.addType({.names = {QStringLiteral("MGC")},
                      .hasLine = false,
                      .supervisedLink = false,
                      .checks = CheckMgcDatabase});
    registry.addType({.names = {QStringLiteral("MGC_ONLINE")}, .hasLine = false});

    registry.addWork(
        QStringLiteral("MgcExchange"),
        [](const Settings& s) { return s.AnalyzerType == QLatin1String("MGC"); },
        [](const DriverServices& services) { return std::make_unique<MgcExchange>(services); });
    registry.addWork(
        QStringLiteral("MgcOnlineExchange"),
        [](const Settings& s) { return s.AnalyzerType == QLatin1String("MGC_ONLINE"); },
        [](const DriverServices& services) { return std::make_unique<MgcOnlineExchange>(services); });
}

} // namespace Quorlix
