#include "LinkSupervisor.h"

#include "LinePort.h"
#include "../core/CommLog.h"
#include "../core/Context.h"

#include <limits>

namespace Quorlix {

qint64 SecondsSince(const QDateTime& then, const QDateTime& now)
{
    if (!then.isValid())
        return std::numeric_limits<qint64>::max();
    return now.toSecsSinceEpoch() - then.toSecsSinceEpoch();
}

void SendWakeUp(Context& c)
{
    if (c.limsPort)
        c.limsPort->send(QStringLiteral("\x02>\x03"), Direction::HostToLims);
}

namespace {

// The LIMS is woken while it is an MGC240 emulation; the other condition names an out-type that
// no LIMS handler serves, and is kept as the line has always behaved.
void WakeUpIfWanted(Context& c)
{
    const Settings& s = c.settings;
    if (!s.OutComPort.has_value() || s.OutId.isEmpty())
        return;
    if (s.OutId == QLatin1String("MGC240"))
        SendWakeUp(c);
    if (s.OutType == QLatin1String("H912"))
        SendWakeUp(c);
}

} // namespace

bool SuperviseLinks(Context& c)
{
    if (c.settings.AnalyzerType == QLatin1String("MGC"))
        return false;
    const QDateTime now = c.now();
    bool changed = false;

    if (SecondsSince(c.link.LastAnalyzerInput, now) > OfflineAfterSeconds) {
        if (c.link.analyzerOnline) {
            c.link.analyzerOnline = false;
            changed = true;
            c.log->monitor(QStringLiteral("ANALYZER OFFLINE!"));
        }
        WakeUpIfWanted(c);
    } else if (!c.link.analyzerOnline) {
        c.link.analyzerOnline = true;
        changed = true;
    }

    if (SecondsSince(c.link.LastLimsInput, now) > OfflineAfterSeconds) {
        if (c.link.limsOnline) {
            c.link.limsOnline = false;
            changed = true;
            if (c.link.analyzerOnline)
                c.log->monitor(QStringLiteral("LIMS OFFLINE!"));
        } else {
            WakeUpIfWanted(c);
        }
    } else if (!c.link.limsOnline) {
        c.link.limsOnline = true;
        changed = true;
    }
    return changed;
}

} // namespace Quorlix
