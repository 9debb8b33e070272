#pragma once

namespace Quorlix {

class DriverRegistry;

// The ASTM instruments: the Indiko (IndikoReceive and the entries of its other states) and the DSX.
void RegisterAstmDrivers(DriverRegistry& registry);

} // namespace Quorlix
