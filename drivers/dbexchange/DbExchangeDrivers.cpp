#include "DbExchangeDrivers.h"

#include "MgcExchange.h"
#include "MgcOnline.h"
#include "core/Settings.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

void RegisterDbExchangeDrivers(DriverRegistry& registry)
{
    registry.addWork(
        QStringLiteral("MgcExchange"),
        [](const Settings& s) { return s.AnalyzerType == QLatin1String("MGC") && s.Timer2Enabled; },
        [](const DriverServices& services) { return std::make_unique<MgcExchange>(services); });
    registry.addWork(
        QStringLiteral("MgcOnlineExchange"),
        [](const Settings& s) { return s.AnalyzerType == QLatin1String("MGC_ONLINE") && s.Timer4Enabled; },
        [](const DriverServices& services) { return std::make_unique<MgcOnlineExchange>(services); });
}

} // namespace Quorlix
