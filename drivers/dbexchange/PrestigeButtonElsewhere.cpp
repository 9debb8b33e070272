#include "PrestigeButton.h"

namespace Quorlix {

QString PressPrestigeButton()
{
    // The MGC240's program runs on Windows only; its windows are not reachable from here.
    return QStringLiteral(
        "com_port 1 asks for the PRESTIGE button of the MGC240's program: it cannot be pressed "
        "on this system (windows of other programs are reachable on Windows only)");
}

} // namespace Quorlix
