// The real deskclock.exe, driven from this process as a user, the shell or another program would.
#include "support.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "face/dial.h"

namespace {

const int kControls[] = { 300, 301, 302 };
const UINT kTrayMessage = WM_APP + 100;

bool ControlsShown(HWND window, bool shown)
{
    return std::all_of(std::begin(kControls), std::end(kControls),
                       [&](int id) { return (IsWindowVisible(GetDlgItem(window, id)) != FALSE) == shown; });
}

std::string Text(RECT r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," + std::to_string(r.bottom);
}

std::string Place(HWND window, HWND within = NULL)
{
    RECT r = {};
    GetWindowRect(window, &r);
    MapWindowPoints(NULL, within, reinterpret_cast<POINT*>(&r), 2);
    return Text(r);
}

// The pointer moved to a screen point, and a button pressed or let go there. Under Wine a
// move also moves the X pointer, which the window under it hears of later as a move of its own.
void Mouse(int x, int y, DWORD flags = 0)
{
    INPUT input = { INPUT_MOUSE };
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    input.mi.dx = (x * 65536 + width - 1) / width;
    input.mi.dy = (y * 65536 + height - 1) / height;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &input, sizeof(input));
}

// Made aware of each screen's DPI where the platform can: then it reads the clock in the screen's own pixels.
template <typename Function>
Function User32(const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("user32.dll"), name)));
}

bool AwareOfEachScreen()
{
    auto setAwareness = User32<BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT)>("SetProcessDpiAwarenessContext");
    return setAwareness && setAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
}

// The DPI awareness an executable declares, as the platform reads its manifest: Vista to 8.1's element, then
// the list that Windows 10 takes the first it knows of.
std::string DeclaredAwareness(const char* exe)
{
    ACTCTXA context = { sizeof(context) };
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = exe;
    context.lpResourceName = CREATEPROCESS_MANIFEST_RESOURCE_ID;
    HANDLE made = CreateActCtxA(&context);
    std::string declared;
    for (const wchar_t* setting : { L"2005|dpiAware", L"2016|dpiAwareness" }) {
        std::wstring schema = std::wstring(L"http://schemas.microsoft.com/SMI/") + std::wstring(setting, 4) + L"/WindowsSettings";
        wchar_t value[128] = L"";
        QueryActCtxSettingsW(0, made, schema.c_str(), setting + 5, value, 128, NULL);
        declared += (declared.empty() ? "" : "|") + std::string(value, value + wcslen(value));
    }
    ReleaseActCtx(made);
    return declared;
}

// How many pixels of the dial, from just beyond the needles' reach to the bezel, differ on the screen from the
// dial drawn at the DPI given, for a window at the screen place given: by more than the last bits that the x87
// arithmetic of a 32-bit build compiled otherwise may round apart. Enlarged, the edges of every mark differ by far more.
int DialDifferences(int dpi, POINT place)
{
    int width = ScaleToDpi(kSkinWidth, dpi), height = ScaleToDpi(kSkinHeight, dpi), cx = (width - 2) / 2, cy = (height - 2) / 2;
    std::vector<uint32_t> dial(width * height), shown(width * height);
    DrawDial(dial.data(), width, height, cx, cy, dpi);
    BITMAPINFO info = { { sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB } };
    void* bits = NULL;
    HBITMAP copy = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HDC screen = GetDC(NULL), memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, width, height, screen, place.x + 1, place.y + 1, SRCCOPY);
    GdiFlush();
    memcpy(shown.data(), bits, shown.size() * 4);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    DeleteObject(copy);
    int differ = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double r = hypot(x - cx, y - cy) * 96 / dpi;
            if (r <= 76 || r >= 114)
                continue;
            for (int shift : { 0, 8, 16 })
                differ += abs(int(shown[y * width + x] >> shift & 0xFF) - int(dial[y * width + x] >> shift & 0xFF)) > 2;
        }
    return differ;
}

// Wine prefers its own DLLs to one beside a program unless told otherwise: so told, a
// uxtheme.dll planted there (any module will do) would be loaded with the window. Messages
// from another process that it has no use for leave it as it was; its own still act. On a
// screen of any DPI, it is as large as the DPI asks and drawn at it, not enlarged.
TEST(ClockExe, StartedBesidePlantedModulesShowsTheNoticeThenTheTimeAndAnswersMessagesKeysDragTrayAndExit)
{
    char wanted[8] = "96";
    GetEnvironmentVariableA("DESKCLOCK_TEST_DPI", wanted, sizeof(wanted));
    const int dpi = atoi(wanted);
    auto S = [dpi](int size) { return ScaleToDpi(size, dpi); };
    const bool aware = AwareOfEachScreen();
    HDC screen = GetDC(NULL);
    ASSERT_EQ(dpi, GetDeviceCaps(screen, LOGPIXELSX)) << "the screen's DPI, as the prefix was made";
    ReleaseDC(NULL, screen);
    std::vector<HWND> known = VisibleWindows();
    std::string folder = TestFolder() + "planted\\";
    char overrides[256] = "";
    for (const char* copy : { "deskclock.exe", "uxtheme.dll" })
        ASSERT_TRUE(CopyFileA((TestFolder() + "deskclock.exe").c_str(), (folder + copy).c_str(), FALSE));
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof(overrides));
    SetEnvironmentVariableA("WINEDLLOVERRIDES", (std::string(overrides) + ";uxtheme=n,b").c_str());
    // The drag starts here: put there before the window exists, its late move cannot reach the drag.
    const POINT from = { S(100), S(60) };
    SetCursorPos(from.x, from.y);
    ClockProcess clock("planted\\deskclock.exe");
    SetEnvironmentVariableA("WINEDLLOVERRIDES", overrides);
    HWND notice = NULL;
    ASSERT_TRUE(Await("the start-up notice", [&] { return (notice = FindProcessWindow(clock.Id(), "#32770", "Version")) != NULL; }));
    EXPECT_EQ(nullptr, FindProcessWindow(clock.Id(), "MyWin", NULL, false));
    EXPECT_EQ("Windows NT product family.\n\nPress \"ESC\" if you want to quit.", WindowText(GetDlgItem(notice, 0xFFFF)));
    EXPECT_EQ(nullptr, GetWindow(notice, GW_OWNER));
    HWND window = clock.WaitForWindow();
    ASSERT_NE(nullptr, window);

    // Each handled before the next is sent (a menu or box opened by mistake would hold the sender):
    // command ids beside the clock's and one of each range, tray notices of other icons and of other clicks.
    for (WPARAM id : { 0, IDOK, IDCANCEL, 101, 104, 105, 299, 302, 303, 304, 305, 1000, 39999, 40000, 40003, 0xFFFF })
        ASSERT_TRUE(Send(window, WM_COMMAND, id, 0, "a command of no use"));
    for (WPARAM id : { 0, 103, 105, 0xFFFF })
        ASSERT_TRUE(Send(window, kTrayMessage, id, WM_RBUTTONDOWN, "a tray notice of no use"));
    for (LPARAM mouse = WM_MOUSEMOVE; mouse <= 0x20E; ++mouse)
        ASSERT_TRUE(mouse == WM_RBUTTONDOWN || Send(window, kTrayMessage, 104, mouse, "a tray notice of no use"));
    RECT rect;
    EXPECT_EQ("0,0," + std::to_string(S(320)) + "," + std::to_string(S(240)), Place(window));
    // Where the platform tells, the clock's window is drawn for each screen's DPI: Wine names no more than that
    // of a window, so the form of awareness is read as the platform reads it, from the manifest.
    if (aware) {
        EXPECT_EQ(UINT(dpi), User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow")(window));
        EXPECT_EQ(DPI_AWARENESS_PER_MONITOR_AWARE, GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(window)));
    }
    EXPECT_EQ("true/pm|PerMonitorV2, PerMonitor", DeclaredAwareness((folder + "deskclock.exe").c_str()));
    EXPECT_EQ(LONG(WS_POPUPWINDOW), GetWindowLongA(window, GWL_STYLE) & (WS_POPUPWINDOW | WS_CAPTION | WS_CHILD));
    EXPECT_EQ(LONG(WS_EX_TOOLWINDOW), GetWindowLongA(window, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_APPWINDOW | 0x00C00000));
    EXPECT_EQ(COMPLEXREGION, GetWindowRgnBox(window, &rect));
    EXPECT_EQ(Text({ S(44), S(4), S(276) - 1, S(236) - 1 }), Text(rect));
    EXPECT_EQ("", WindowText(window));
    const struct { int top; LONG style; } controls[] = { { 105, WS_CHILD }, { 90, WS_CHILD }, { 120, WS_CHILD | SS_CENTER } };
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Text({ S(115), S(controls[i].top), S(115) + S(90), S(controls[i].top) + S(15) }),
                  Place(GetDlgItem(window, kControls[i]), window)) << kControls[i];
        EXPECT_EQ(controls[i].style, GetWindowLongA(GetDlgItem(window, kControls[i]), GWL_STYLE)) << "hidden, in its place";
    }
    // Where the clock loaded a module from, in lower case; empty if not loaded.
    auto loaded = [&](const char* name) {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, clock.Id());
        MODULEENTRY32 module = { sizeof(module) };
        std::string path;
        for (BOOL more = Module32First(snapshot, &module); more; more = Module32Next(snapshot, &module))
            if (lstrcmpiA(module.szModule, name) == 0)
                path = CharLowerA(module.szExePath);
        CloseHandle(snapshot);
        return path;
    };
    EXPECT_NE(std::string::npos, loaded("uxtheme.dll").find("system32")) << loaded("uxtheme.dll");
    EXPECT_EQ("", loaded("oleacc.dll")) << "before any screen reader asked";
    // A screen reader asks. Where the clock's object can cross processes it reads it, the value once the
    // minute has not turned between; where it cannot, it gets the system's own.
    CoInitialize(NULL);
    IAccessible* object = NULL;
    ASSERT_EQ(S_OK, AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object)));
    printf("A screen reader reads (role, name, value, children): %ls\n", Said(object, "rnvc").c_str());
    std::wstring said;
    EXPECT_TRUE(Said(object, "r") == std::to_wstring(ROLE_SYSTEM_CLIENT) || Await("the clock's time now as the user writes it", [&] {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return (said = Said(object, "rnvc")) == std::to_wstring(ROLE_SYSTEM_CLOCK) + L"|deskclock|" + ShortTime(now) + L"|3";
    })) << said;
    object->Release();
    CoUninitialize();
    EXPECT_NE(std::string::npos, loaded("oleacc.dll").find("system32")) << loaded("oleacc.dll");
    EXPECT_EQ(1u, clock.Accounting().TotalProcesses) << "the clock alone";
    std::string readout = WindowText(GetDlgItem(window, 302));
    EXPECT_TRUE(Await("the readout to move on from " + readout, [&] { return WindowText(GetDlgItem(window, 302)) != readout; }));

    // Adjust Time starts the system's panel, not waited for: Wine lacks it, so
    // rundll32 ends by itself, and the one planted beside the clock is not taken.
    std::string mark = folder + "timedate.loaded";
    DeleteFileA(mark.c_str());
    EXPECT_TRUE(Send(window, WM_COMMAND, MAKEWPARAM(300, BN_CLICKED), 0, "Adjust Time"));
    EXPECT_EQ(2u, clock.Accounting().TotalProcesses) << "the clock and its panel";
    EXPECT_TRUE(Await("the panel's process to end by itself", [&] { return clock.Accounting().ActiveProcesses == 1; }));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(mark.c_str())) << "the planted timedate.cpl was loaded";

    // The tray menu's About. The icon is the shell's new window that holds no other.
    HWND icon = NULL;
    ASSERT_TRUE(Await("the clock's tray icon", [&] {
        for (HWND candidate : VisibleWindows(clock.Id()))
            if (std::find(known.begin(), known.end(), candidate) == known.end() && !GetWindow(candidate, GW_CHILD))
                icon = candidate;
        return icon != NULL;
    }));
    // Injected input does not reach Wine's stand-alone tray: the press is handed to the icon, the
    // pointer left where the drag starts. The open menu reads all the thread's messages: a mnemonic chooses.
    auto openMenu = [&] { return FindProcessWindow(clock.Id(), "#32768", NULL); };
    PostMessageA(icon, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10));
    PostMessageA(icon, WM_RBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(Await("the clock's tray menu", [&] { return openMenu() != NULL; }));
    PostMessageA(window, WM_CHAR, 'a', 0);
    EXPECT_TRUE(Await("the tray menu to close", [&] { return openMenu() == NULL; }));
    HWND about = NULL;
    ASSERT_TRUE(Await("the About box", [&] { return (about = FindProcessWindow(clock.Id(), "#32770", "Thank You!")) != NULL; }));
    EXPECT_EQ("deskclock, by the deskclock authors.\n\n  You can reach me at\ndeskclock@example.org",
              WindowText(GetDlgItem(about, 0xFFFF)));
    EXPECT_EQ(nullptr, GetWindow(about, GW_OWNER));
    // None of the system's: WM_DPICHANGED posted, with a place that is no address in the clock, taken by the box's
    // loop. The clock stays as it was, and the Down posted after them still reaches it.
    RECT huge = { 0, 0, 9000, 9000 };
    PostMessageA(window, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&huge));
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
    ASSERT_TRUE(Await("the controls shown by a Down posted after them", [&] { return ControlsShown(window, true); }));
    ASSERT_EQ("0,0," + std::to_string(S(320)) + "," + std::to_string(S(240)), Place(window));
    // A press while the box's loop is ending would be lost in it.
    EXPECT_TRUE(PressOk(about, "the About box"));
    const struct { WPARAM key; bool shown; } presses[] = {
        { VK_UP, false }, { VK_DOWN, true }, { VK_DOWN, true }, { VK_UP, false }, { VK_DOWN, true } };
    for (const auto& press : presses) {
        EXPECT_TRUE(Send(window, WM_KEYDOWN, press.key, 1, "a key"));
        EXPECT_TRUE(ControlsShown(window, press.shown)) << press.key;
    }
    Mouse(from.x, from.y, MOUSEEVENTF_LEFTDOWN);
    // Once the clock moves its window it holds the pointer: moves reach it as input, in order.
    GUITHREADINFO moving = { sizeof(moving) };
    EXPECT_TRUE(Await("the clock to start moving its window", [&] {
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, NULL), &moving) && (moving.flags & GUI_INMOVESIZE);
    }));
    // One move, let go of there: one between would reach the clock again, late, from X.
    Mouse(from.x + 200, from.y + 150, MOUSEEVENTF_LEFTUP);
    std::string dragged = "200,150," + std::to_string(200 + S(320)) + "," + std::to_string(150 + S(240));
    EXPECT_TRUE(Await("the clock dragged by (200, 150)", [&] { return Place(window) == dragged; })) << Place(window);
    int differ = 0;
    EXPECT_TRUE(Await("the dial drawn at " + std::to_string(dpi) + " DPI on the screen",
                      [&] { return (differ = DialDifferences(dpi, { 200, 150 })) == 0; })) << differ << " pixels differ";
    // A press on a shown control is the control's, not the start of a drag.
    GetWindowRect(GetDlgItem(window, 301), &rect);
    Mouse((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2, MOUSEEVENTF_LEFTDOWN);
    Mouse((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2, MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(0u, clock.WaitForExit());
}

}  // namespace
