#pragma once

namespace Quorlix {

class DriverRegistry;

// The Hitachi 911, 902 and 912 drivers under their entries: Hit911Receive, Hit911ReceiveWithLims,
// Hit902Receive, Hit902ReceiveWithLims, Hit912Receive.
void RegisterHitachiDrivers(DriverRegistry& registry);

} // namespace Quorlix
