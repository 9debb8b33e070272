#include "HitachiDrivers.h"

#include "HitachiDriver.h"
#include "comm/Dispatch.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

void RegisterHitachiDrivers(DriverRegistry& registry)
{
    registry.addType({.names = {QStringLiteral("H911")},
                      .entry = QStringLiteral("Hit911Receive"),
                      .entryWithLims = QStringLiteral("Hit911ReceiveWithLims"),
                      .offersSimulationWithLims = true});
    registry.addType({.names = {QStringLiteral("H902")},
                      .entry = QStringLiteral("Hit902Receive"),
                      .entryWithLims = QStringLiteral("Hit902ReceiveWithLims")});
    // Served with a LIMS side, the 912's input is read and dropped: the LIMS plays its host.
    registry.addType({.names = {QStringLiteral("H912")},
                      .entry = QStringLiteral("Hit912Receive"),
                      .entryWithLims = SilentEntry});

    struct Variant
    {
        const char* entry;
        HitachiModel model;
        bool withLims;
    };
    for (const Variant v : {Variant{"Hit911Receive", HitachiModel::Hit911, false},
                            Variant{"Hit911ReceiveWithLims", HitachiModel::Hit911, true},
                            Variant{"Hit902Receive", HitachiModel::Hit902, false},
                            Variant{"Hit902ReceiveWithLims", HitachiModel::Hit902, true},
                            Variant{"Hit912Receive", HitachiModel::Hit912, false}}) {
        registry.addHandler({QString::fromLatin1(v.entry)}, [v](const DriverServices& services) {
            return std::make_unique<HitachiDriver>(services, v.model, v.withLims);
        });
    }
}

} // namespace Quorlix
