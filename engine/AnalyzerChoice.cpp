#include "AnalyzerChoice.h"

#include "comm/Dispatch.h"
#include "core/Settings.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

AnalyzerChoice ChooseAnalyzer(const Settings& s, const DriverRegistry& drivers)
{
    if (s.AnalyzerId.isEmpty() && s.AnalyzerType.isEmpty())
        return {{},
                QStringLiteral("no /id=NAME /type=TYPE switches: they name the analyzer to serve "
                               "(see --help)")};
    if (s.AnalyzerId.isEmpty())
        return {{}, QStringLiteral("no /id=NAME switch: the analyzer's name is missing (see --help)")};
    if (s.AnalyzerType.isEmpty())
        return {{}, QStringLiteral("no /type=TYPE switch: the analyzer's type is missing (see --help)")};
    const AnalyzerType* type = drivers.type(s.AnalyzerType);
    const QString entry = drivers.analyzerEntry(s.AnalyzerType, s.hasLimsSide());
    // A type on a line that nothing serves on this side (the Indiko's state types with a LIMS
    // side) is refused as an unknown one.
    if (!type || (type->hasLine && entry.isEmpty()))
        return {{},
                QStringLiteral("type \"%1\" is no analyzer type (they are case-sensitive; see --help)")
                    .arg(s.AnalyzerType)};
    if (!entry.isEmpty() && entry != SilentEntry && !IsExternalEntry(entry) && !drivers.handler(entry))
        return {{}, QStringLiteral("%1 is not available in this version").arg(entry)};
    return {entry, {}};
}

} // namespace Quorlix
