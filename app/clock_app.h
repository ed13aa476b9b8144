#ifndef DESKCLOCK_CLOCK_APP_H
#define DESKCLOCK_CLOCK_APP_H

#include <windows.h>

// The handles the clock holds for the life of the process. Start-up owns the
// window, the skin and its memory context; the window procedure owns the child
// controls, the needles, their masks and the off-screen face from WM_CREATE
// to WM_DESTROY.
struct ClockApp {
    HWND mainWindow;
    HICON trayIcon;
    HBITMAP skinBitmap;
    HDC skinDC;
    HGDIOBJ skinDCPrevious;

    HWND adjustButton;
    HWND exitButton;
    HWND readout;
    HBITMAP minuteNeedle;
    HBITMAP hourNeedle;
    HBITMAP minuteMask;
    HBITMAP hourMask;
    // The face is composed here, off the screen, and shown with one blit.
    HBITMAP faceBitmap;
    HDC faceDC;
    HGDIOBJ faceDCPrevious;

    // The DPI the window is drawn for, and what is made for it where that is
    // not 96: the dial drawn at its size, and the controls' font.
    UINT dpi;
    HBITMAP dialBitmap;
    HDC dialDC;
    HGDIOBJ dialDCPrevious;
    HFONT controlFont;
};

extern ClockApp clockApp;

extern const char kClockClassName[];

// Start-up, in the order RunClock makes them. Each is separate so that a test
// can build the same window without running the whole program.
ATOM RegisterClockClass(HINSTANCE instance);
HWND CreateClockWindow(HINSTANCE instance);
void StartClockTimers(HWND window);
bool LoadClockSkin(HINSTANCE instance);
int RunMessageLoop();
void ReleaseClockApp();

// The whole program: start-up, loop, tear-down. Returns the exit code.
int RunClock(HINSTANCE instance, int showCommand);

// Names the platform in a box before anything else happens.
void ShowVersionNotice();

// The one way the clock reports a failure: a modal box with a one-line text.
void ReportError(HWND owner, const char* text, UINT icon);

#endif
