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

void LinkSupervisor::wakeUpIfWanted()
{
    const Settings& s = m_settings;
    if (!s.OutComPort.has_value() || s.OutId.isEmpty())
        return;
    for (int i = 0; i < m_wakeUps; ++i)
        SendWakeUp();
}

bool LinkSupervisor::SuperviseLinks()
{
    if (!m_supervised)
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
