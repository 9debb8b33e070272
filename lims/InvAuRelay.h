#pragma once

#include "comm/LineHandler.h"
#include "drivers/au/AuRelayBuffer.h"

namespace Quorlix {

class AuDriver;
class CommLog;
class DriverRegistry;
class Line;
struct DriverServices;

// InvAu400Receive and InvAu600Receive (out-types "invOAU400", "invOAU600"): the LIMS plays the AU
// host, and what it sends goes to the analyzer unchanged: each ACK at once, each frame once it is
// complete. Nothing is stored and nothing is answered to the LIMS. The relay collects on its own
// buffer, apart from the analyzer side's.
class InvAuRelay final : public LineHandler
{
public:
    explicit InvAuRelay(const DriverServices& services);

    void receive(const QString& received) override;

private:
    CommLog& m_log;
    Line& m_analyzerLine;
    AuDriver* m_analyzer; // null without an AU on the analyzer line
    AuRelayBuffer m_buffer{QStringLiteral("the LIMS")};
};

// Registers the relay under InvAu400Receive and InvAu600Receive (they behave alike).
void RegisterAuLimsRelay(DriverRegistry& registry);

} // namespace Quorlix
