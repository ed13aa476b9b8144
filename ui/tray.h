#ifndef DESKCLOCK_TRAY_H
#define DESKCLOCK_TRAY_H

#include <windows.h>

// What the shell sends the window when the mouse acts on the clock's tray icon.
#define WM_TRAYNOTIFY (WM_APP + 100)

// Puts the icon in the notification area; the icon handle is destroyed once
// the shell has its own copy. A longer tip than the shell holds is cut short.
BOOL AddTrayIcon(HWND window, UINT id, HICON icon, const char* tip);
BOOL RemoveTrayIcon(HWND window, UINT id);

// The clock's icon in the notification area's size, for ShowTrayIcon.
HICON LoadTrayIcon();

// The clock's icon, added with the given handle (or one loaded afresh, when
// null). A shell that refuses it is asked again by the window's timer
// IDT_TRAY_RETRY, whose ticks go to RetryTrayIcon, for 2 minutes.
void ShowTrayIcon(HWND window, HICON icon);
void RetryTrayIcon(HWND window);
// The tries ended and the icon taken away, as the window goes.
void HideTrayIcon(HWND window);

// A mouse message over the clock's icon: a right press opens the menu, whose
// choice comes back to the window as WM_COMMAND.
void OnTrayNotify(HWND window, WPARAM id, LPARAM mouseMessage);

#endif
