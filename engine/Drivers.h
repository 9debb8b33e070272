#pragma once

namespace Quorlix {

class DriverRegistry;

// Every family of drivers this program ships, registered once: one call per family.
void RegisterAllFamilies(DriverRegistry& registry);
const DriverRegistry& AllDrivers();

} // namespace Quorlix
