#include "LimsDrivers.h"

#include "InvH912Receive.h"
#include "InvMgc240Receive.h"
#include "comm/Dispatch.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

void RegisterLimsHandlers(DriverRegistry& registry)
{
    // The out-id first: a LIMS named "MGC240" is served as the MGC240 emulation, whatever its
    // out-type. The silent MGC240-style LIMS is woken; so is a LIMS of out-type "H912", which no
    // handler serves (kept as the line has always behaved).
    registry.addLimsSide(
        {.outIds = {QStringLiteral("MGC240")}, .entry = QStringLiteral("InvMgc240Receive"), .wakeUp = true});
    registry.addLimsSide(
        {.outTypes = {QStringLiteral("invH911"), QStringLiteral("invH902")}, .entry = ExternalThroughput});
    registry.addLimsSide(
        {.outTypes = {QStringLiteral("invH912")}, .entry = QStringLiteral("InvH912Receive")});
    registry.addLimsSide({.outTypes = {QStringLiteral("H912")}, .wakeUp = true});

    registry.addHandler({QStringLiteral("InvH912Receive")}, [](const DriverServices& services) {
        return std::make_unique<InvH912Receive>(services);
    });
    registry.addHandler({QStringLiteral("InvMgc240Receive")}, [](const DriverServices& services) {
        return std::make_unique<InvMgc240Receive>(services);
    });
}

} // namespace Quorlix
