#pragma once

namespace Quorlix {

class DriverRegistry;

// Every driver this program ships, registered once: one call per family of drivers.
const DriverRegistry& AllDrivers();

} // namespace Quorlix
