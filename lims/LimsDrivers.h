#pragma once

namespace Quorlix {

class DriverRegistry;

// The LIMS-side handlers of the Hitachi 912 and MGC240 emulations ("InvH912Receive",
// "InvMgc240Receive").
void RegisterLimsHandlers(DriverRegistry& registry);

} // namespace Quorlix
