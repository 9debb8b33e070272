#pragma once

#include "MgcContext.h"
#include "core/Database.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

// Type "MGC": the MGC240 is reached through its own database (MgcConnection). When built (the
// start-up), the work opens that database and orders the analyzer's controls; every Timer2 tick
// then writes the open orders into the analyzer's work list, takes finished results, control
// results and new calibrations into the laboratory database, and watches the button-press flag.
// A database that cannot be opened is tried again every tick.
class MgcExchange final : public BackgroundWork
{
public:
    explicit MgcExchange(const DriverServices& services);
    ~MgcExchange() override;

    // One Timer2 tick: MgcSendOrders, MgcFetchResults, MgcFetchControls, MgcCheckComPort,
    // MgcFetchCalibrations.
    void tick();
    bool isConnected() const { return m_mgc.isOpen(); }

private:
    bool connect();
    bool prepare(ChannelMap& channels, ItemNames& names);
    bool registerControls();

    Database m_mgc; // MgcConnection
    MgcContext m_ctx;
    bool m_controlsOrdered = false;
    bool m_openFailed = false;
};

} // namespace Quorlix
