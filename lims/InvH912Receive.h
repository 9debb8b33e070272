#pragma once

#include "LimsChannelMap.h"
#include "LimsHostHandler.h"

namespace Quorlix {

struct LimsOrderFrame;

// The Hitachi 912 emulation toward a LIMS that plays the Hitachi host, with a Hitachi 911 or 902 on
// the analyzer line (out-type "invH912"). The analyzer's inquiries and finished results go to the
// LIMS from elsewhere (the analyzer driver, the forwarding of finished samples); this handler takes
// what the LIMS answers: an order (";") is stored as open requests with its patient and sample, and
// the analyzer gets the order reply built from them; "*MESSAGE *TUBE NON TROUVE" and an order
// without tests give the analyzer an order without tests.
class InvH912Receive final : public LimsHostHandler
{
public:
    explicit InvH912Receive(const DriverServices& services);

protected:
    void order(const QString& frame) override;
    bool knowsLessThan() const override { return false; }

private:
    // Whether the analyzer is a Hitachi whose order reply the LIMS's answers become.
    bool servesAnalyzer() const;
    // The analyzer's order reply of a kind (1: its tests from the database, 0: none); ">" for an
    // analyzer that is neither a 911 nor a 902.
    QString analyzerOrder(const QString& sampleId, int kind);
    // The analyzer's order reply for an order that waits for the database: its tests taken from the
    // LIMS's channels.
    QString knownOrder(const LimsOrderFrame& order);
    // Reads the channel maps; quietly: a failure is named once, when an order needs them.
    void readChannels();

    const JobKind& m_kind;
    // Read at start and on every housekeeping tick.
    LimsChannelMap m_channels;
    bool m_channelsRead = false;
    QString m_channelsError;
};

} // namespace Quorlix
