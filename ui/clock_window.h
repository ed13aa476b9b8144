#ifndef DESKCLOCK_CLOCK_WINDOW_H
#define DESKCLOCK_CLOCK_WINDOW_H

#include <windows.h>

LRESULT CALLBACK ClockWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Starts a program without waiting for it; replaceable so that a test can see
// what would be started without starting it.
typedef bool (*ProcessLauncher)(const char* application, char* commandLine, const char* folder);
extern ProcessLauncher launchProcess;
bool LaunchProcess(const char* application, char* commandLine, const char* folder);

#endif
