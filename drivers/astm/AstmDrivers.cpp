#include "AstmDrivers.h"

#include "DsxDriver.h"
#include "IndikoDriver.h"
#include "comm/Dispatch.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

void RegisterAstmDrivers(DriverRegistry& registry)
{
    // With a LIMS side the DSX's and the Indiko's input is read and dropped.
    registry.addType({.names = {QStringLiteral("DSX")},
                      .entry = QStringLiteral("DsxReceive"),
                      .entryWithLims = SilentEntry});
    registry.addType({.names = {QStringLiteral("IND")},
                      .entry = QStringLiteral("IndikoReceive"),
                      .entryWithLims = SilentEntry});
    // The Indiko's other type names start the same driver in another state; they have no LIMS side.
    registry.addType({.names = {QStringLiteral("INDREQ")}, .entry = QStringLiteral("IndikoRequestReceive")});
    registry.addType({.names = {QStringLiteral("INDREADY")}, .entry = QStringLiteral("IndikoReadyReceive")});
    registry.addType(
        {.names = {QStringLiteral("INDRESULT")}, .entry = QStringLiteral("IndikoResultReceive")});

    // One Indiko driver serves every entry its analyzer type may name: its state is its own.
    registry.addHandler(
        {QStringLiteral("IndikoReceive"), QStringLiteral("IndikoReadyReceive"),
         QStringLiteral("IndikoRequestReceive"), QStringLiteral("IndikoResultReceive")},
        [](const DriverServices& services) { return std::make_unique<IndikoDriver>(services); });
    registry.addHandler({QStringLiteral("DsxReceive")},
                        [](const DriverServices& services) { return std::make_unique<DsxDriver>(services); });
}

} // namespace Quorlix
