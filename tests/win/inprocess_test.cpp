// The clock's code on the real Win32 API in this process, its imports patched to record, fail or simulate.
#include "support.h"

#include <shellapi.h>
#include <winternl.h>

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>

#include "app/clock_app.h"
#include "face/clock_face.h"
#include "face/clock_hands.h"
#include "resource.h"
#include "ui/accessible.h"
#include "ui/clock_window.h"
#include "ui/tray.h"

namespace {

// Points this executable's import of a function at a stand-in.
template <typename Function>
void Patch(const char* dll, const char* name, Function replacement, Function* real)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(NULL));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); module->Name; ++module) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; !lstrcmpiA(reinterpret_cast<char*>(base + module->Name), dll) && names->u1.AddressOfData; ++names, ++slot) {
            auto* imported = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) || strcmp(imported->Name, name) != 0)
                continue;
            DWORD protection;
            VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
            *real = reinterpret_cast<Function>(slot->u1.Function);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            return;
        }
    }
    fprintf(stderr, "%s is not imported\n", name);
    abort();
}

// Dispatches all pending, as the clock's loop would: a quit request's code, or -1.
int Pump()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            return static_cast<int>(message.wParam);
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return -1;
}

struct NotifyCall { DWORD message; NOTIFYICONDATAA record; bool iconAlive; };
std::vector<NotifyCall> notifyCalls;
// A shell not ready refuses icons, for this long (ms) from then; refused adds are counted, not recorded.
DWORD shellDownSince, shellDownFor;
int refusedAdds;
BOOL(WINAPI* realNotify)(DWORD, PNOTIFYICONDATAA);
BOOL WINAPI RecordNotify(DWORD message, PNOTIFYICONDATAA data)
{
    if (message == NIM_ADD && GetTickCount() - shellDownSince < shellDownFor) {
        ++refusedAdds;
        return FALSE;
    }
    HICON copy = CopyIcon(data->hIcon);  // none of an icon destroyed already
    notifyCalls.push_back({ message, {}, copy != NULL });
    DestroyIcon(copy);
    memcpy(&notifyCalls.back().record, data, std::min<size_t>(data->cbSize, sizeof(NOTIFYICONDATAA)));
    return realNotify(message, data);
}

std::vector<HMENU> menusLoaded;
HMENU(WINAPI* realLoadMenu)(HINSTANCE, LPCSTR);
HMENU WINAPI RecordLoadMenu(HINSTANCE module, LPCSTR name)
{
    menusLoaded.push_back(realLoadMenu(module, name));
    return menusLoaded.back();
}

UINT_PTR missingBitmaps[2];
HBITMAP(WINAPI* realLoadBitmap)(HINSTANCE, LPCSTR);
HBITMAP WINAPI LoadBitmapUnlessMissing(HINSTANCE module, LPCSTR name)
{
    UINT_PTR id = reinterpret_cast<UINT_PTR>(name);
    return id == missingBitmaps[0] || id == missingBitmaps[1] ? NULL : realLoadBitmap(module, name);
}

// Blits onto the watched window, and start-up's first frame's minute angle.
HWND watched;
int windowBlits;
int firstFrameMinute = -1;
BOOL(WINAPI* realBitBlt)(HDC, int, int, int, int, HDC, int, int, DWORD);
BOOL WINAPI CountBitBlt(HDC dc, int x, int y, int width, int height, HDC from, int fromX, int fromY, DWORD rop)
{
    windowBlits += watched && WindowFromDC(dc) == watched;
    if (firstFrameMinute < 0 && clockApp.mainWindow && WindowFromDC(dc) == clockApp.mainWindow)
        firstFrameMinute = clockState.minuteAngle;
    return realBitBlt(dc, x, y, width, height, from, fromX, fromY, rop);
}

// A peek that finds nothing must be followed by a wait before the next, or the loop polls.
bool waitOwed;
int polls;
BOOL(WINAPI* realPeekMessage)(MSG*, HWND, UINT, UINT, UINT);
BOOL WINAPI CountPeekMessage(MSG* message, HWND window, UINT first, UINT last, UINT remove)
{
    BOOL found = realPeekMessage(message, window, first, last, remove);
    polls += !found && waitOwed;
    waitOwed = !found;
    return found;
}
// Named here too, so that it is imported even by a loop that never waits.
BOOL(WINAPI* realWaitMessage)() = WaitMessage;
BOOL WINAPI CountWaitMessage()
{
    waitOwed = false;
    return realWaitMessage();
}

std::map<UINT_PTR, UINT> timerPeriods;
UINT_PTR(WINAPI* realSetTimer)(HWND, UINT_PTR, UINT, TIMERPROC);
UINT_PTR WINAPI RecordSetTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC call)
{
    return realSetTimer(window, id, timerPeriods[id] = period, call);
}

// Events the clock's window raises for screen readers, as "event,object,child".
std::vector<std::string> winEvents;
void(WINAPI* realNotifyWinEvent)(DWORD, HWND, LONG, LONG);
void WINAPI RecordWinEvent(DWORD event, HWND window, LONG object, LONG child)
{
    if (window == clockApp.mainWindow)
        winEvents.push_back(std::to_string(event) + "," + std::to_string(object) + "," + std::to_string(child));
    realNotifyWinEvent(event, window, object, child);
}

SYSTEMTIME simulatedTime;
void(WINAPI* realGetLocalTime)(SYSTEMTIME*);
void WINAPI SimulatedLocalTime(SYSTEMTIME* time) { *time = simulatedTime; }

// Each box as "caption: text", answered at once; the start-up notice is not kept.
std::vector<std::string> boxes;
int(WINAPI* realMessageBox)(HWND, LPCSTR, LPCSTR, UINT);
int WINAPI RecordBox(HWND, LPCSTR text, LPCSTR caption, UINT)
{
    if (strcmp(caption, "Version") != 0)
        boxes.push_back(std::string(caption) + ": " + text);
    return IDOK;
}

// Each launch as "application|command line".
std::vector<std::string> launches;
bool RecordLaunch(const char* application, char* commandLine, const char* folder)
{
    launches.push_back(std::string(application) + "|" + commandLine + "|" + (folder ? folder : "(the clock's)"));
    return true;
}

struct StandIns {
    StandIns()
    {
        Patch("shell32.dll", "Shell_NotifyIconA", RecordNotify, &realNotify);
        Patch("user32.dll", "LoadMenuA", RecordLoadMenu, &realLoadMenu);
        Patch("user32.dll", "LoadBitmapA", LoadBitmapUnlessMissing, &realLoadBitmap);
        Patch("kernel32.dll", "GetLocalTime", SimulatedLocalTime, &realGetLocalTime);
        Patch("gdi32.dll", "BitBlt", CountBitBlt, &realBitBlt);
        Patch("user32.dll", "PeekMessageA", CountPeekMessage, &realPeekMessage);
        Patch("user32.dll", "WaitMessage", CountWaitMessage, &realWaitMessage);
        Patch("user32.dll", "MessageBoxA", RecordBox, &realMessageBox);
        Patch("user32.dll", "SetTimer", RecordSetTimer, &realSetTimer);
        Patch("user32.dll", "NotifyWinEvent", RecordWinEvent, &realNotifyWinEvent);
        launchProcess = RecordLaunch;
    }
} standIns;

// What a test saw of each tray menu, which it cancels as soon as it opens, or ends with an item's key.
struct OpenedMenu { HWND foreground; std::vector<std::string> items; };
std::vector<OpenedMenu> menusOpened;
char menuKey;
WNDPROC clockProc;

LRESULT CALLBACK ScriptedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITMENUPOPUP) {
        HMENU menu = reinterpret_cast<HMENU>(wParam);
        OpenedMenu opened = { GetForegroundWindow(), {} };
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            char text[32] = "";
            GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
            opened.items.push_back(text);
        }
        menusOpened.push_back(opened);
        // As Wine's own menu tests do: queued for the menu's own loop.
        PostMessageA(window, menuKey ? WM_CHAR : WM_CANCELMODE, menuKey, 0);
    }
    return CallWindowProcA(clockProc, window, message, wParam, lParam);
}

// Wine keeps the process's GDI objects in a table that the process block
// points to: entries of 24 bytes, a live one with its type at byte 14.
int GdiObjects()
{
    PROCESS_BASIC_INFORMATION process;
    NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof(process), NULL);
    const BYTE* table = *reinterpret_cast<BYTE**>(reinterpret_cast<BYTE*>(process.PebBaseAddress) +
                                                  (sizeof(void*) == 8 ? 0xF8 : 0x94));
    int count = 0;
    for (int i = 0; table && i < 0x10000; ++i)
        count += table[i * 24 + 14] != 0;
    return count;
}

// The clock window made as start-up makes it, shown and pumped, at a simulated 10:24:31.
class Clock : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_NE(0, RegisterClockClass(GetModuleHandleA(NULL)));
        ASSERT_TRUE(LoadClockSkin(GetModuleHandleA(NULL)));
    }

    static void TearDownTestSuite()
    {
        ReleaseClockApp();
        UnregisterClassA(kClockClassName, GetModuleHandleA(NULL));
    }

    void SetUp() override
    {
        clockState = ClockState{ 0, 0.0f, true, "", "", "" };
        simulatedTime = SYSTEMTIME{ 2024, 3, 5, 15, 10, 24, 31, 0 };
        notifyCalls.clear();
        launches.clear();
        menuKey = 0;
        clockApp.trayIcon = CopyIcon(LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_CLOCK)));
        window = CreateClockWindow(GetModuleHandleA(NULL));
        ASSERT_NE(nullptr, window);
        ShowWindow(window, SW_SHOW);
        Pump();
    }

    void TearDown() override
    {
        DestroyWindow(window);  // if not gone already
        Pump();
    }

    HWND Child(int id) { return GetDlgItem(window, id); }
    void Tick(UINT_PTR timer) { SendMessageA(window, WM_TIMER, timer, 0); }

    HWND window = nullptr;
};

void CALLBACK PressEsc(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(NULL, timer);
    PostMessageA(clockApp.mainWindow, WM_KEYDOWN, VK_ESCAPE, 1);
}

TEST_F(Clock, TicksWriteTheTimeAndRepaintAsTheirTimerOrAdjustTimeCallsForAndTheLoopSleepsUntilEsc)
{
    auto needsPaint = [this] { return GetUpdateRect(window, NULL, FALSE) != FALSE; };
    Tick(999);
    EXPECT_EQ("10:24:31", WindowText(Child(IDC_READOUT)));
    EXPECT_EQ("M:144", WindowText(Child(IDC_EXIT)));
    EXPECT_EQ("H:312.0", WindowText(Child(IDC_ADJUST_TIME)));
    EXPECT_FALSE(needsPaint()) << "not a timer of the clock's";
    const struct { UINT_PTR timer; WORD hour, minute; bool repaint; } ticks[] = {
        { IDT_SECOND, 10, 24, true },  // owed since start
        { IDT_SECOND, 10, 24, false },
        { IDT_MINUTE, 10, 24, true },
        { IDT_SECOND, 10, 25, true },  // the minute turned between two minute ticks
        { IDT_SECOND, 10, 25, false },
        { IDT_SECOND, 11, 25, true },  // an hour on at the same minute: a new zone, summer time
        { WM_TIMECHANGE, 10, 25, true },  // told of a change: read at once
        { IDT_SECOND, 10, 25, false },
    };
    for (const auto& tick : ticks) {
        simulatedTime.wHour = tick.hour;
        simulatedTime.wMinute = tick.minute;
        tick.timer == WM_TIMECHANGE ? (void)SendMessageA(window, WM_TIMECHANGE, 0, 0) : Tick(tick.timer);
        EXPECT_EQ(tick.repaint, needsPaint()) << tick.timer << " at " << tick.hour << ":" << tick.minute;
        ValidateRect(window, NULL);
    }

    // Adjust Time starts the system's panel, owes a repaint and leaves the keys with the clock.
    SetForegroundWindow(window);
    SendMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
    SendMessageA(Child(IDC_ADJUST_TIME), BM_CLICK, 0, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_ADJUST_TIME, 1), 0);  // the id is all that counts
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::string panel = std::string(system) + "\\rundll32.exe|rundll32.exe shell32.dll,Control_RunDLL timedate.cpl|" + system;
    EXPECT_EQ((std::vector<std::string>{ panel, panel }), launches);
    EXPECT_EQ(window, GetFocus());
    Tick(IDT_SECOND);
    EXPECT_TRUE(needsPaint());
    // The loop sleeps until a message comes, and Esc ends it.
    SetTimer(NULL, 0, 200, PressEsc);
    polls = 0;
    waitOwed = false;
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_EQ(0, polls) << "peeks at an empty queue without waiting";
}

// A screen reader hears a clock named deskclock whose value is the time it shows in the user's format, and is told
// when the minute moves on. Past the window, the object it holds answers errors and goes with its last holder.
TEST_F(Clock, AScreenReaderHearsAClockItsNameAndTheMinuteItShowsUntilTheWindowGoes)
{
    CoInitialize(NULL);
    IAccessible *object = NULL, *probe = NULL;
    // Handed over as to a reader where the platform hands any object over; else as the window procedure hands it.
    CreateStdAccessibleObject(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&probe));
    LRESULT handed = LresultFromObject(IID_IAccessible, 0, probe);
    probe->Release();
    if (SUCCEEDED(handed) && ObjectFromLresult(handed, IID_IAccessible, 0, reinterpret_cast<void**>(&probe)) == S_OK) {
        probe->Release();
        handed = SendMessageA(window, WM_GETOBJECT, 0, OBJID_CLIENT);
        ASSERT_EQ(S_OK, ObjectFromLresult(handed, IID_IAccessible, 0, reinterpret_cast<void**>(&object)));
    } else {
        ASSERT_EQ(S_OK, AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&probe)));
        EXPECT_EQ(std::to_wstring(ROLE_SYSTEM_CLIENT), Said(probe, "r")) << "the system's own, as the clock's cannot go";
        probe->Release();
        (object = ClockAccessible(window))->AddRef();
    }
    EXPECT_EQ(std::to_wstring(ROLE_SYSTEM_CLOCK) + L"|deskclock|" + ShortTime(simulatedTime) + L"|3", Said(object, "rnvc"));
    winEvents.clear();
    Tick(IDT_MINUTE);  // the window's first reading: nothing to tell
    Tick(IDT_MINUTE);
    simulatedTime.wMinute = 25;
    EXPECT_EQ(ShortTime(simulatedTime), Said(object, "v")) << "read when asked";
    Tick(IDT_MINUTE);
    EXPECT_EQ(std::vector<std::string>{ std::to_string(EVENT_OBJECT_VALUECHANGE) + ",-4,0" }, winEvents)
        << "a value change, once, of the client area itself";
    SetFocus(window);
    EXPECT_EQ(std::to_wstring(STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_FOCUSED), Said(object, "s"));
    SetFocus(NULL);
    EXPECT_EQ(std::to_wstring(STATE_SYSTEM_FOCUSABLE), Said(object, "s"));
    DestroyWindow(window);
    EXPECT_EQ(L"(failed)|(failed)|(failed)|(failed)", Said(object, "rnvc")) << "answered past its window";
    EXPECT_EQ(0u, object->Release()) << "held by the clock past its window";
    CoUninitialize();
}

// After a monitor went or the work area changed, a clock no monitor shows comes back whole onto the
// nearest one's work area; one that a monitor shows, even in part, stays where the user put it.
TEST_F(Clock, AClockNoMonitorShowsIsBroughtBackWhole)
{
    RECT work, place;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);  // of the only monitor
    const struct { UINT message; WPARAM wParam; LONG x, y, toX, toY; } moves[] = {
        { WM_DISPLAYCHANGE, 32, 4000, 3000, work.right - 275, work.bottom - 235 },  // the face: 44,4 to 275,235
        { WM_SETTINGCHANGE, SPI_SETWORKAREA, -2000, 100, work.left - 44, 100 },
        { WM_DISPLAYCHANGE, 32, -250, -200, -250, -200 },
        { WM_SETTINGCHANGE, SPI_SETWORKAREA, work.right - 60, 300, work.right - 60, 300 },
    };
    for (const auto& move : moves) {
        SetWindowPos(window, NULL, move.x, move.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageA(window, move.message, move.wParam, 0);
        GetWindowRect(window, &place);
        EXPECT_TRUE(place.left == move.toX && place.top == move.toY) << place.left << "," << place.top << " from " << move.x;
    }
}

// A shell not ready for 5 s, as at a slow log-on, still gets the icon, asked for every 2 s; one that
// never takes it is asked 60 times, and then no timer is left to wake the clock. A new taskbar is asked again.
TEST_F(Clock, TheTrayIconIsAskedForEvery2SecondsFor2MinutesUntilTheShellTakesIt)
{
    DestroyWindow(window);
    notifyCalls.clear();
    shellDownSince = GetTickCount();
    shellDownFor = 5000;
    clockApp.trayIcon = CopyIcon(LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_CLOCK)));
    window = CreateClockWindow(GetModuleHandleA(NULL));
    EXPECT_TRUE(Await("the tray icon, once the shell takes it", [&] { Pump(); return notifyCalls.size() == 1; }));
    EXPECT_LE(refusedAdds, 4) << "asked for more often than every 2 s";
    EXPECT_FALSE(KillTimer(window, IDT_TRAY_RETRY)) << "taken: no more requests";
    refusedAdds = 0;
    shellDownFor = INFINITE;
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    for (int tick = 0; tick < 70; ++tick)
        Tick(IDT_TRAY_RETRY);
    EXPECT_EQ(61, refusedAdds) << "once on the new taskbar, then 60 times";
    EXPECT_FALSE(KillTimer(window, IDT_TRAY_RETRY)) << "given up: its timer still runs";
    shellDownFor = 0;
}

// A day of ticks, tray menus, keys and Adjust Time, the user in another window at first: each menu brings the
// clock forward, is loaded afresh and dismissed without effect; the icon comes and goes with the window.
TEST_F(Clock, ADayOfTicksMenusAndKeysLeavesNothingBehindNorDoesAWindowOnceGone)
{
    EXPECT_FALSE(DestroyIcon(clockApp.trayIcon)) << "destroyed once the shell has its copy";
    clockProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ScriptedProc)));
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 400, 300, 50, 50, NULL, NULL, NULL, NULL);
    SetForegroundWindow(other);
    ASSERT_EQ(other, GetForegroundWindow());
    auto minute = [this](int m) {
        simulatedTime.wHour = WORD(m / 60);
        simulatedTime.wMinute = WORD(m % 60);
        Tick(IDT_SECOND);
        Tick(IDT_MINUTE);
        UpdateWindow(window);
        if (m % 100 == 0) {
            // The menu first: Adjust Time gives the keys, and so the front, to the clock.
            SendMessageA(window, WM_TRAYNOTIFY, IDI_CLOCK, WM_RBUTTONDOWN);
            SendMessageA(window, WM_COMMAND, IDC_ADJUST_TIME, 0);
            SendMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
            SendMessageA(window, WM_KEYDOWN, VK_UP, 1);
            EXPECT_EQ(-1, Pump());
        }
    };
    // Wine makes a few objects of its own for the first menu and keeps them.
    for (int m = 0; m < 60; ++m)
        minute(m);
    int objects = GdiObjects();
    ASSERT_GT(objects, 0);
    for (int m = 60; m < 24 * 60; ++m)
        minute(m);
    EXPECT_EQ(objects, GdiObjects());
    EXPECT_EQ("11:59:31", WindowText(Child(IDC_READOUT)));
    DestroyWindow(other);
    ASSERT_EQ(15u, menusOpened.size());
    EXPECT_EQ(window, menusOpened[0].foreground);
    EXPECT_EQ((std::vector<std::string>{ "&About", "", "&Exit" }), menusOpened[0].items);
    EXPECT_EQ(15u, menusLoaded.size());
    for (HMENU menu : menusLoaded)
        EXPECT_FALSE(IsMenu(menu)) << "destroyed once closed";
    menuKey = 'e';
    SendMessageA(window, WM_TRAYNOTIFY, IDI_CLOCK, WM_RBUTTONDOWN);
    EXPECT_EQ(0, Pump()) << "Exit chosen";

    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    AddTrayIcon(window, 104, NULL, std::string(100, 'x').c_str());
    DestroyWindow(window);
    Pump();
    ASSERT_EQ(4u, notifyCalls.size());
    EXPECT_EQ(std::string(63, 'x'), notifyCalls[2].record.szTip) << "cut short and terminated";
    for (int call : { 0, 1, 3 }) {
        const NOTIFYICONDATAA& r = notifyCalls[call].record;
        EXPECT_TRUE(notifyCalls[call].message == DWORD(call == 3 ? NIM_DELETE : NIM_ADD) && r.cbSize == NOTIFYICONDATAA_V1_SIZE &&
                    r.hWnd == window && r.uID == 104) << call << ": " << notifyCalls[call].message << " " << r.cbSize << " " << r.uID;
        EXPECT_TRUE(call == 3 || (r.uFlags == 7 && r.uCallbackMessage == 0x8064 && !strcmp(r.szTip, "Hello World!") &&
                                  notifyCalls[call].iconAlive)) << call << ": " << r.uFlags << " " << r.uCallbackMessage << " " << r.szTip;
    }

    // A second window, made, painted and gone, leaves nothing behind but what the platform
    // keeps of any window shown with a region: Wine 10 keeps the region, the system's once given.
    objects = GdiObjects();
    HWND plain = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    SetWindowRgn(plain, CreateRectRgn(0, 0, 5, 5), FALSE);
    ShowWindow(plain, SW_SHOWNOACTIVATE);
    DestroyWindow(plain);
    int kept = GdiObjects() - objects;
    ASSERT_LE(kept, 1);
    objects = GdiObjects();
    window = CreateClockWindow(GetModuleHandleA(NULL));
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    DestroyWindow(window);
    Pump();
    EXPECT_EQ(objects + kept, GdiObjects());
    // Turned needles kept past their window would be let go of here.
    ReleaseTurnedNeedles();
    EXPECT_EQ(objects + kept, GdiObjects());
}

// Start-up that goes on shows the time in its first frame, not a tick later.
LRESULT CALLBACK RefuseClockWindows(int code, WPARAM wParam, LPARAM lParam)
{
    char name[16] = "";
    GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof(name));
    return code == HCBT_CREATEWND && strcmp(name, kClockClassName) == 0 ? 1 : CallNextHookEx(NULL, code, wParam, lParam);
}

void CALLBACK QuitAfterFirstFrame(HWND, UINT, UINT_PTR timer, DWORD)
{
    if (firstFrameMinute >= 0) {
        KillTimer(NULL, timer);
        PostQuitMessage(0);
    }
}

// Each failure is reported in one box; one needle missing is not a failure, and without
// needles the clock goes on. Without its class, window or skin it ends with -1.
TEST(Startup, EachFailureIsReportedAndOnlyThoseOfClassWindowOrSkinEndIt)
{
    const struct { UINT_PTR missing[2]; std::vector<std::string> reports; } cases[] = {
        { {}, {} },
        { { IDB_MINUTE_NEEDLE }, {} },
        { { IDB_MINUTE_NEEDLE, IDB_HOUR_NEEDLE }, { "Error: Failed to load the Needle bitmaps!", "Error: Could not create masks!" } },
        { {}, { "Error: Could not register the window class." } },
        { {}, { "Error: Could not create the main window." } },
        { { IDB_SKIN }, { "Error: Failed to load the skin bitmap!" } },
    };
    simulatedTime = SYSTEMTIME{ 2024, 3, 5, 15, 10, 24, 31, 0 };
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        bool goesOn = i < 3;
        if (i == 3)
            RegisterClockClass(GetModuleHandleA(NULL));
        HHOOK hook = i == 4 ? SetWindowsHookExA(WH_CBT, RefuseClockWindows, NULL, GetCurrentThreadId()) : NULL;
        std::copy(cases[i].missing, cases[i].missing + 2, missingBitmaps);
        notifyCalls.clear();
        firstFrameMinute = -1;
        boxes.clear();
        if (goesOn)
            SetTimer(NULL, 0, 10, QuitAfterFirstFrame);
        EXPECT_EQ(goesOn ? 0 : -1, RunClock(GetModuleHandleA(NULL), SW_SHOW));
        EXPECT_EQ(cases[i].reports, boxes);
        EXPECT_TRUE(!goesOn || firstFrameMinute == 144) << "first frame at minute angle " << firstFrameMinute;
        UnhookWindowsHookEx(hook);
        UnregisterClassA(kClockClassName, GetModuleHandleA(NULL));
        Pump();
    }
    missingBitmaps[0] = 0;
    EXPECT_EQ(1000u, timerPeriods[IDT_SECOND]);
    EXPECT_EQ(60000u, timerPeriods[IDT_MINUTE]);
    ASSERT_EQ(2u, notifyCalls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), notifyCalls[1].message) << "the icon goes with the window";
}

// A needle in one colour on white: a bar 4 wide down the middle from the top.
HBITMAP MakeNeedle(COLORREF colour, int barLength, int width = 128, int height = 128)
{
    BITMAPINFO info = { { sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB } };
    DWORD* bits;
    HBITMAP needle = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), NULL, 0);
    for (int i = 0; i < width * height; ++i)
        bits[i] = abs(2 * (i % width) - width + 1) < 4 && i / width < barLength
                      ? GetRValue(colour) << 16 | GetGValue(colour) << 8 | GetBValue(colour) : 0xFFFFFF;
    return needle;
}

// The face rendered into a memory bitmap.
class Face : public Clock {
protected:
    void SetUp() override
    {
        Clock::SetUp();
        shipped = clockApp;
        target = MakeNeedle(RGB(0, 0, 0), 0, 320, 240);  // no bar: all white
        dc = CreateCompatibleDC(NULL);
        previous = SelectObject(dc, target);
    }

    void TearDown() override
    {
        clockApp = shipped;
        for (HBITMAP bitmap : made)
            DeleteObject(bitmap);
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(target);
        Clock::TearDown();
    }

    // Needles of the test's own, masked unless told otherwise.
    void UseNeedles(HBITMAP minute, HBITMAP minuteMask, HBITMAP hour, HBITMAP hourMask)
    {
        clockApp.minuteNeedle = minute, clockApp.minuteMask = minuteMask;
        clockApp.hourNeedle = hour, clockApp.hourMask = hourMask;
    }
    HBITMAP Made(HBITMAP bitmap) { made.push_back(bitmap); return bitmap; }
    HBITMAP MaskOf(HBITMAP needle) { return Made(CreateNeedleMask(needle, RGB(255, 255, 255))); }

    void Render(int minuteAngle, float hourAngle)
    {
        clockState.minuteAngle = minuteAngle;
        clockState.hourAngle = hourAngle;
        DrawClockFace(dc, window);
    }

    // The pixel at a distance from the centre (159, 119) along an angle, moved `aside` clockwise.
    POINT Along(double angle, double distance, double aside = 0)
    {
        double a = angle * 3.14159265358979 / 180;
        return { static_cast<LONG>(floor(159 + distance * sin(a) + aside * cos(a))),
                 static_cast<LONG>(floor(119 - distance * cos(a) + aside * sin(a))) };
    }
    bool ShowsSkin(POINT p) { return GetPixel(dc, p.x, p.y) == GetPixel(clockApp.skinDC, p.x, p.y); }

    // The needle's colour all along its line, the face untouched beside it.
    void ExpectNeedle(double angle, int from, int to, COLORREF colour = RGB(0, 0, 0))
    {
        for (int d = from; d <= to; d += 2) {
            POINT p = Along(angle, d);
            EXPECT_EQ(colour, GetPixel(dc, p.x, p.y)) << "needle at " << angle << ", " << d << " out";
            EXPECT_TRUE(ShowsSkin(Along(angle, d, 6)) && ShowsSkin(Along(angle, d, -6))) << "beside " << angle << ", " << d;
        }
    }

    ClockApp shipped;
    std::vector<HBITMAP> made;
    HBITMAP target;
    HDC dc;
    HGDIOBJ previous;
};

// Black where a needle, a bar 4 wide from the corner of pixel (159, 119), all times the scale, covers a
// pixel wholly; the face where it does not touch it; and a mix of the two where its side crosses a pixel's middle.
void ExpectSmoothNeedle(HDC dc, double angle, double length, HDC faceDC, double scale = 1)
{
    double a = angle * 3.14159265358979 / 180, half = 2 * scale, cx = floor(160 * scale) - 1, cy = floor(120 * scale) - 1;
    int black = 0, face = 0, mixed = 0;
    length *= scale;
    for (int y = int(cy - length) - 8; y < cy + length + 8; ++y) {
        for (int x = int(cx - length) - 8; x < cx + length + 8; ++x) {
            double px = x + 0.5 - cx, py = y + 0.5 - cy;
            double along = px * sin(a) - py * cos(a), across = fabs(px * cos(a) + py * sin(a));
            COLORREF got = GetPixel(dc, x, y), skin = GetPixel(faceDC, x, y);
            if (along < 8 * scale || along > length + 4)  // clear of the other needle, which points away
                continue;
            if (along > length + 0.71 || across > half + 0.71) {
                face += 1;
                EXPECT_EQ(skin, got) << "touched at " << x << "," << y << ", needle at " << angle;
            } else if (along < length - 0.71 && across < half - 0.71) {
                black += 1;
                EXPECT_EQ(RGB(0, 0, 0), got) << "not covered at " << x << "," << y << ", needle at " << angle;
            } else if (along < length - 1 && fabs(across - half) < 0.25) {
                mixed += 1;
                for (int shift : { 0, 8, 16 })
                    EXPECT_TRUE((got >> shift & 0xFF) > 0 && (got >> shift & 0xFF) < (skin >> shift & 0xFF))
                        << "no mix at " << x << "," << y << ", needle at " << angle << ": " << std::hex << got;
            }
        }
    }
    EXPECT_TRUE(black > length && face > 10 * length && mixed > length / 2) << black << " " << face << " " << mixed;
}

// The needles at their angles, smoothed where their edges cross pixels, exact about the pivot, one over the
// other; each repaint reaching the window whole, as one blit of the face made off the screen, which nothing erases.
TEST_F(Face, SmoothNeedlesAtTheirAnglesAndEachRepaintAsOneBlit)
{
    HDC shown = GetDC(window);
    SetPixel(shown, 159, 60, RGB(1, 2, 3));
    SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(shown), 0);
    EXPECT_EQ(RGB(1, 2, 3), GetPixel(shown, 159, 60));
    Render(204, 150.0f);  // the face the repaint must show
    watched = window;
    windowBlits = 0;
    InvalidateRect(window, NULL, TRUE);
    UpdateWindow(window);
    watched = NULL;
    EXPECT_EQ(1, windowBlits);
    int differ = 0;
    for (int y = 20; y < 220; y += 2)
        for (int x = 60; x < 260; x += 2)
            differ += (x - 159) * (x - 159) + (y - 119) * (y - 119) < 100 * 100 && GetPixel(shown, x, y) != GetPixel(dc, x, y);
    EXPECT_EQ(0, differ);
    ReleaseDC(window, shown);

    // Off the axes too, where a needle laid in two colours shows stairs.
    for (int angle : { 7, 123, 250, 316 }) {
        float hourAngle = static_cast<float>((angle + 180) % 360);
        Render(angle, hourAngle);
        ExpectSmoothNeedle(dc, angle, 68, clockApp.skinDC);
        ExpectSmoothNeedle(dc, hourAngle, 33, clockApp.skinDC);
    }

    HBITMAP red = Made(MakeNeedle(RGB(200, 0, 0), 68)), blue = Made(MakeNeedle(RGB(0, 0, 200), 33));
    HBITMAP unmasked = Made(MakeNeedle(RGB(200, 0, 0), 68)), redMask = MaskOf(red), blueMask = MaskOf(blue);
    UseNeedles(red, redMask, blue, blueMask);
    Render(180, 180.0f);
    ExpectNeedle(180, 6, 30, RGB(0, 0, 200));
    ExpectNeedle(180, 40, 64, RGB(200, 0, 0));
    // A needle without a mask would cover its square, one not loaded has nothing to draw: either is left out.
    for (HBITMAP needle : { unmasked, HBITMAP(NULL) }) {
        UseNeedles(needle, NULL, blue, blueMask);
        Render(90, 180.0f);
        int covered = 0;
        for (int d = 4; d < 128; d += 8)
            for (int aside = -60; aside <= 60; aside += 8)
                covered += !ShowsSkin(Along(90, d, aside));
        EXPECT_EQ(0, covered) << (needle ? "without its mask" : "never loaded");
        ExpectNeedle(180, 6, 30, RGB(0, 0, 200));
    }
}

// Moved to a screen of another DPI, the clock takes the place suggested and draws itself at that scale, every size
// rounded alike: its window, region, controls and their font, and a dial made at that size under needles as much
// longer and wider. Back at 96 DPI it is as it was, and the to and fro leaves nothing behind.
TEST_F(Face, AtEachDpiEverySizeIsScaledAlikeAndBackAgain)
{
    const struct { int dpi, width, height; RECT region; int x, y[3], w, h, font; } scales[] = {
        { 288, 960, 720, { 132, 12, 827, 707 }, 345, { 270, 315, 360 }, 270, 45, 48 },
        { 192, 640, 480, { 88, 8, 551, 471 }, 230, { 180, 210, 240 }, 180, 30, 32 },
        { 144, 480, 360, { 66, 6, 413, 353 }, 173, { 135, 158, 180 }, 135, 23, 24 },
        { 120, 400, 300, { 55, 5, 344, 294 }, 144, { 113, 131, 150 }, 113, 19, 20 },
        { 96, 320, 240, { 44, 4, 275, 235 }, 115, { 90, 105, 120 }, 90, 15, 16 },
    };
    Render(0, 0.0f);  // the needles read before counting
    std::vector<HBITMAP> targets;
    for (const auto& scale : scales)
        targets.push_back(Made(MakeNeedle(RGB(0, 0, 0), 0, scale.width, scale.height)));
    // What the platform keeps each time the window, shaped, is moved and made larger at once: Wine 10 an object.
    RECT was;
    GetWindowRect(window, &was);
    int objects = GdiObjects();
    SetWindowPos(window, NULL, 10, 10, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
    int kept = GdiObjects() - objects;
    SetWindowPos(window, NULL, was.left, was.top, 320, 240, SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_LE(kept, 1);
    objects = GdiObjects();
    for (int i : { 0, 1, 2, 3, 4, 1, 4 }) {
        const auto& at = scales[i];
        SCOPED_TRACE(at.dpi);
        RECT suggested = { 100, 50, 100 + at.width, 50 + at.height }, place, box;
        SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(at.dpi, at.dpi), reinterpret_cast<LPARAM>(&suggested));
        GetWindowRect(window, &place);
        EXPECT_TRUE(EqualRect(&suggested, &place)) << place.left << "," << place.top << "," << place.right << "," << place.bottom;
        GetWindowRgnBox(window, &box);
        EXPECT_TRUE(EqualRect(&at.region, &box)) << box.left << "," << box.top << "," << box.right << "," << box.bottom;
        int c = 0;
        for (int id : { IDC_EXIT, IDC_ADJUST_TIME, IDC_READOUT }) {
            GetWindowRect(Child(id), &place);
            MapWindowPoints(NULL, window, reinterpret_cast<POINT*>(&place), 2);
            RECT expected = { at.x, at.y[c], at.x + at.w, at.y[c] + at.h };
            EXPECT_TRUE(EqualRect(&expected, &place)) << id << ": " << place.left << "," << place.top << "," << place.right << "," << place.bottom;
            // The system's font at 96 DPI; elsewhere an outline face at the scaled height (a raster one's glyphs
            // stay the 96-DPI size).
            HGDIOBJ set = reinterpret_cast<HGDIOBJ>(SendMessageA(Child(id), WM_GETFONT, 0, 0)), previous = SelectObject(dc, set);
            LOGFONTA font = {};
            TEXTMETRICA text = {};
            GetObjectA(set, sizeof(font), &font);
            GetTextMetricsA(dc, &text);
            SelectObject(dc, previous);
            EXPECT_TRUE(at.dpi == 96 ? !set : set && font.lfHeight == at.font && (text.tmPitchAndFamily & TMPF_TRUETYPE))
                << id << ": " << font.lfHeight << " high, family " << int(text.tmPitchAndFamily);
            c += 1;
        }
        HGDIOBJ shown = SelectObject(dc, targets[i]);
        Render(33, 213.0f);
        double scale = at.dpi / 96.0;
        HDC face = at.dpi == 96 ? clockApp.skinDC : clockApp.dialDC;
        ExpectSmoothNeedle(dc, 33, 68, face, scale);
        ExpectSmoothNeedle(dc, 213, 33, face, scale);
        SelectObject(dc, shown);
    }
    // None of the system's: without a place, or of a DPI no screen has. Nothing changes.
    RECT before, huge = { 0, 0, 9000, 9000 };
    GetWindowRect(window, &before);
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(192, 192), 0);
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(65535, 65535), reinterpret_cast<LPARAM>(&huge));
    GetWindowRect(window, &huge);
    EXPECT_TRUE(EqualRect(&before, &huge));
    // At most what the platform keeps of each move (Wine 10 does not keep one every time).
    EXPECT_LE(GdiObjects(), objects + 7 * kept);
}

}  // namespace
