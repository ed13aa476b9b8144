// The clock window on the real Win32 API: created in this process the way
// start-up creates it, driven with SendMessageA, checked after the pending
// messages have been pumped.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/clock_app.h"
#include "box_watcher.h"
#include "clock_fixture.h"
#include "resource.h"
#include "ui/clock_window.h"

namespace {

RECT ChildRect(HWND parent, HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(NULL, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

TEST_F(ClockWindowTest, CreatesThePopupWithItsThreeHiddenControls)
{
    char className[16] = "";
    GetClassNameA(window, className, sizeof(className));
    EXPECT_STREQ("MyWin", className);
    EXPECT_EQ("", WindowText(window));
    EXPECT_EQ(static_cast<LONG>(WS_POPUPWINDOW), 
              GetWindowLongA(window, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS));

    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(320, frame.right - frame.left);
    EXPECT_EQ(240, frame.bottom - frame.top);

    struct Expected { int id; const char* className; const char* text; RECT rect; HWND held; };
    const Expected controls[] = {
        { IDC_ADJUST_TIME, "Button", "Adjust Time", { 115, 105, 205, 120 }, clockApp.adjustButton },
        { IDC_EXIT, "Button", "Exit", { 115, 90, 205, 105 }, clockApp.exitButton },
        { IDC_READOUT, "Static", "", { 115, 120, 205, 135 }, clockApp.readout },
    };
    for (const Expected& expected : controls) {
        SCOPED_TRACE(expected.id);
        HWND control = Child(expected.id);
        ASSERT_NE(nullptr, control);
        EXPECT_EQ(expected.held, control);
        GetClassNameA(control, className, sizeof(className));
        EXPECT_STRCASEEQ(expected.className, className);
        EXPECT_EQ(expected.text, WindowText(control));
        RECT rect = ChildRect(window, control);
        EXPECT_EQ(expected.rect.left, rect.left);
        EXPECT_EQ(expected.rect.top, rect.top);
        EXPECT_EQ(expected.rect.right, rect.right);
        EXPECT_EQ(expected.rect.bottom, rect.bottom);
        EXPECT_FALSE(IsWindowVisible(control));
    }
    EXPECT_EQ(SS_CENTER, GetWindowLongA(Child(IDC_READOUT), GWL_STYLE) & SS_TYPEMASK);
}

TEST_F(ClockWindowTest, LoadsBothNeedlesFromTheRunningModule)
{
    for (HBITMAP needle : { clockApp.minuteNeedle, clockApp.hourNeedle }) {
        BITMAP info = {};
        ASSERT_EQ(static_cast<int>(sizeof(info)), GetObjectA(needle, sizeof(info), &info));
        EXPECT_EQ(128, info.bmWidth);
        EXPECT_EQ(128, info.bmHeight);
    }
}

TEST_F(ClockWindowTest, DownShowsUpHidesAndOtherKeysDoNothing)
{
    const int ids[] = { IDC_ADJUST_TIME, IDC_EXIT, IDC_READOUT };
    Key(VK_DOWN);
    for (int id : ids)
        EXPECT_TRUE(Visible(id)) << id;
    Key(VK_DOWN);
    for (int id : ids)
        EXPECT_TRUE(Visible(id)) << id;
    for (WPARAM other : { WPARAM(VK_LEFT), WPARAM(VK_RIGHT), WPARAM(VK_SPACE), WPARAM('A') }) {
        Key(other);
        for (int id : ids)
            EXPECT_TRUE(Visible(id)) << id;
    }
    Key(VK_UP);
    for (int id : ids)
        EXPECT_FALSE(Visible(id)) << id;
    Key(VK_UP);
    for (int id : ids)
        EXPECT_FALSE(Visible(id)) << id;
    EXPECT_FALSE(TakeQuit());
}

TEST_F(ClockWindowTest, EscAndBothExitCommandsAskToQuitWithZero)
{
    WPARAM code = 99;
    EXPECT_EQ(0, SendMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1));
    ASSERT_TRUE(TakeQuit(&code));
    EXPECT_EQ(0u, code);

    // A button click carries BN_CLICKED and the button in lParam; a menu item
    // carries neither. Only the id counts.
    const WPARAM commands[] = { MAKEWPARAM(IDC_EXIT, BN_CLICKED), IDM_EXIT };
    for (WPARAM command : commands) {
        code = 99;
        EXPECT_EQ(0, SendMessageA(window, WM_COMMAND, command, 0));
        ASSERT_TRUE(TakeQuit(&code)) << command;
        EXPECT_EQ(0u, code);
    }
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(ClockWindowTest, UnknownCommandsDoNothing)
{
    launchProcess = RecordLaunch;
    launched = LaunchRecord();
    const WPARAM commands[] = { 0, IDC_READOUT, IDT_SECOND, IDB_SKIN, IDM_ABOUT + 2,
                                MAKEWPARAM(0, BN_CLICKED), 0xFFFF };
    for (WPARAM command : commands)
        EXPECT_EQ(0, SendMessageA(window, WM_COMMAND, command, 0)) << command;
    PumpMessages();
    EXPECT_FALSE(TakeQuit());
    EXPECT_EQ(0, launched.calls);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(ClockWindowTest, AdjustTimeStartsTheSystemsOwnRundll32)
{
    launchProcess = RecordLaunch;
    launched = LaunchRecord();
    // The high word of a button click must not hide the id.
    EXPECT_EQ(0, SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_ADJUST_TIME, BN_CLICKED), 0));
    ASSERT_EQ(1, launched.calls);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    EXPECT_STRCASEEQ((std::string(system) + "\\rundll32.exe").c_str(), launched.application.c_str());
    EXPECT_EQ("rundll32.exe shell32.dll,Control_RunDLL timedate.cpl", launched.commandLine);
    PumpMessages();
    EXPECT_FALSE(TakeQuit());
}

TEST_F(ClockWindowTest, ClickedAdjustTimeLeavesTheKeysWithTheClock)
{
    launchProcess = RecordLaunch;
    launched = LaunchRecord();
    SetForegroundWindow(window);
    Key(VK_DOWN);
    SendMessageA(Child(IDC_ADJUST_TIME), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_EQ(1, launched.calls);
    EXPECT_EQ(window, GetFocus());
}

TEST_F(ClockWindowTest, DestroyReleasesTheNeedlesAndAsksToQuit)
{
    HBITMAP needles[] = { clockApp.minuteNeedle, clockApp.hourNeedle };
    DestroyWindow(window);
    WPARAM code = 99;
    ASSERT_TRUE(TakeQuit(&code));
    EXPECT_EQ(0u, code);
    for (HBITMAP needle : needles)
        EXPECT_EQ(0u, GetObjectType(needle));
    EXPECT_EQ(nullptr, clockApp.minuteNeedle);
    EXPECT_EQ(nullptr, clockApp.hourNeedle);
}

TEST_F(ClockWindowTest, SystemCloseDestroysTheWindowAndQuits)
{
    EXPECT_EQ(0, SendMessageA(window, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(TakeQuit());
}

TEST_F(ClockWindowTest, LoopDispatchesWhatCameBeforeTheQuitAndReturnsItsCode)
{
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
    PostQuitMessage(0);
    EXPECT_EQ(0, RunMessageLoop());
    EXPECT_TRUE(Visible(IDC_EXIT));
}

// Start-up's own failures, each reported by an "Error" box and exit code -1.
class StartupFailureTest : public testing::Test {
protected:
    void TearDown() override
    {
        UnregisterClassA(kClockClassName, GetModuleHandleA(NULL));
        PumpMessages();
        TakeQuit();
    }
};

TEST_F(StartupFailureTest, ClassThatCannotBeRegisteredIsReportedAndExitsMinusOne)
{
    ASSERT_NE(0, RegisterClockClass(GetModuleHandleA(NULL)));
    BoxWatcher watcher;
    EXPECT_EQ(-1, RunClock(GetModuleHandleA(NULL), SW_SHOW));
    std::vector<SeenBox> boxes = watcher.Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ("Error", boxes.back().caption);
    EXPECT_EQ("Could not register the window class.", boxes.back().text);
}

HHOOK failCreation;
LRESULT CALLBACK FailClockWindows(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        char className[16] = "";
        GetClassNameA(reinterpret_cast<HWND>(wParam), className, sizeof(className));
        if (lstrcmpA(className, kClockClassName) == 0)
            return 1;
    }
    return CallNextHookEx(failCreation, code, wParam, lParam);
}

TEST_F(StartupFailureTest, WindowThatCannotBeCreatedIsReportedAndExitsMinusOne)
{
    failCreation = SetWindowsHookExA(WH_CBT, FailClockWindows, NULL, GetCurrentThreadId());
    ASSERT_NE(nullptr, failCreation);
    BoxWatcher watcher;
    int code = RunClock(GetModuleHandleA(NULL), SW_SHOW);
    UnhookWindowsHookEx(failCreation);
    EXPECT_EQ(-1, code);
    std::vector<SeenBox> boxes = watcher.Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ("Error", boxes.back().caption);
    EXPECT_EQ("Could not create the main window.", boxes.back().text);
}

}  // namespace
