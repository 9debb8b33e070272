#pragma once

#include <QString>

namespace Quorlix {

// Presses the remote-evaluation button of the MGC240's own program, whose main window title
// begins with "PRESTIGE": the button is the child window at screen rectangle 643, 82, 780, 128,
// and it gets a left button down and up. Returns a line for the log when the button was not
// pressed, empty when it was.
QString PressPrestigeButton();

} // namespace Quorlix
