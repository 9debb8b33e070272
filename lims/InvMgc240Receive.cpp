#include "InvMgc240Receive.h"

#include "LimsOrderFrame.h"
#include "LimsOrderStore.h"
#include "store/Store.h"

namespace Quorlix {

InvMgc240Receive::InvMgc240Receive(const DriverServices& services)
    : LimsHostHandler(services), m_kind(services.store.kinds().require<Mgc240OrderJobKind>())
{
}

void InvMgc240Receive::order(const QString& frame)
{
    const Mgc240OrderFrame order = ReadMgc240Order(frame);
    if (!order.ordersTests)
        return;
    if (order.sampleId.isEmpty()) {
        monitor(QStringLiteral("MGC240 order without a sample id: nothing stored"));
        return;
    }
    submitOrder(m_kind, frame);
}

} // namespace Quorlix
