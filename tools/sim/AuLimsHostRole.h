#pragma once

#include "SimRole.h"

namespace QuorlixSim {

// A LIMS that plays the host of an AU analyzer, on the LIMS port of an interface that sits between
// them: it answers the order requests the interface relays with ACK and an order frame (which the
// interface relays to the analyzer), and checks the frames the interface passes on.
class AuLimsHostRole final : public SimRole
{
public:
    bool parse(const ScriptLine& line, SimStep& step, QString* error) override;
    QString help() const override;
    bool playsHost() const override { return true; }

private:
    // The next frame from the interface; empty (and a failed check) after the time-out.
    QString next(SimSession& session, int line);
};

} // namespace QuorlixSim
