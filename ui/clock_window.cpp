#include "clock_window.h"

#include <string.h>

#include "app/clock_app.h"
#include "face/clock_face.h"
#include "face/clock_hands.h"
#include "face/dial.h"
#include "accessible.h"
#include "resource.h"
#include "tray.h"

ProcessLauncher launchProcess = LaunchProcess;

bool LaunchProcess(const char* application, char* commandLine, const char* folder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION process;
    if (!CreateProcessA(application, commandLine, NULL, NULL, FALSE, 0, NULL, folder,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// A bare "rundll32.exe" would be looked for in the program's folder and the
// current folder before the system's, so a planted copy there would run: name
// the system's own by its full path. The panel itself looks for timedate.cpl
// in its current folder where the system has none: started in the system
// folder, nothing left in the clock's folder can stand in for it.
static void StartDateTimePanel()
{
    static const char kRundll[] = "\\rundll32.exe";
    char folder[MAX_PATH];
    char application[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length + sizeof(kRundll) > sizeof(application))
        return;
    memcpy(application, folder, length);
    memcpy(application + length, kRundll, sizeof(kRundll));
    char commandLine[] = "rundll32.exe shell32.dll,Control_RunDLL timedate.cpl";
    launchProcess(application, commandLine, folder);
}

// The DPI the system started with, which its fonts and metrics are made for.
static int SystemDpi()
{
    HDC screen = GetDC(NULL);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(NULL, screen);
    return dpi;
}

// The DPI of the screen the window is on. Before Windows 10 there is one
// for the whole system.
static UINT WindowDpi(HWND window)
{
    typedef UINT(WINAPI * GetDpiForWindowCall)(HWND);
    FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow");
    GetDpiForWindowCall getDpi = reinterpret_cast<GetDpiForWindowCall>(reinterpret_cast<void (*)()>(found));
    UINT dpi = getDpi ? getDpi(window) : 0;
    if (dpi == 0)
        dpi = SystemDpi();
    return dpi ? dpi : 96;
}

static void ReleaseControlFont()
{
    DeleteObject(clockApp.controlFont);
    clockApp.controlFont = NULL;
}

// At 96 DPI on a 96-DPI system the controls keep the system's own font. That
// face is a raster one, with glyphs of one size only: asked for larger, one
// system enlarges them blocky, another draws the small ones spaced apart. At
// any other DPI the controls get an outline face of the same character, bold
// sans-serif, made at that size; every Windows from Vista has Tahoma, and so
// has Wine with only its own fonts. Null where the system's own will do.
static HFONT MakeControlFont()
{
    if (clockApp.dpi == 96 && SystemDpi() == 96)
        return NULL;
    LOGFONTA font = {};
    // The system font's cell at 96 DPI.
    font.lfHeight = ScaleToDpi(16, clockApp.dpi);
    font.lfWeight = FW_BOLD;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_ONLY_PRECIS;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    lstrcpyA(font.lfFaceName, "Tahoma");
    return CreateFontIndirectA(&font);
}

// Each control is 90 x 15 at x 115 and a y of its own, at 96 DPI: its
// place at the window's DPI.
struct ControlPlace {
    int x, y, width, height;
};

static ControlPlace PlaceOf(int id)
{
    int y = id == IDC_EXIT ? 90 : id == IDC_ADJUST_TIME ? 105 : 120;
    ControlPlace place = { ScaleToDpi(115, clockApp.dpi), ScaleToDpi(y, clockApp.dpi), ScaleToDpi(90, clockApp.dpi),
                           ScaleToDpi(15, clockApp.dpi) };
    return place;
}

static HWND CreateChild(HWND parent, const char* className, const char* text, DWORD style, int id)
{
    ControlPlace place = PlaceOf(id);
    HWND control = CreateWindowExA(0, className, text, style, place.x, place.y, place.width, place.height, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), NULL, NULL);
    if (control && clockApp.controlFont)
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(clockApp.controlFont), FALSE);
    return control;
}

static void CreateClockControls(HWND window)
{
    clockApp.controlFont = MakeControlFont();
    clockApp.adjustButton = CreateChild(window, "BUTTON", "Adjust Time", WS_CHILD | WS_VISIBLE, IDC_ADJUST_TIME);
    if (!clockApp.adjustButton)
        ReportError(window, "Could not create push button.", MB_ICONERROR);
    clockApp.exitButton = CreateChild(window, "BUTTON", "Exit", WS_CHILD | WS_VISIBLE, IDC_EXIT);
    if (!clockApp.exitButton)
        ReportError(window, "Could not create push button.", MB_ICONERROR);
    CreateChild(window, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_CENTER, IDC_READOUT);
    clockApp.readout = GetDlgItem(window, IDC_READOUT);
    if (!clockApp.readout)
        ReportError(window, "Could not create static text control.", MB_ICONERROR);
}

// The controls moved and given their font for a new DPI.
static void PlaceClockControls()
{
    HFONT font = MakeControlFont();
    HWND controls[] = { clockApp.adjustButton, clockApp.exitButton, clockApp.readout };
    for (HWND control : controls) {
        ControlPlace place = PlaceOf(GetDlgCtrlID(control));
        SetWindowPos(control, NULL, place.x, place.y, place.width, place.height, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    // Only once no control uses it.
    ReleaseControlFont();
    clockApp.controlFont = font;
}

// Up hides the controls, Down shows them; a control already in the wanted
// state is left alone.
static void ShowClockControls(bool show)
{
    HWND controls[] = { clockApp.adjustButton, clockApp.exitButton, clockApp.readout };
    for (HWND control : controls) {
        if ((IsWindowVisible(control) != FALSE) != show)
            ShowWindow(control, show ? SW_SHOW : SW_HIDE);
    }
}

static void LoadNeedles(HWND window)
{
    // The needles are loaded from the running module itself, which a test
    // executable carries as well.
    HINSTANCE module = GetModuleHandleA(NULL);
    clockApp.minuteNeedle = LoadBitmapA(module, MAKEINTRESOURCEA(IDB_MINUTE_NEEDLE));
    clockApp.hourNeedle = LoadBitmapA(module, MAKEINTRESOURCEA(IDB_HOUR_NEEDLE));
    if (!clockApp.minuteNeedle && !clockApp.hourNeedle)
        ReportError(window, "Failed to load the Needle bitmaps!", MB_OK);
}

// Sent to every top-level window when the shell (re)starts its taskbar.
static UINT taskbarCreated;

static void OnCreate(HWND window)
{
    clockApp.dpi = WindowDpi(window);
    taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ShowTrayIcon(window, clockApp.trayIcon);
    ApplyClockShape(window);
    CreateClockControls(window);
    ShowWindow(clockApp.adjustButton, SW_HIDE);
    ShowWindow(clockApp.exitButton, SW_HIDE);
    ShowWindow(clockApp.readout, SW_HIDE);
    LoadNeedles(window);
    clockApp.minuteMask = CreateNeedleMask(clockApp.minuteNeedle, RGB(255, 255, 255));
    clockApp.hourMask = CreateNeedleMask(clockApp.hourNeedle, RGB(255, 255, 255));
    if (!clockApp.minuteMask && !clockApp.hourMask)
        ReportError(window, "Could not create masks!", MB_ICONWARNING);
    MakeClockDial(window);
    CreateFaceBuffer(window);
}

// Moved to a screen of another DPI, the clock takes the place the system
// suggests, and its size, shape, controls, dial and needles are made anew.
// The system sends this, never posts it, always with that place and a DPI a
// screen can have, 96 to 480 (100 % to 500 %). One without a place, or of
// another DPI, is none of the system's: it changes nothing. (One posted never
// reaches here: the message loop's hook drops it, in menus and boxes too.)
static void OnDpiChanged(HWND window, WPARAM dpis, const RECT* suggested)
{
    UINT dpi = LOWORD(dpis);
    if (!suggested || dpi < 96 || dpi > 480 || HIWORD(dpis) != dpi)
        return;
    clockApp.dpi = dpi;
    SetWindowPos(window, NULL, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyClockShape(window);
    PlaceClockControls();
    MakeClockDial(window);
    ReleaseFaceBuffer();
    CreateFaceBuffer(window);
    InvalidateRect(window, NULL, TRUE);
}

static void DeleteBitmap(HBITMAP* bitmap)
{
    DeleteObject(*bitmap);
    *bitmap = NULL;
}

static void OnDestroy(HWND window)
{
    HideTrayIcon(window);
    KillTimer(window, IDT_SECOND);
    KillTimer(window, IDT_MINUTE);
    DeleteBitmap(&clockApp.minuteNeedle);
    DeleteBitmap(&clockApp.minuteMask);
    DeleteBitmap(&clockApp.hourNeedle);
    DeleteBitmap(&clockApp.hourMask);
    ReleaseTurnedNeedles();
    ReleaseFaceBuffer();
    ReleaseClockDial();
    ReleaseClockAccessible();
    PostQuitMessage(0);
}

static void OnKeyDown(WPARAM key)
{
    switch (key) {
    case VK_ESCAPE: PostQuitMessage(0); break;
    case VK_UP:     ShowClockControls(false); break;
    case VK_DOWN:   ShowClockControls(true); break;
    }
}

// Buttons and menu items with the same id act alike: only the id is read.
static void OnCommand(HWND window, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_ADJUST_TIME:
        StartDateTimePanel();
        // The time may have been changed: repaint at the next second.
        clockState.repaintPending = true;
        // A click leaves the keyboard focus on the button, where Esc and the
        // arrow keys would no longer reach the clock.
        SetFocus(window);
        break;
    case IDC_EXIT:
    case IDM_EXIT:        PostQuitMessage(0); break;
    case IDM_ABOUT:
        MessageBoxA(NULL, "deskclock, by the deskclock authors.\n\n  You can reach me at\n"
                          "deskclock@example.org", "Thank You!", MB_OK);
        break;
    }
}

static void OnTimer(HWND window, WPARAM timer)
{
    if (timer == IDT_TRAY_RETRY)
        RetryTrayIcon(window);
    else
        UpdateClockHands(window, timer);
}

LRESULT CALLBACK ClockWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // A restarted shell has lost every tray icon, and without a taskbar button
    // the tray is the only way to reach the clock: the icon is put back.
    if (message == taskbarCreated && taskbarCreated) {
        ShowTrayIcon(window, NULL);
        return 0;
    }
    switch (message) {
    case WM_CREATE:  OnCreate(window); return 0;
    case WM_DESTROY: OnDestroy(window); return 0;
    case WM_PAINT:   PaintClockFace(window); return 0;
    // The face covers the whole client area: an erase would only flash white.
    case WM_ERASEBKGND: return 1;
    case WM_KEYDOWN: OnKeyDown(wParam); return 0;
    case WM_COMMAND: OnCommand(window, wParam); return 0;
    case WM_TIMER:   OnTimer(window, wParam); return 0;
    // A press anywhere on the face moves the window, as a press on a caption would.
    case WM_LBUTTONDOWN:
        SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
        return 0;
    case WM_GETOBJECT: return AnswerGetObject(window, wParam, lParam);
    case WM_TRAYNOTIFY: OnTrayNotify(window, wParam, lParam); return 0;
    // Read at once, as the next second's tick would: a new hour at the same
    // minute would otherwise wait for the minute timer.
    case WM_TIMECHANGE: UpdateClockHands(window, IDT_SECOND); return 0;
    // The controls have gone by now: their font can go too.
    case WM_NCDESTROY: ReleaseControlFont(); break;
    case WM_DPICHANGED:
        OnDpiChanged(window, wParam, reinterpret_cast<const RECT*>(lParam));
        return 0;
    // A display or work-area change may leave the clock where no monitor
    // shows it; the platform then handles the message as it would anyway.
    case WM_DISPLAYCHANGE: KeepClockOnScreen(window); break;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETWORKAREA)
            KeepClockOnScreen(window);
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
