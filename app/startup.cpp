#include "clock_app.h"

#include "face/clock_face.h"
#include "resource.h"
#include "ui/clock_window.h"
#include "ui/tray.h"

#ifndef _WIN64
static_assert(sizeof(WNDCLASSEXA) == 48, "class record of the 32-bit platform");
#endif

ClockApp clockApp;

const char kClockClassName[] = "MyWin";

void ReportError(HWND owner, const char* text, UINT icon)
{
    MessageBoxA(owner, text, "Error", MB_OK | icon);
}

ATOM RegisterClockClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = ClockWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_CLOCK));
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kClockClassName;
    return RegisterClassExA(&windowClass);
}

HWND CreateClockWindow(HINSTANCE instance)
{
    clockApp.mainWindow = CreateWindowExA(0, kClockClassName, "", WS_POPUPWINDOW,
                                          CW_USEDEFAULT, CW_USEDEFAULT, 320, 240,
                                          NULL, NULL, instance, NULL);
    return clockApp.mainWindow;
}

void StartClockTimers(HWND window)
{
    SetTimer(window, IDT_SECOND, 1000, NULL);
    SetTimer(window, IDT_MINUTE, 60000, NULL);
}

bool LoadClockSkin(HINSTANCE instance)
{
    clockApp.skinBitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(IDB_SKIN));
    if (!clockApp.skinBitmap)
        return false;
    clockApp.skinDC = CreateCompatibleDC(NULL);
    clockApp.skinDCPrevious = SelectObject(clockApp.skinDC, clockApp.skinBitmap);
    return true;
}

// The system sends WM_DPICHANGED, never posts it: one taken from the queue
// came from another program, with a place that is no address here. It is
// made a WM_NULL as it is taken, by whichever loop takes it: the tray menu
// and the boxes run loops of their own, which dispatch the clock's messages
// too.
static LRESULT CALLBACK DropPostedDpiChange(int code, WPARAM wParam, LPARAM lParam)
{
    MSG* message = reinterpret_cast<MSG*>(lParam);
    if (code == HC_ACTION && message->message == WM_DPICHANGED)
        message->message = WM_NULL;
    return CallNextHookEx(NULL, code, wParam, lParam);
}

int RunMessageLoop()
{
    HHOOK dropping = SetWindowsHookExA(WH_GETMESSAGE, DropPostedDpiChange, NULL, GetCurrentThreadId());
    // The face changes once a second at most, so the loop sleeps whenever the
    // queue is empty instead of polling it; timers and input wake it up.
    MSG message;
    for (;;) {
        if (!PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
            WaitMessage();
            continue;
        }
        if (message.message == WM_QUIT) {
            UnhookWindowsHookEx(dropping);
            return static_cast<int>(message.wParam);
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void ReleaseClockApp()
{
    SelectObject(clockApp.skinDC, clockApp.skinDCPrevious);
    DeleteObject(clockApp.skinBitmap);
    DeleteDC(clockApp.skinDC);
    // After a close by the system the window is gone already and this does nothing.
    DestroyWindow(clockApp.mainWindow);
    clockApp.skinBitmap = NULL;
    clockApp.skinDC = NULL;
    clockApp.skinDCPrevious = NULL;
    clockApp.mainWindow = NULL;
}

// Run from a folder full of downloads, the clock must not load a DLL that was
// planted beside it: DLLs are looked for in the system folder only. Windows
// before 8 (without update KB2533623) lacks the call, so it is looked up
// rather than imported, and there the usual search stays.
static void LimitDllSearch()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesCall)(DWORD);
    FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    SetDefaultDllDirectoriesCall setDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void (*)()>(found));
    if (setDirectories)
        setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int RunClock(HINSTANCE instance, int showCommand)
{
    LimitDllSearch();
    ShowVersionNotice();
    clockApp.trayIcon = LoadTrayIcon();

    if (!RegisterClockClass(instance)) {
        ReportError(NULL, "Could not register the window class.", MB_ICONERROR);
        return -1;
    }
    // Without a window nothing could ever end the message loop.
    if (!CreateClockWindow(instance)) {
        ReportError(NULL, "Could not create the main window.", MB_ICONERROR);
        return -1;
    }
    StartClockTimers(clockApp.mainWindow);

    if (!LoadClockSkin(instance)) {
        ReportError(clockApp.mainWindow, "Failed to load the skin bitmap!", MB_OK);
        // Destroying the window takes its tray icon and timers with it.
        DestroyWindow(clockApp.mainWindow);
        return -1;
    }

    // The first paint comes before the first tick: read the time now, or the
    // face would show both needles at 12 for up to a second.
    ReadClockNow(clockApp.mainWindow);
    ShowWindow(clockApp.mainWindow, showCommand);
    UpdateWindow(clockApp.mainWindow);

    int exitCode = RunMessageLoop();
    ReleaseClockApp();
    return exitCode;
}
