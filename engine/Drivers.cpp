#include "Drivers.h"

#include "drivers/DriverRegistry.h"
#include "drivers/astm/ActDriver.h"
#include "drivers/astm/AstmDrivers.h"
#include "drivers/au/AuDrivers.h"
#include "drivers/dbexchange/DbExchangeDrivers.h"
#include "drivers/hitachi/HitachiDrivers.h"
#include "lims/InvAuRelay.h"
#include "lims/LimsDrivers.h"
#include "lims/PendingToLims.h"

namespace Quorlix {

const DriverRegistry& AllDrivers()
{
    static const DriverRegistry registry = [] {
        DriverRegistry r;
        RegisterHitachiDrivers(r);
        RegisterAuDrivers(r);
        RegisterAstmDrivers(r);
        RegisterActDriver(r);
        RegisterLimsForwarding(r);
        RegisterLimsHandlers(r);
        RegisterDbExchangeDrivers(r);
        RegisterAuLimsRelay(r);
        return r;
    }();
    return registry;
}

} // namespace Quorlix
