#include "ExternalTypes.h"

#include "DriverRegistry.h"
#include "comm/Dispatch.h"

namespace Quorlix {

void RegisterExternalTypes(DriverRegistry& registry)
{
    registry.addType(
        {.names = {QStringLiteral("Mira")}, .entry = ExternalInput, .entryWithLims = ExternalThroughput});
}

} // namespace Quorlix
