#ifndef DESKCLOCK_TRAY_H
#define DESKCLOCK_TRAY_H

#include <windows.h>

// What the shell sends the window when the mouse acts on the clock's tray icon.
#define WM_TRAYNOTIFY (WM_APP + 100)

#endif
