#pragma once

namespace Quorlix {

class DriverRegistry;

// The analyzers served through databases instead of a line: "MGC" (the MGC240's own database, on
// Timer2) and "MGC_ONLINE" (the MGC online tables toward the LIMS, on Timer4).
void RegisterDbExchangeDrivers(DriverRegistry& registry);

} // namespace Quorlix
