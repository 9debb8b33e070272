#include "AuDrivers.h"

#include "AuDriver.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

void RegisterAuDrivers(DriverRegistry& registry)
{
    registry.addType({.names = {QStringLiteral("OAU400")},
                      .entry = QStringLiteral("Au400Receive"),
                      .entryWithLims = QStringLiteral("Au400ReceiveWithLims")});
    registry.addType({.names = {QStringLiteral("OAU600")},
                      .entry = QStringLiteral("Au600Receive"),
                      .entryWithLims = QStringLiteral("Au600ReceiveWithLims")});
    registry.addType({.names = {QStringLiteral("OAU680")},
                      .entry = QStringLiteral("Au680Receive"),
                      .entryWithLims = QStringLiteral("Au680ReceiveWithLims")});

    struct Variant
    {
        const char* entry;
        AuModel model;
        bool withLims;
    };
    for (const Variant v : {Variant{"Au400Receive", AuModel::Au400, false},
                            Variant{"Au400ReceiveWithLims", AuModel::Au400, true},
                            Variant{"Au600Receive", AuModel::Au600, false},
                            Variant{"Au600ReceiveWithLims", AuModel::Au600, true},
                            Variant{"Au680Receive", AuModel::Au680, false},
                            Variant{"Au680ReceiveWithLims", AuModel::Au680, true}}) {
        registry.addHandler({QString::fromLatin1(v.entry)}, [v](const DriverServices& services) {
            return std::make_unique<AuDriver>(services, v.model, v.withLims);
        });
    }
}

} // namespace Quorlix
