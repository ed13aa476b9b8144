// How often the running clock wakes up: the messages its loop takes from the
// queue over a stretch of idle time, and the processor time that costs.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "app/clock_app.h"

static LONG taken;

static LRESULT CALLBACK CountTaken(int code, WPARAM removal, LPARAM message)
{
    if (code == HC_ACTION && removal == PM_REMOVE)
        ++taken;
    return CallNextHookEx(NULL, code, removal, message);
}

static VOID CALLBACK EndStretch(HWND, UINT, UINT_PTR, DWORD)
{
    PostQuitMessage(0);
}

static ULONGLONG ThreadBusy()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return ((ULONGLONG(kernel.dwHighDateTime) << 32) | kernel.dwLowDateTime) +
           ((ULONGLONG(user.dwHighDateTime) << 32) | user.dwLowDateTime);
}

int main(int argc, char** argv)
{
    int seconds = argc > 1 ? atoi(argv[1]) : 60;
    HINSTANCE instance = GetModuleHandleA(NULL);
    if (!RegisterClockClass(instance) || !CreateClockWindow(instance) || !LoadClockSkin(instance))
        return 1;
    StartClockTimers(clockApp.mainWindow);
    ShowWindow(clockApp.mainWindow, SW_SHOW);
    UpdateWindow(clockApp.mainWindow);

    // Ends the loop after the stretch; this timer and its quit are not the clock's.
    SetTimer(NULL, 0, static_cast<UINT>(seconds) * 1000u, EndStretch);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, CountTaken, NULL, GetCurrentThreadId());
    ULONGLONG busyBefore = ThreadBusy();
    RunMessageLoop();
    ULONGLONG busy = ThreadBusy() - busyBefore;
    UnhookWindowsHookEx(hook);

    double minutes = seconds / 60.0;
    double wakeups = (taken - 2) / minutes;
    printf("wake-ups of the clock: %.1f per minute (%ld messages over %d s), loop CPU %.3f s\n",
           wakeups, static_cast<long>(taken - 2), seconds, busy / 1e7);
    ReleaseClockApp();
    return 0;
}
