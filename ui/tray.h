#ifndef DESKCLOCK_TRAY_H
#define DESKCLOCK_TRAY_H

#include <windows.h>

// What the shell sends the window when the mouse acts on the clock's tray icon.
#define WM_TRAYNOTIFY (WM_APP + 100)

// Puts the icon in the notification area; the icon handle is destroyed once
// the shell has its own copy. A longer tip than the shell holds is cut short.
BOOL AddTrayIcon(HWND window, UINT id, HICON icon, const char* tip);
BOOL RemoveTrayIcon(HWND window, UINT id);

// A mouse message over the clock's icon: a right press opens the menu, whose
// choice comes back to the window as WM_COMMAND.
void OnTrayNotify(HWND window, WPARAM id, LPARAM mouseMessage);

#endif
