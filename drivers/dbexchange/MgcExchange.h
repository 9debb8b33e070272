#pragma once

#include "MgcContext.h"
#include "MgcControls.h"
#include "core/Database.h"
#include "drivers/DriverRegistry.h"

namespace Quorlix {

// Type "MGC": the MGC240 is reached through its own database (MgcConnection). When built (the
// start-up), the work opens that database; every MGC240 cycle then writes the open orders into the
// analyzer's work list, takes finished results and control results, orders the controls (at the
// first tick all of them, once what they hold is taken), watches the button-press flag and takes
// new calibrations. A database that cannot be opened is tried again every tick.
class MgcExchange final : public BackgroundWork
{
public:
    explicit MgcExchange(const DriverServices& services);
    ~MgcExchange() override;

    // One MGC240 cycle: MgcSendOrders, MgcFetchResults, MgcFetchControls, MgcRegisterControls,
    // MgcCheckComPort, MgcFetchCalibrations.
    void tick();
    bool isConnected() const { return m_mgc.isOpen(); }

private:
    bool connect();
    bool prepare(ChannelMap& channels, ItemNames& names);
    // Whether records wait in the spool: then the MGC240's results wait in its own database.
    bool spoolWaiting() const;

    Database m_mgc; // MgcConnection
    MgcContext m_ctx;
    MgcControlOrders m_controls;
    QDate m_purged; // the day old marks were last removed
    bool m_openFailed = false;
};

} // namespace Quorlix
