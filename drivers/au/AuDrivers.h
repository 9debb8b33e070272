#pragma once

namespace Quorlix {

class DriverRegistry;

// The Olympus AU400, AU600 and AU680 drivers under their entries: Au400Receive, Au600Receive,
// Au680Receive and the forms with a LIMS side, Au400ReceiveWithLims, Au600ReceiveWithLims,
// Au680ReceiveWithLims.
void RegisterAuDrivers(DriverRegistry& registry);

} // namespace Quorlix
