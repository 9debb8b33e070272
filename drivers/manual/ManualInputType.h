#pragma once

#include <QString>

namespace Quorlix {

class Database;
class DriverRegistry;
struct Settings;

// The manual input station (type "INPUT"): no analyzer line; the operator types results into its
// window, which stores them through ManualInput.
void RegisterManualInput(DriverRegistry& registry);

// Makes sure the station's copy of the request table (type_id, e.g. "INPUT_Photometer") exists and
// names it in the settings; returns an error line when it cannot be made.
QString EnsureStationTable(Database& db, Settings& settings);

} // namespace Quorlix
