#include "LimsDrivers.h"

#include "InvH912Receive.h"
#include "InvMgc240Receive.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

void RegisterLimsHandlers(DriverRegistry& registry)
{
    registry.addHandler({QStringLiteral("InvH912Receive")}, [](const DriverServices& services) {
        return std::make_unique<InvH912Receive>(services);
    });
    registry.addHandler({QStringLiteral("InvMgc240Receive")}, [](const DriverServices& services) {
        return std::make_unique<InvMgc240Receive>(services);
    });
}

} // namespace Quorlix
