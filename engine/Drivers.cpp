#include "Drivers.h"

#include "drivers/DriverRegistry.h"
#include "drivers/ExternalTypes.h"
#include "drivers/astm/ActDriver.h"
#include "drivers/astm/AstmDrivers.h"
#include "drivers/au/AuDrivers.h"
#include "drivers/dbexchange/DbExchangeDrivers.h"
#include "drivers/hitachi/HitachiDrivers.h"
#include "drivers/manual/ManualInputType.h"
#include "lims/InvAuRelay.h"
#include "lims/LimsDrivers.h"
#include "lims/PendingToLims.h"

namespace Quorlix {

void RegisterAllFamilies(DriverRegistry& registry)
{
    RegisterHitachiDrivers(registry);
    RegisterAuDrivers(registry);
    RegisterAstmDrivers(registry);
    RegisterActDriver(registry);
    RegisterLimsForwarding(registry);
    RegisterLimsHandlers(registry);
    RegisterDbExchangeDrivers(registry);
    RegisterAuLimsRelay(registry);
    RegisterManualInput(registry);
    RegisterExternalTypes(registry);
}

const DriverRegistry& AllDrivers()
{
    static const DriverRegistry registry = [] {
        DriverRegistry r;
        RegisterAllFamilies(r);
        return r;
    }();
    return registry;
}

} // namespace Quorlix
