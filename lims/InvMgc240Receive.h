#pragma once

#include "LimsHostHandler.h"

namespace Quorlix {

// The MGC240 emulation toward the LIMS (out-id "MGC240"): answered like the Hitachi 912 emulation,
// but an order (";") only fills the database: its test flags become open requests through
// app_protocols_testmap, the patient and sample are created and the sample information of
// MGC_SampleID is updated; the analyzer gets ">".
class InvMgc240Receive final : public LimsHostHandler
{
public:
    explicit InvMgc240Receive(const DriverServices& services);

protected:
    void order(const QString& frame) override;
    bool knowsLessThan() const override { return true; }

private:
    const JobKind& m_kind;
};

} // namespace Quorlix
