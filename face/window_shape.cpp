#include "clock_face.h"

#include "app/clock_app.h"
#include "dial.h"

void ApplyClockShape(HWND window)
{
    UINT dpi = clockApp.dpi ? clockApp.dpi : 96;
    // The window owns the region from here on.
    SetWindowRgn(window, CreateEllipticRgn(ScaleToDpi(44, dpi), ScaleToDpi(4, dpi),
                                           ScaleToDpi(276, dpi), ScaleToDpi(236, dpi)), TRUE);

    // A tool window has no taskbar button; the tray icon stands in for one.
    LONG style = GetWindowLongA(window, GWL_EXSTYLE);
    SetWindowLongA(window, GWL_EXSTYLE, (style & 0xFF3BFFFF) | WS_EX_TOOLWINDOW);
    SetWindowPos(window, NULL, 0, 0, ScaleToDpi(kSkinWidth, dpi), ScaleToDpi(kSkinHeight, dpi), SWP_NOMOVE);
}

static LONG Clamp(LONG value, LONG low, LONG high)
{
    return value > high ? high : value < low ? low : value;
}

void KeepClockOnScreen(HWND window)
{
    RECT place, face;
    GetWindowRect(window, &place);
    if (GetWindowRgnBox(window, &face) == ERROR)
        SetRect(&face, 0, 0, place.right - place.left, place.bottom - place.top);
    OffsetRect(&face, place.left, place.top);
    if (MonitorFromRect(&face, MONITOR_DEFAULTTONULL))
        return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoA(MonitorFromRect(&face, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    LONG x = Clamp(face.left, work.left, work.right - (face.right - face.left));
    LONG y = Clamp(face.top, work.top, work.bottom - (face.bottom - face.top));
    SetWindowPos(window, NULL, place.left + x - face.left, place.top + y - face.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
