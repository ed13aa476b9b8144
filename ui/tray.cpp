#include "tray.h"

#include <shellapi.h>
#include <string.h>

#include "resource.h"

#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "first form of the 32-bit notify-icon record");
#endif

// The first form of the record: every shell understands it.
static NOTIFYICONDATAA TrayRecord(HWND window, UINT id)
{
    NOTIFYICONDATAA record;
    memset(&record, 0, sizeof(record));
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = window;
    record.uID = id;
    return record;
}

BOOL AddTrayIcon(HWND window, UINT id, HICON icon, const char* tip)
{
    NOTIFYICONDATAA record = TrayRecord(window, id);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = icon;
    if (tip) {
        // The first form holds 64 bytes; keep the terminator.
        strncpy(record.szTip, tip, 63);
        record.szTip[63] = '\0';
    }
    BOOL added = Shell_NotifyIconA(NIM_ADD, &record);
    if (icon)
        DestroyIcon(icon);
    return added;
}

BOOL RemoveTrayIcon(HWND window, UINT id)
{
    NOTIFYICONDATAA record = TrayRecord(window, id);
    return Shell_NotifyIconA(NIM_DELETE, &record);
}

static const char kTrayTip[] = "Hello World!";

// The shell may not take the icon at once: at log-on its notification area
// may not be ready yet, and a busy shell can time out. Without the icon and
// without a taskbar button nothing would reach the clock, so it asks again
// every 2 seconds for 2 minutes.
static const UINT kTrayRetryMs = 2000;
static const int kTrayTries = 60;
static int trayTriesLeft;

HICON LoadTrayIcon()
{
    // Of the icon's sizes, the one the notification area shows at the system's DPI.
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_CLOCK), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
}

// The icon loaded at start-up is destroyed by the first add: later ones load it again.
static bool AddClockIcon(HWND window, HICON icon)
{
    if (!icon)
        icon = LoadTrayIcon();
    return AddTrayIcon(window, IDI_CLOCK, icon, kTrayTip) != FALSE;
}

static void StopTrayRetry(HWND window)
{
    trayTriesLeft = 0;
    KillTimer(window, IDT_TRAY_RETRY);
}

void ShowTrayIcon(HWND window, HICON icon)
{
    if (AddClockIcon(window, icon)) {
        StopTrayRetry(window);
    } else {
        trayTriesLeft = kTrayTries;
        SetTimer(window, IDT_TRAY_RETRY, kTrayRetryMs, NULL);
    }
}

void RetryTrayIcon(HWND window)
{
    if (trayTriesLeft > 0 && (AddClockIcon(window, NULL) || --trayTriesLeft == 0))
        StopTrayRetry(window);
}

void HideTrayIcon(HWND window)
{
    StopTrayRetry(window);
    RemoveTrayIcon(window, IDI_CLOCK);
}

void OnTrayNotify(HWND window, WPARAM id, LPARAM mouseMessage)
{
    if (id != IDI_CLOCK || mouseMessage != WM_RBUTTONDOWN)
        return;
    POINT cursor;
    GetCursorPos(&cursor);
    // Loaded afresh for every opening, and let go of once it closes.
    HMENU menu = LoadMenuA(NULL, MAKEINTRESOURCEA(IDR_TRAY_MENU));
    HMENU popup = GetSubMenu(menu, 0);
    if (popup) {
        // The window must be foreground before the menu opens, or the menu
        // does not close when the user clicks elsewhere; the null message
        // after it lets the next opening stay open.
        SetForegroundWindow(window);
        TrackPopupMenuEx(popup, TPM_LEFTBUTTON, cursor.x, cursor.y, window, NULL);
        PostMessageA(window, WM_NULL, 0, 0);
    }
    DestroyMenu(menu);
}
