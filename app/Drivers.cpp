#include "Drivers.h"

#include "drivers/DriverRegistry.h"
#include "drivers/astm/ActDriver.h"
#include "drivers/hitachi/HitachiDrivers.h"
#include "lims/PendingToLims.h"

namespace Quorlix {

const DriverRegistry& AllDrivers()
{
    static const DriverRegistry registry = [] {
        DriverRegistry r;
        RegisterHitachiDrivers(r);
        RegisterActDriver(r);
        RegisterLimsForwarding(r);
        return r;
    }();
    return registry;
}

} // namespace Quorlix
