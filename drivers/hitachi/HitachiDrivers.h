#pragma once

class QObject;

namespace Quorlix {

struct Context;
class Dispatcher;

// Creates the Hitachi 911, 902 and 912 drivers (children of owner, named "Hit911Driver",
// "Hit902Driver" and "Hit912Driver") and registers their entries: Hit911Receive,
// Hit911ReceiveWithLims, Hit902Receive, Hit902ReceiveWithLims, Hit912Receive.
void RegisterHitachiDrivers(Context& context, Dispatcher& dispatcher, QObject* owner);

} // namespace Quorlix
