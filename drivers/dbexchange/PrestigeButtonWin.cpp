#include "PrestigeButton.h"

#include <windows.h>

#include <string>

namespace Quorlix {

namespace {

QString WindowTitle(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::wstring title(size_t(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, title.data(), length + 1);
    title.resize(size_t(copied > 0 ? copied : 0));
    return QString::fromStdWString(title);
}

} // namespace

QString PressPrestigeButton()
{
    // The top-level windows in the window manager's order; the first PRESTIGE window that has the
    // button gets the click.
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (!WindowTitle(window).toUpper().startsWith(QLatin1String("PRESTIGE")))
            continue;
        for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r;
            if (!GetWindowRect(child, &r) || r.left != 643 || r.top != 82 || r.right != 780 ||
                r.bottom != 128)
                continue;
            // The handle travels at its full width in the second parameter.
            const LPARAM self = reinterpret_cast<LPARAM>(child);
            SendMessageW(child, WM_LBUTTONDOWN, 0, self);
            SendMessageW(child, WM_LBUTTONUP, 0, self);
            return {};
        }
    }
    return QStringLiteral("com_port 1 asks for the PRESTIGE button: no PRESTIGE window with the button was "
                          "found; not pressed");
}

} // namespace Quorlix
