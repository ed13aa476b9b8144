// The real deskclock.exe, started and driven from this process as a user or
// the system would drive it.
#include <gtest/gtest.h>

#include <windows.h>

#include <math.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "clock_process.h"

namespace {

const int kControlIds[] = { 300, 301, 302 };

bool WaitUntil(bool (*condition)(HWND), HWND window, DWORD timeoutMs = 3000)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(10)) {
        if (condition(window))
            return true;
    }
    return condition(window);
}

bool AllShown(HWND window)
{
    for (int id : kControlIds)
        if (!IsWindowVisible(GetDlgItem(window, id)))
            return false;
    return true;
}

bool NoneShown(HWND window)
{
    for (int id : kControlIds)
        if (IsWindowVisible(GetDlgItem(window, id)))
            return false;
    return true;
}

void SendMouse(DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

void MoveMouse(int x, int y)
{
    SetCursorPos(x, y);
    Sleep(50);
}

class ClockExeTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(clock.Started()) << ClockExePath();
        window = clock.WaitForWindow();
        ASSERT_NE(nullptr, window);
    }

    ClockProcess clock;
    HWND window = nullptr;
};

TEST_F(ClockExeTest, OpensAsTheTopLeftPopupWithItsControlsHidden)
{
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(0, frame.left);
    EXPECT_EQ(0, frame.top);
    EXPECT_EQ(320, frame.right);
    EXPECT_EQ(240, frame.bottom);
    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_POPUPWINDOW), style & (WS_POPUPWINDOW | WS_CAPTION | WS_CHILD));

    struct { int id; RECT rect; } expected[] = {
        { 300, { 115, 105, 205, 120 } }, { 301, { 115, 90, 205, 105 } }, { 302, { 115, 120, 205, 135 } },
    };
    for (const auto& control : expected) {
        HWND child = GetDlgItem(window, control.id);
        RECT rect;
        GetWindowRect(child, &rect);
        MapWindowPoints(NULL, window, reinterpret_cast<POINT*>(&rect), 2);
        EXPECT_EQ(control.rect.left, rect.left) << control.id;
        EXPECT_EQ(control.rect.top, rect.top) << control.id;
        EXPECT_EQ(control.rect.right, rect.right) << control.id;
        EXPECT_EQ(control.rect.bottom, rect.bottom) << control.id;
    }
    EXPECT_TRUE(NoneShown(window));
}

TEST_F(ClockExeTest, ArrowKeysShowAndHideTheControls)
{
    // Typed keys come through the message queue.
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
    ASSERT_TRUE(WaitUntil(AllShown, window));
    PostMessageA(window, WM_KEYDOWN, VK_UP, 1);
    ASSERT_TRUE(WaitUntil(NoneShown, window));

    SendMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
    SendMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_TRUE(AllShown(window));
    EXPECT_EQ(0, SendMessageA(window, WM_COMMAND, 302, 0));
    EXPECT_EQ(0, SendMessageA(window, WM_COMMAND, 0, 0));
    EXPECT_TRUE(AllShown(window));
    SendMessageA(window, WM_KEYDOWN, VK_UP, 1);
    EXPECT_TRUE(NoneShown(window));
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), clock.WaitForExit(0));
}

TEST_F(ClockExeTest, EscEndsWithZero)
{
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(0u, clock.WaitForExit());
}

TEST_F(ClockExeTest, SystemCloseEndsWithZero)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, clock.WaitForExit());
}

TEST_F(ClockExeTest, ClickOnTheExitButtonEndsWithZero)
{
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
    ASSERT_TRUE(WaitUntil(AllShown, window));
    RECT button;
    GetWindowRect(GetDlgItem(window, 301), &button);
    MoveMouse((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    Sleep(50);
    SendMouse(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(0u, clock.WaitForExit());
}

TEST_F(ClockExeTest, LeftButtonDragMovesTheWindow)
{
    RECT before;
    GetWindowRect(window, &before);
    MoveMouse(before.left + 100, before.top + 60);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= 10; ++step)
        MoveMouse(before.left + 100 + step * 20, before.top + 60 + step * 15);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Sleep(200);
    RECT after;
    GetWindowRect(window, &after);
    EXPECT_EQ(before.left + 200, after.left);
    EXPECT_EQ(before.top + 150, after.top);
    EXPECT_EQ(320, after.right - after.left);
    EXPECT_EQ(240, after.bottom - after.top);
}

TEST_F(ClockExeTest, AdjustTimeStartsTheSystemsRundll32AndKeepsRunning)
{
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(300, BN_CLICKED), 0);
    char expected[MAX_PATH];
    GetSystemDirectoryA(expected, MAX_PATH);
    lstrcatA(expected, "\\rundll32.exe");

    std::string started;
    for (DWORD start = GetTickCount(); started.empty() && GetTickCount() - start < 5000; Sleep(5)) {
        for (DWORD child : ChildProcesses(clock.Id())) {
            HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, child);
            if (!process)
                continue;
            char path[MAX_PATH] = "";
            DWORD length = MAX_PATH;
            if (QueryFullProcessImageNameA(process, 0, path, &length))
                started = path;
            TerminateProcess(process, 0);
            CloseHandle(process);
        }
    }
    EXPECT_STRCASEEQ(expected, started.c_str());
    EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), clock.WaitForExit(0));
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(ClockExeTest, IdleClockUsesNearlyNoProcessorTime)
{
    const DWORD kMeasureMs = 3000;
    ULONGLONG before = ProcessCpuTime(clock.Id());
    Sleep(kMeasureMs);
    ULONGLONG used = ProcessCpuTime(clock.Id()) - before;
    // A loop that never waits uses the whole interval; a waiting one, almost nothing.
    EXPECT_LT(used, kMeasureMs * 10000ull / 10) << "100-ns units over " << kMeasureMs << " ms";
}

// A screen pixel at a distance from the centre of the clock's circle, which
// is screen (160, 120) while the window sits at the top-left corner.
COLORREF ScreenAlong(double angle, double distance)
{
    double a = angle * 3.14159265358979 / 180;
    HDC screen = GetDC(NULL);
    COLORREF colour = GetPixel(screen, static_cast<int>(floor(160 + distance * sin(a))),
                               static_cast<int>(floor(120 - distance * cos(a))));
    ReleaseDC(NULL, screen);
    return colour;
}

std::string TimeText(const SYSTEMTIME& t)
{
    char text[16];
    snprintf(text, sizeof(text), "%d:%d:%d", t.wHour % 12, t.wMinute, t.wSecond);
    return text;
}

TEST_F(ClockExeTest, NeedlesAndTextsShowTheLocalTime)
{
    // The controls stay hidden: shown, they would cover the needles.
    Sleep(1300);  // the first tick

    // Sampled between two readings of the clock; again if a minute turns.
    for (int attempt = 0; attempt < 4; ++attempt) {
        SYSTEMTIME before, after;
        GetLocalTime(&before);
        std::string readout = WindowText(GetDlgItem(window, 302));
        std::string minuteText = WindowText(GetDlgItem(window, 301));
        std::string hourText = WindowText(GetDlgItem(window, 300));
        int minuteAngle = before.wMinute * 6;
        double hourAngle = (before.wHour % 12) * 30 + (before.wMinute / 12) * 6;
        int minuteBlack = 0, hourBlack = 0;
        for (int d = 40; d <= 64; d += 4)
            minuteBlack += ScreenAlong(minuteAngle, d) == RGB(0, 0, 0);
        for (int d = 8; d <= 28; d += 4)
            hourBlack += ScreenAlong(hourAngle, d) == RGB(0, 0, 0);
        GetLocalTime(&after);
        // Just after a minute turns, the last tick may still show the one before.
        if (after.wMinute != before.wMinute || before.wSecond < 3) {
            Sleep(3000);
            continue;
        }

        EXPECT_EQ(7, minuteBlack) << "minute needle at " << minuteAngle;
        EXPECT_EQ(6, hourBlack) << "hour needle at " << hourAngle;
        // The readout is as old as the last tick: a second or so before.
        bool readoutMatches = false;
        for (int back = 0; back <= 2; ++back) {
            SYSTEMTIME earlier = before;
            earlier.wSecond = static_cast<WORD>(before.wSecond - back);
            readoutMatches = readoutMatches || readout == TimeText(earlier);
        }
        EXPECT_TRUE(readoutMatches || readout == TimeText(after))
            << readout << " read between " << TimeText(before) << " and " << TimeText(after);
        EXPECT_EQ("M:" + std::to_string(minuteAngle), minuteText);
        char expectedHour[16];
        snprintf(expectedHour, sizeof(expectedHour), "H:%.1f", hourAngle);
        EXPECT_EQ(expectedHour, hourText);
        return;
    }
    FAIL() << "the minute kept turning";
}

TEST(ClockExeShape, CornersShowWhatLiesBeneathAndLetClicksThrough)
{
    // Away from the top-left corner, where the system tray window may appear.
    const int left = 400, top = 300;
    const POINT corners[] = { { left + 3, top + 3 }, { left + 316, top + 3 },
                              { left + 3, top + 236 }, { left + 316, top + 236 } };
    HDC screen = GetDC(NULL);
    COLORREF beneath[4];
    for (int i = 0; i < 4; ++i)
        beneath[i] = GetPixel(screen, corners[i].x, corners[i].y);

    ClockProcess clock;
    HWND window = clock.WaitForWindow();
    ASSERT_NE(nullptr, window);
    SetWindowPos(window, NULL, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Sleep(300);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(beneath[i], GetPixel(screen, corners[i].x, corners[i].y)) << i;
        EXPECT_NE(window, WindowFromPoint(corners[i])) << i;
    }
    EXPECT_EQ(window, WindowFromPoint(POINT{ left + 160, top + 120 }));
    // The face shows inside the circle, beyond the needles' reach.
    for (int dx : { -64, 64 })
        for (int dy : { -64, 64 })
            EXPECT_NE(beneath[0], GetPixel(screen, left + 160 + dx, top + 120 + dy));
    ReleaseDC(NULL, screen);

    // A drag from a corner is not the clock's, so the clock stays put.
    MoveMouse(left + 6, top + 6);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    for (int step = 1; step <= 5; ++step)
        MoveMouse(left + 6 + step * 20, top + 6 + step * 20);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Sleep(200);
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(left, frame.left);
    EXPECT_EQ(top, frame.top);
}

TEST(ClockExeStart, VersionNoticeComesBeforeTheWindow)
{
    ClockProcess clock;
    ASSERT_TRUE(clock.Started());
    HWND notice = nullptr;
    for (DWORD start = GetTickCount(); !notice && GetTickCount() - start < 10000; Sleep(10))
        notice = FindProcessWindow(clock.Id(), "#32770", "Version");
    ASSERT_NE(nullptr, notice);
    EXPECT_EQ(nullptr, FindProcessWindow(clock.Id(), "MyWin", NULL));
    EXPECT_EQ("Windows NT product family.\n\nPress \"ESC\" if you want to quit.", MessageBoxText(notice));
    EXPECT_EQ(nullptr, GetWindow(notice, GW_OWNER));
    SendMessageA(GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
    HWND window = clock.WaitForWindow();
    ASSERT_NE(nullptr, window);
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(0u, clock.WaitForExit());
}

HWND WaitForNewIcon(const std::vector<HWND>& known)
{
    HWND icon = NULL;
    for (DWORD start = GetTickCount(); !icon && GetTickCount() - start < 5000; Sleep(20))
        icon = NewTrayIcon(known);
    return icon;
}

HWND OpenTrayMenu(HWND icon)
{
    RightPressTrayIcon(icon);
    HWND menu = NULL;
    for (DWORD start = GetTickCount(); !menu && GetTickCount() - start < 5000; Sleep(20))
        menu = OpenMenu();
    return menu;
}

bool IconGone(HWND icon)
{
    std::vector<HWND> icons = TrayIcons();
    return std::find(icons.begin(), icons.end(), icon) == icons.end();
}

TEST(ClockExeTray, RightPressOnTheIconOffersAboutAndExit)
{
    std::vector<HWND> known = TrayIcons();
    ClockProcess clock;
    HWND window = clock.WaitForWindow();
    ASSERT_NE(nullptr, window);
    HWND icon = WaitForNewIcon(known);
    ASSERT_NE(nullptr, icon);
    // Out of the way of the notification area in the top-left corner.
    SetWindowPos(window, NULL, 400, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    ASSERT_NE(nullptr, OpenTrayMenu(icon));
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    HWND about = nullptr;
    for (DWORD start = GetTickCount(); !about && GetTickCount() - start < 5000; Sleep(20))
        about = FindProcessWindow(clock.Id(), "#32770", "Thank You!");
    ASSERT_NE(nullptr, about);
    std::string text = MessageBoxText(about);
    std::vector<std::string> lines;
    for (size_t start = 0, end; start <= text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    ASSERT_EQ(4u, lines.size()) << text;
    EXPECT_NE("", lines[0]);
    EXPECT_EQ("", lines[1]);
    EXPECT_EQ("  You can reach me at", lines[2]);
    EXPECT_NE(std::string::npos, lines[3].find('@'));
    SendMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);

    ASSERT_NE(nullptr, OpenTrayMenu(icon));
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(0u, clock.WaitForExit());
    for (DWORD start = GetTickCount(); !IconGone(icon) && GetTickCount() - start < 3000;)
        Sleep(20);
    EXPECT_TRUE(IconGone(icon));
}

}  // namespace
