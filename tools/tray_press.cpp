// Presses the right button on the notification-area icon under a screen
// point, handing the press to the icon's window as the shell relays a real
// one. The picture step uses it: a press made with X input there can be lost
// on a busy machine.
//   tray_press.exe X Y
#include <windows.h>

#include <stdlib.h>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    POINT at = { atoi(argv[1]), atoi(argv[2]) };
    HWND icon = WindowFromPoint(at);
    if (!icon)
        return 1;
    // The menu opens at the pointer.
    SetCursorPos(at.x, at.y);
    ScreenToClient(icon, &at);
    PostMessageA(icon, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageA(icon, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    return 0;
}
