#pragma once

namespace Quorlix {

class DriverRegistry;

// The types an external handler serves (none is shipped; a site may install one): the analyzer
// type "Mira", and its input passed through when a LIMS side is configured.
void RegisterExternalTypes(DriverRegistry& registry);

} // namespace Quorlix
