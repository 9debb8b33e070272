#include "AstmDrivers.h"

#include "DsxDriver.h"
#include "IndikoDriver.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

void RegisterAstmDrivers(DriverRegistry& registry)
{
    // One Indiko driver serves every entry its analyzer type may name: its state is its own.
    registry.addHandler(
        {QStringLiteral("IndikoReceive"), QStringLiteral("IndikoReadyReceive"),
         QStringLiteral("IndikoRequestReceive"), QStringLiteral("IndikoResultReceive")},
        [](const DriverServices& services) { return std::make_unique<IndikoDriver>(services); });
    registry.addHandler({QStringLiteral("DsxReceive")},
                        [](const DriverServices& services) { return std::make_unique<DsxDriver>(services); });
}

} // namespace Quorlix
