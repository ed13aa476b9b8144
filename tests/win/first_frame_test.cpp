// What a person sees of the face: the right time from the first frame on,
// and each repaint arriving whole, never erased or half-drawn.
#include <gtest/gtest.h>

#include <windows.h>

#include <math.h>

#include <string>

#include <tlhelp32.h>

#include "box_watcher.h"
#include "clock_fixture.h"
#include "clock_process.h"
#include "face/clock_face.h"
#include "face/clock_hands.h"
#include "import_patch.h"

namespace {

// Black pixels along a needle's line, at the distances its length allows.
int BlackAlong(HDC dc, int cx, int cy, double angle, int from, int to)
{
    double a = angle * 3.14159265358979 / 180;
    int black = 0;
    for (int d = from; d <= to; d += 4)
        black += GetPixel(dc, static_cast<int>(floor(cx + d * sin(a))),
                          static_cast<int>(floor(cy - d * cos(a)))) == RGB(0, 0, 0);
    return black;
}

TEST(FirstFrame, ShowsTheTimeBeforeTheFirstTick)
{
    SYSTEMTIME now;
    for (GetLocalTime(&now); now.wSecond >= 57; GetLocalTime(&now))
        Sleep(500);  // the minute must not turn while the clock starts
    ClockProcess clock;
    HWND window = clock.WaitForWindow();
    ASSERT_NE(nullptr, window);
    // Written before the window showed, so there at once, not a tick later.
    EXPECT_EQ("M:" + std::to_string(now.wMinute * 6), WindowText(GetDlgItem(window, 301)));
    // The paint itself may still be on its way to the screen; the first tick
    // is a second away.
    double hourAngle = (now.wHour % 12) * 30 + (now.wMinute / 12) * 6;
    HDC screen = GetDC(NULL);
    int minuteBlack = 0, hourBlack = 0;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 500 &&
         (minuteBlack != 7 || hourBlack != 6); Sleep(20)) {
        minuteBlack = BlackAlong(screen, 160, 120, now.wMinute * 6, 40, 64);
        hourBlack = BlackAlong(screen, 160, 120, hourAngle, 8, 28);
    }
    ReleaseDC(NULL, screen);
    EXPECT_EQ(7, minuteBlack);
    EXPECT_EQ(6, hourBlack);
}

// Where a process has the named DLL from, or "" if it has none.
std::string ModulePath(DWORD processId, const char* name)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    MODULEENTRY32 module = {};
    module.dwSize = sizeof(module);
    std::string path;
    for (BOOL more = Module32First(snapshot, &module); more; more = Module32Next(snapshot, &module))
        if (lstrcmpiA(module.szModule, name) == 0)
            path = module.szExePath;
    CloseHandle(snapshot);
    return path;
}

// Wine prefers its own DLLs to one beside the program unless told otherwise,
// as it is for programs that bring their own: told so, a planted uxtheme.dll
// would be loaded from the clock's folder when the window is made.
TEST(DownloadsFolder, DllBesideTheClockIsNotLoaded)
{
    std::string folder = BuildFolder() + "planted\\";
    CreateDirectoryA(folder.c_str(), NULL);
    ASSERT_TRUE(CopyFileA(ClockExePath().c_str(), (folder + "deskclock.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((BuildFolder() + "planted.dll").c_str(),
                          (folder + "uxtheme.dll").c_str(), FALSE));
    char overrides[256] = "";
    GetEnvironmentVariableA("WINEDLLOVERRIDES", overrides, sizeof(overrides));
    SetEnvironmentVariableA("WINEDLLOVERRIDES", (std::string(overrides) + ";uxtheme=n,b").c_str());
    ClockProcess clock(folder + "deskclock.exe");
    SetEnvironmentVariableA("WINEDLLOVERRIDES", overrides);
    ASSERT_NE(nullptr, clock.WaitForWindow());
    std::string uxtheme = ModulePath(clock.Id(), "uxtheme.dll");
    EXPECT_NE(std::string::npos, uxtheme.find("system32")) << uxtheme;
}

// Blits made by this executable, the clock's code included, onto the window.
HWND watched;
int windowBlits;
SIZE lastBlit;
BOOL(WINAPI* realBitBlt)(HDC, int, int, int, int, HDC, int, int, DWORD);

BOOL WINAPI CountBitBlt(HDC dc, int x, int y, int w, int h, HDC from, int fx, int fy, DWORD rop)
{
    windowBlits += WindowFromDC(dc) == watched;
    lastBlit = SIZE{ w, h };
    return realBitBlt(dc, x, y, w, h, from, fx, fy, rop);
}

class RepaintTest : public ClockWindowTest {};

TEST_F(RepaintTest, EraseLeavesTheFaceAlone)
{
    HDC dc = GetDC(window);
    SetPixel(dc, 159, 60, RGB(1, 2, 3));
    SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    EXPECT_EQ(RGB(1, 2, 3), GetPixel(dc, 159, 60));
    ReleaseDC(window, dc);
}

// Each repaint is one blit of the whole client area showing the face; both
// ways of turning the needles, and twice, as the off-screen face is kept.
TEST_F(RepaintTest, ArrivesAsOneBlitOfTheWholeFace)
{
    watched = window;
    const bool platformRotates = blitsRotate;
    for (bool rotate : { false, true }) {
        blitsRotate = rotate;
        for (int minute : { 90, 204 }) {
            clockState.minuteAngle = minute;
            clockState.hourAngle = 150.0f;
            windowBlits = 0;
            *reinterpret_cast<void**>(&realBitBlt) =
                PatchImport("gdi32.dll", "BitBlt", reinterpret_cast<void*>(CountBitBlt));
            InvalidateRect(window, NULL, TRUE);
            UpdateWindow(window);
            PatchImport("gdi32.dll", "BitBlt", reinterpret_cast<void*>(realBitBlt));
            EXPECT_EQ(1, windowBlits) << "rotate " << rotate << ", minute " << minute;
            EXPECT_EQ(318, lastBlit.cx);
            EXPECT_EQ(238, lastBlit.cy);

            // What is on the window, next to the face drawn anywhere else.
            HDC shown = GetDC(window);
            HDC drawn = CreateCompatibleDC(shown);
            HBITMAP bitmap = CreateCompatibleBitmap(shown, 318, 238);
            HGDIOBJ previous = SelectObject(drawn, bitmap);
            DrawClockFace(drawn, window);
            ModifyWorldTransform(drawn, NULL, MWT_IDENTITY);
            int differ = 0;
            for (int y = 20; y < 220; y += 2)
                for (int x = 60; x < 260; x += 2)
                    differ += (x - 159) * (x - 159) + (y - 119) * (y - 119) < 100 * 100 &&
                              GetPixel(shown, x, y) != GetPixel(drawn, x, y);
            EXPECT_EQ(0, differ) << "rotate " << rotate << ", minute " << minute;
            SelectObject(drawn, previous);
            DeleteObject(bitmap);
            DeleteDC(drawn);
            ReleaseDC(window, shown);
        }
    }
    blitsRotate = platformRotates;
}

}  // namespace
