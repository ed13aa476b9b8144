#include "clock_face.h"

void ApplyClockShape(HWND window)
{
    // The window owns the region from here on.
    SetWindowRgn(window, CreateEllipticRgn(44, 4, 276, 236), TRUE);

    // A tool window has no taskbar button; the tray icon stands in for one.
    LONG style = GetWindowLongA(window, GWL_EXSTYLE);
    SetWindowLongA(window, GWL_EXSTYLE, (style & 0xFF3BFFFF) | WS_EX_TOOLWINDOW);
    SetWindowPos(window, NULL, 0, 0, 320, 240, SWP_NOMOVE);
}
