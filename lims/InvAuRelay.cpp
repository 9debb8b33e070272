#include "InvAuRelay.h"

#include "comm/Line.h"
#include "core/CommLog.h"
#include "core/FrameText.h"
#include "drivers/DriverRegistry.h"
#include "drivers/DriverServices.h"
#include "drivers/au/AuDriver.h"
#include "drivers/au/AuReceivedJob.h"
#include "store/Store.h"

namespace Quorlix {

InvAuRelay::InvAuRelay(const DriverServices& services)
    : m_log(services.log), m_analyzerLine(services.analyzerLine),
      m_analyzer(dynamic_cast<AuDriver*>(services.analyzerHandler))
{
    // The LIMS gets the analyzer's frames, not the store's reports, whatever the analyzer.
    SetAuStoreRules(services.store.kinds());
}

void InvAuRelay::receive(const QString& received)
{
    const AuRelayBuffer::Output out = m_buffer.append(received);
    for (const QString& problem : out.problems)
        m_log.monitor(problem);
    for (const QString& unit : out.forward) {
        m_log.logall(unit, Direction::LimsToHost);
        m_analyzerLine.send(unit, Direction::HostToAnalyzer);
        // The first frame after a relayed order request is the LIMS's answer to it.
        if (m_analyzer && unit.startsWith(Stx))
            m_analyzer->replyTime().answered();
    }
}

void RegisterAuLimsRelay(DriverRegistry& registry)
{
    registry.addLimsSide(
        {.outTypes = {QStringLiteral("invOAU400")}, .entry = QStringLiteral("InvAu400Receive")});
    registry.addLimsSide(
        {.outTypes = {QStringLiteral("invOAU600")}, .entry = QStringLiteral("InvAu600Receive")});
    registry.addHandler(
        {QStringLiteral("InvAu400Receive"), QStringLiteral("InvAu600Receive")},
        [](const DriverServices& services) { return std::make_unique<InvAuRelay>(services); });
}

} // namespace Quorlix
