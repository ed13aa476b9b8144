// A whole day of one clock window, sped up: a simulated local time moved on
// one second per tick, the minute ticks, the keys, Adjust Time and the tray
// menu. Every GDI and USER object the clock makes through this executable's
// imports is counted, and the day must end with what its first minute left.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "clock_fixture.h"
#include "import_patch.h"
#include "resource.h"
#include "ui/clock_window.h"
#include "ui/tray.h"

namespace {

// ---- The counting layer ----------------------------------------------------

// Every handle alive that was made through the layer, with its maker.
std::map<HANDLE, const char*> live;
// Calls made through the layer, by function, for the figures.
std::map<std::string, long> calls;
// A release named here does nothing, and what it was handed is kept, so that
// a test can leak on purpose.
const char* idleRelease = nullptr;
std::vector<HANDLE> kept;

template <typename Handle>
Handle Made(Handle handle, const char* maker)
{
    ++calls[maker];
    if (handle)
        live[handle] = maker;
    return handle;
}

template <typename Result>
Result Released(HANDLE handle, Result result, const char* releaser)
{
    ++calls[releaser];
    if (result)
        live.erase(handle);
    return result;
}

// Makers: what the clock calls to make GDI and USER objects. Objects made
// any other way still show in Wine's own table, checked below.
#define MAKERS(X)                                                                              \
    X("gdi32.dll", HDC, CreateCompatibleDC, (HDC a), (a))                                      \
    X("gdi32.dll", HBITMAP, CreateBitmap, (int a, int b, UINT c, UINT d, const void* e), (a, b, c, d, e)) \
    X("gdi32.dll", HBITMAP, CreateCompatibleBitmap, (HDC a, int b, int c), (a, b, c))          \
    X("gdi32.dll", HBITMAP, CreateDIBSection,                                                  \
      (HDC a, const BITMAPINFO* b, UINT c, void** d, HANDLE e, DWORD f), (a, b, c, d, e, f))   \
    X("gdi32.dll", HRGN, CreateEllipticRgn, (int a, int b, int c, int d), (a, b, c, d))        \
    X("user32.dll", HBITMAP, LoadBitmapA, (HINSTANCE a, LPCSTR b), (a, b))                     \
    X("user32.dll", HMENU, LoadMenuA, (HINSTANCE a, LPCSTR b), (a, b))                         \
    X("user32.dll", HDC, GetDC, (HWND a), (a))                                                 \
    X("user32.dll", HDC, BeginPaint, (HWND a, PAINTSTRUCT* b), (a, b))

// Releases, with the handle each lets go of. A window given a region owns it
// from then on, so SetWindowRgn counts as its release.
#define RELEASERS(X)                                                                           \
    X("gdi32.dll", BOOL, DeleteObject, (HGDIOBJ a), (a), a)                                    \
    X("gdi32.dll", BOOL, DeleteDC, (HDC a), (a), a)                                            \
    X("user32.dll", int, ReleaseDC, (HWND a, HDC b), (a, b), b)                                \
    X("user32.dll", BOOL, EndPaint, (HWND a, const PAINTSTRUCT* b), (a, b), b->hdc)            \
    X("user32.dll", BOOL, DestroyMenu, (HMENU a), (a), a)                                      \
    X("user32.dll", BOOL, DestroyIcon, (HICON a), (a), a)                                      \
    X("user32.dll", int, SetWindowRgn, (HWND a, HRGN b, BOOL c), (a, b, c), b)

// LoadIconA is not counted: it hands out the module's shared icon, the same
// handle on every call, which the system owns and frees with the module and
// on which DestroyIcon may legitimately do nothing.
#define DEFINE_MAKER(dll, type, name, parameters, arguments)                                    \
    type(WINAPI* real##name) parameters;                                                       \
    type WINAPI Counted##name parameters { return Made(real##name arguments, #name); }
MAKERS(DEFINE_MAKER)

#define DEFINE_RELEASER(dll, type, name, parameters, arguments, handle)                         \
    type(WINAPI* real##name) parameters;                                                       \
    type WINAPI Counted##name parameters                                                       \
    {                                                                                          \
        if (idleRelease && strcmp(idleRelease, #name) == 0 && live.count(handle)) {            \
            kept.push_back(handle);                                                            \
            return type(1);                                                                    \
        }                                                                                      \
        return Released(handle, real##name arguments, #name);                                  \
    }
RELEASERS(DEFINE_RELEASER)

struct Patch {
    const char* dll;
    const char* name;
    void** real;
    void* counted;
};
#define PATCH(dll, name)                                                                       \
    { dll, #name, reinterpret_cast<void**>(&real##name), reinterpret_cast<void*>(Counted##name) },
#define PATCH_ENTRY(dll, type, name, ...) PATCH(dll, name)
const Patch patches[] = { MAKERS(PATCH_ENTRY) RELEASERS(PATCH_ENTRY) };

void InstallLayer()
{
    for (const Patch& patch : patches)
        *patch.real = PatchImport(patch.dll, patch.name, patch.counted);
}

void RemoveLayer()
{
    for (const Patch& patch : patches)
        if (*patch.real)
            PatchImport(patch.dll, patch.name, *patch.real);
}

// What is alive, by maker.
typedef std::map<std::string, int> Census;

Census TakeCensus()
{
    Census census;
    for (const auto& handle : live)
        ++census[handle.second];
    return census;
}

// How the living objects changed from one census to another, as
// "CreateCompatibleDC +6"; empty when the two match. A leak shows as growth.
std::string Changes(const Census& then, const Census& now)
{
    std::map<std::string, int> difference;
    for (const auto& entry : now)
        difference[entry.first] += entry.second;
    for (const auto& entry : then)
        difference[entry.first] -= entry.second;
    std::string changes;
    for (const auto& entry : difference)
        if (entry.second)
            changes += entry.first + (entry.second > 0 ? " +" : " ") + std::to_string(entry.second) + "; ";
    return changes;
}

std::string Describe(const Census& census)
{
    std::string text;
    for (const auto& entry : census)
        text += entry.first + " " + std::to_string(entry.second) + ", ";
    return text;
}

// ---- Cross-checks outside the layer ---------------------------------------

// Wine keeps the process's GDI objects in a table of its own that the PEB
// points to; its live entries include objects made by calls the layer does
// not wrap. Null elsewhere (Windows shares its table between processes), or
// unless the table behaves as expected for a brush made and deleted here.
struct GdiEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 user;
};

const GdiEntry* GdiTable()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    typedef LONG(WINAPI * QueryProcess)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    QueryProcess query = reinterpret_cast<QueryProcess>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION process;
    if (!GetProcAddress(ntdll, "wine_get_version") || !query ||
        query(GetCurrentProcess(), ProcessBasicInformation, &process, sizeof(process), NULL) != 0)
        return nullptr;
    BYTE* peb = reinterpret_cast<BYTE*>(process.PebBaseAddress);
    const GdiEntry* table = *reinterpret_cast<GdiEntry**>(peb + (sizeof(void*) == 8 ? 0xF8 : 0x94));
    if (!table)
        return nullptr;
    HBRUSH probe = CreateSolidBrush(RGB(1, 2, 3));
    const GdiEntry& entry = table[LOWORD(probe)];
    bool alive = entry.type != 0 && entry.unique == HIWORD(probe);
    DeleteObject(probe);
    return alive && entry.type == 0 ? table : nullptr;
}

int GdiObjects(const GdiEntry* table)
{
    int count = 0;
    for (int i = 0; table && i < 0x10000; ++i)
        count += table[i].type != 0;
    return count;
}

// Windows documents PagefileUsage as the same commit charge as PrivateUsage;
// Wine fills in only the former.
SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                 sizeof(counters)))
        return 0;
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

// ---- The simulated day ------------------------------------------------------

const long kDay = 24 * 60 * 60;
long simulatedSecond;  // since midnight of Friday 15 March 2024

void WINAPI SimulatedLocalTime(SYSTEMTIME* time)
{
    *time = SYSTEMTIME{ 2024, 3, 5, 15, WORD(simulatedSecond / 3600), WORD(simulatedSecond / 60 % 60),
                        WORD(simulatedSecond % 60), 0 };
}
void* realGetLocalTime;

// Whether the second is one of `count` spread evenly over the day, the first
// at midnight.
bool Due(long second, long count)
{
    return second * count % kDay < count;
}

// Ends every tray menu as soon as it opens, as a user's Esc would.
WNDPROC clockProc;
int menusOpened;

LRESULT CALLBACK CancellingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERMENULOOP) {
        ++menusOpened;
        PostMessageA(window, WM_CANCELMODE, 0, 0);
    }
    return CallWindowProcA(clockProc, window, message, wParam, lParam);
}

class SoakTest : public ClockWindowTest {
protected:
    static void SetUpTestSuite()
    {
        InstallLayer();
        realGetLocalTime = PatchImport("kernel32.dll", "GetLocalTime",
                                       reinterpret_cast<void*>(SimulatedLocalTime));
        ASSERT_NE(nullptr, realGetLocalTime);
        ClockWindowTest::SetUpTestSuite();
    }

    static void TearDownTestSuite()
    {
        ClockWindowTest::TearDownTestSuite();
        PatchImport("kernel32.dll", "GetLocalTime", realGetLocalTime);
        RemoveLayer();
    }

    void SetUp() override
    {
        simulatedSecond = 0;
        beforeWindow = TakeCensus();
        ClockWindowTest::SetUp();
        clockProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CancellingProc)));
    }

    void Tick(UINT_PTR timer)
    {
        SendMessageA(window, WM_TIMER, timer, 0);
        UpdateWindow(window);
    }

    Census beforeWindow;
};

TEST_F(SoakTest, ADayOfTicksKeysCommandsAndMenusLeavesNothingBehind)
{
    launchProcess = RecordLaunch;
    launched = LaunchRecord();
    menusOpened = 0;
    const GdiEntry* gdiTable = GdiTable();
    long paintsBefore = calls["BeginPaint"];
    int silentMinuteTicks = 0;
    int toggles = 0;
    Census warm;
    int warmGdi = 0;
    SIZE_T warmBytes = 0;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);

    for (simulatedSecond = 0; simulatedSecond < kDay; ++simulatedSecond) {
        long second = simulatedSecond;
        Tick(IDT_SECOND);
        // The minute timer runs from start-up, out of step with the wall clock.
        if (second % 60 == 30) {
            long paints = calls["BeginPaint"];
            Tick(IDT_MINUTE);
            silentMinuteTicks += calls["BeginPaint"] == paints;
            PumpMessages();
        }
        // The menu before the keys: the first minute then also shows the
        // controls on a clock the menu has made foreground, when Wine makes
        // a few GDI objects of its own that it keeps from then on.
        if (Due(second, 100)) {
            SendMessageA(window, WM_COMMAND, IDC_ADJUST_TIME, 0);
            SendMessageA(window, WM_TRAYNOTIFY, IDI_CLOCK, WM_RBUTTONDOWN);
            PumpMessages();
        }
        if (Due(second, 1000)) {
            Key(VK_DOWN);
            bool shown = Visible(IDC_ADJUST_TIME) && Visible(IDC_EXIT) && Visible(IDC_READOUT);
            Key(VK_UP);
            toggles += shown && !Visible(IDC_ADJUST_TIME) && !Visible(IDC_EXIT) && !Visible(IDC_READOUT);
        }
        if (second == 59) {
            warm = TakeCensus();
            warmGdi = GdiObjects(gdiTable);
            warmBytes = PrivateBytes();
        }
    }
    QueryPerformanceCounter(&end);
    Census day = TakeCensus();
    int dayGdi = GdiObjects(gdiTable);
    SIZE_T dayBytes = PrivateBytes();
    long paints = calls["BeginPaint"] - paintsBefore;

    printf("Day of %ld ticks in %.1f s, %ld paints, %d menus, %d commands, %d toggles\n", kDay,
           double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart), paints, menusOpened,
           launched.calls, toggles);
    printf("Alive after the first minute: %s\nAlive after the day:          %s\n", Describe(warm).c_str(),
           Describe(day).c_str());
    printf("GDI table entries: %d -> %d%s\n", warmGdi, dayGdi, gdiTable ? "" : " (no table found)");
    printf("Private bytes: %zu KB -> %zu KB\n", size_t(warmBytes / 1024), size_t(dayBytes / 1024));
    printf("Calls:");
    for (const auto& call : calls)
        printf(" %s %ld,", call.first.c_str(), call.second);
    printf("\n");

    EXPECT_EQ("", Changes(warm, day));
    if (gdiTable) {
        EXPECT_EQ(warmGdi, dayGdi) << "GDI objects made outside the layer";
    }
    EXPECT_NE(0u, warmBytes);
    EXPECT_LT(dayBytes, warmBytes + 256 * 1024);

    EXPECT_EQ(0, silentMinuteTicks) << "every minute tick repaints";
    EXPECT_GE(paints, 1440);
    EXPECT_EQ(1000, toggles);
    EXPECT_EQ(100, launched.calls);
    EXPECT_EQ(100, menusOpened);
    EXPECT_EQ(100, calls["LoadMenuA"]);
    EXPECT_EQ("11:59:59", WindowText(Child(IDC_READOUT)));
    EXPECT_EQ("M:354", WindowText(Child(IDC_EXIT)));
    EXPECT_EQ("H:354.0", WindowText(Child(IDC_ADJUST_TIME)));

    DestroyWindow(window);
    PumpMessages();
    EXPECT_EQ("", Changes(beforeWindow, TakeCensus())) << "the window let go of all it made";
}

TEST_F(SoakTest, PaintsThatDoNotDeleteTheirDeviceContextsShowAsALeak)
{
    auto paint = [this] {
        InvalidateRect(window, NULL, TRUE);
        UpdateWindow(window);
    };
    paint();
    Census before = TakeCensus();
    size_t alive = live.size();
    long paints = calls["BeginPaint"];
    kept.clear();
    idleRelease = "DeleteDC";
    for (int i = 0; i < 3; ++i)
        paint();
    idleRelease = nullptr;
    EXPECT_EQ(3, calls["BeginPaint"] - paints);
    std::string changes = Changes(before, TakeCensus());
    EXPECT_EQ(alive + kept.size(), live.size());
    for (HANDLE dc : kept)
        DeleteDC(static_cast<HDC>(dc));

    ASSERT_FALSE(kept.empty()) << "the paints deleted no device context";
    EXPECT_NE("", changes);
    EXPECT_EQ(std::string::npos, changes.find(" -")) << changes;
    EXPECT_EQ("", Changes(before, TakeCensus())) << "back once they are deleted";
}

}  // namespace
