#include "LinkSupervisor.h"

#include "Line.h"
#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/FrameText.h"
#include "core/Settings.h"

#include <limits>

namespace Quorlix {

qint64 SecondsSince(const QDateTime& then, const QDateTime& now)
{
    if (!then.isValid())
        return std::numeric_limits<qint64>::max();
    return now.toSecsSinceEpoch() - then.toSecsSinceEpoch();
}

void LinkSupervisor::SendWakeUp()
{
    m_limsLine.send(QString(Stx) + QLatin1Char('>') + Etx, Direction::HostToLims);
}

// The LIMS is woken while it is an MGC240 emulation; the other condition names an out-type that
// no LIMS handler serves, and is kept as the line has always behaved.
void LinkSupervisor::wakeUpIfWanted()
{
    const Settings& s = m_settings;
    if (!s.OutComPort.has_value() || s.OutId.isEmpty())
        return;
    if (s.OutId == QLatin1String("MGC240"))
        SendWakeUp();
    if (s.OutType == QLatin1String("H912"))
        SendWakeUp();
}

bool LinkSupervisor::SuperviseLinks()
{
    if (m_settings.AnalyzerType == QLatin1String("MGC"))
        return false;
    const QDateTime now = m_clock.now();
    bool changed = false;

    if (SecondsSince(m_link.LastAnalyzerInput, now) > OfflineAfterSeconds) {
        if (m_link.analyzerOnline) {
            m_link.analyzerOnline = false;
            changed = true;
            m_log.monitor(QStringLiteral("ANALYZER OFFLINE!"));
        }
        wakeUpIfWanted();
    } else if (!m_link.analyzerOnline) {
        m_link.analyzerOnline = true;
        changed = true;
    }

    if (SecondsSince(m_link.LastLimsInput, now) > OfflineAfterSeconds) {
        if (m_link.limsOnline) {
            m_link.limsOnline = false;
            changed = true;
            if (m_link.analyzerOnline)
                m_log.monitor(QStringLiteral("LIMS OFFLINE!"));
        } else {
            wakeUpIfWanted();
        }
    } else if (!m_link.limsOnline) {
        m_link.limsOnline = true;
        changed = true;
    }
    return changed;
}

} // namespace Quorlix
