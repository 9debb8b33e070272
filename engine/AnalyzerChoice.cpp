#include "AnalyzerChoice.h"

#include "Drivers.h"
#include "comm/Dispatch.h"
#include "core/Settings.h"
#include "drivers/DriverRegistry.h"

#include <QStringList>

namespace Quorlix {

AnalyzerChoice ChooseAnalyzer(const Settings& s)
{
    if (s.AnalyzerId.isEmpty() && s.AnalyzerType.isEmpty())
        return {{},
                QStringLiteral("no /id=NAME /type=TYPE switches: they name the analyzer to serve "
                               "(see --help)")};
    if (s.AnalyzerId.isEmpty())
        return {{}, QStringLiteral("no /id=NAME switch: the analyzer's name is missing (see --help)")};
    if (s.AnalyzerType.isEmpty())
        return {{}, QStringLiteral("no /type=TYPE switch: the analyzer's type is missing (see --help)")};
    const QString entry = AnalyzerEntryFor(s.AnalyzerType, s.hasLimsSide());
    if (entry.isEmpty() &&
        !QStringList{QStringLiteral("MGC"), QStringLiteral("MGC_ONLINE"), QStringLiteral("INPUT")}.contains(
            s.AnalyzerType))
        return {{},
                QStringLiteral("type \"%1\" is no analyzer type (they are case-sensitive; see --help)")
                    .arg(s.AnalyzerType)};
    if (!entry.isEmpty() && entry != SilentEntry && !IsExternalEntry(entry) && !AllDrivers().handler(entry))
        return {{}, QStringLiteral("%1 is not available in this version").arg(entry)};
    return {entry, {}};
}

} // namespace Quorlix
