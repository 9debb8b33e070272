#include "HitachiDrivers.h"

#include "HitachiDriver.h"
#include "comm/Dispatch.h"

#include <QPointer>

namespace Quorlix {

void RegisterHitachiDrivers(Context& context, Dispatcher& dispatcher, QObject* owner)
{
    // An entry called after its driver is gone does nothing.
    QPointer<HitachiDriver> hit911 = new HitachiDriver(context, HitachiModel::Hit911, owner);
    QPointer<HitachiDriver> hit902 = new HitachiDriver(context, HitachiModel::Hit902, owner);
    QPointer<HitachiDriver> hit912 = new HitachiDriver(context, HitachiModel::Hit912, owner);
    hit911->setObjectName(QStringLiteral("Hit911Driver"));
    hit902->setObjectName(QStringLiteral("Hit902Driver"));
    hit912->setObjectName(QStringLiteral("Hit912Driver"));
    dispatcher.registerEntry(QStringLiteral("Hit911Receive"), [hit911](const QString& text) {
        if (hit911)
            hit911->receive(text);
    });
    dispatcher.registerEntry(QStringLiteral("Hit911ReceiveWithLims"), [hit911](const QString& text) {
        if (hit911)
            hit911->receiveWithLims(text);
    });
    dispatcher.registerEntry(QStringLiteral("Hit902Receive"), [hit902](const QString& text) {
        if (hit902)
            hit902->receive(text);
    });
    dispatcher.registerEntry(QStringLiteral("Hit902ReceiveWithLims"), [hit902](const QString& text) {
        if (hit902)
            hit902->receiveWithLims(text);
    });
    dispatcher.registerEntry(QStringLiteral("Hit912Receive"), [hit912](const QString& text) {
        if (hit912)
            hit912->receive(text);
    });
}

} // namespace Quorlix
