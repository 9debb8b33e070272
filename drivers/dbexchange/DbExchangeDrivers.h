#pragma once

namespace Quorlix {

class DriverRegistry;

// The analyzers served through databases instead of a line: "MGC" (the MGC240's own database, on
// every MGC240 cycle) and "MGC_ONLINE" (the MGC online tables toward the LIMS, each MGC online cycle).
void RegisterDbExchangeDrivers(DriverRegistry& registry);

} // namespace Quorlix
