// The tray icon and its menu on the real shell: the records the shell is
// handed, the menu opened by a right press and ended without a user, and the
// icon put back when the taskbar is recreated.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/clock_app.h"
#include "box_watcher.h"
#include "clock_fixture.h"
#include "import_patch.h"
#include "resource.h"
#include "ui/tray.h"

namespace {

struct NotifyCall {
    DWORD message;
    NOTIFYICONDATAA record;
    bool iconValid;
};
std::vector<NotifyCall> notifyCalls;
typedef BOOL(WINAPI* NotifyFunction)(DWORD, PNOTIFYICONDATAA);
NotifyFunction shellNotify;

BOOL WINAPI RecordNotify(DWORD message, PNOTIFYICONDATAA data)
{
    NotifyCall call = { message, {}, false };
    memcpy(&call.record, data, data->cbSize < sizeof(call.record) ? data->cbSize : sizeof(call.record));
    ICONINFO info;
    if (data->hIcon && GetIconInfo(data->hIcon, &info)) {
        call.iconValid = true;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
    notifyCalls.push_back(call);
    return shellNotify(message, data);
}

// What the tests do when a menu opens: pick with these keys, or dismiss.
struct MenuScript {
    std::vector<WPARAM> keys;
    int openings = 0;
    HWND foreground = nullptr;
    std::vector<std::string> items;
    std::vector<UINT> ids;
};
MenuScript menuScript;
WNDPROC clockProc;

LRESULT CALLBACK ScriptedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITMENUPOPUP) {
        HMENU menu = reinterpret_cast<HMENU>(wParam);
        menuScript.items.clear();
        menuScript.ids.clear();
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            char text[32] = "";
            GetMenuStringA(menu, i, text, sizeof(text), MF_BYPOSITION);
            menuScript.items.push_back(text);
            menuScript.ids.push_back(GetMenuItemID(menu, i));
        }
    }
    if (message == WM_ENTERMENULOOP) {
        ++menuScript.openings;
        menuScript.foreground = GetForegroundWindow();
        // As Wine's own menu tests do: keys or a cancel, queued for the menu's loop.
        for (WPARAM key : menuScript.keys)
            PostMessageA(window, WM_KEYDOWN, key, 0);
        if (menuScript.keys.empty())
            PostMessageA(window, WM_CANCELMODE, 0, 0);
    }
    return CallWindowProcA(clockProc, window, message, wParam, lParam);
}

class TrayTest : public ClockWindowTest {
protected:
    static void SetUpTestSuite()
    {
        shellNotify = reinterpret_cast<NotifyFunction>(
            PatchImport("shell32.dll", "Shell_NotifyIconA", reinterpret_cast<void*>(RecordNotify)));
        ASSERT_NE(nullptr, shellNotify);
        ClockWindowTest::SetUpTestSuite();
    }

    static void TearDownTestSuite()
    {
        ClockWindowTest::TearDownTestSuite();
        PatchImport("shell32.dll", "Shell_NotifyIconA", reinterpret_cast<void*>(shellNotify));
    }

    void SetUp() override
    {
        notifyCalls.clear();
        ClockWindowTest::SetUp();
        menuScript = MenuScript();
        clockProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ScriptedProc)));
    }

    void RightPress(WPARAM id = IDI_CLOCK, LPARAM mouse = WM_RBUTTONDOWN)
    {
        EXPECT_EQ(0, SendMessageA(window, WM_TRAYNOTIFY, id, mouse));
        PumpMessages();
    }
};

void ExpectAddRecord(const NotifyCall& call, HWND window)
{
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), call.message);
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), call.record.cbSize);
    EXPECT_EQ(window, call.record.hWnd);
    EXPECT_EQ(104u, call.record.uID);
    EXPECT_EQ(7u, call.record.uFlags);
    EXPECT_EQ(0x8064u, call.record.uCallbackMessage);
    EXPECT_STREQ("Hello World!", call.record.szTip);
}

TEST_F(TrayTest, IconIsAddedAtCreationAndRemovedAtDestruction)
{
    ASSERT_EQ(1u, notifyCalls.size());
    ExpectAddRecord(notifyCalls[0], window);

    DestroyWindow(window);
    ASSERT_EQ(2u, notifyCalls.size());
    const NotifyCall& removal = notifyCalls[1];
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), removal.message);
    EXPECT_EQ(static_cast<DWORD>(NOTIFYICONDATAA_V1_SIZE), removal.record.cbSize);
    EXPECT_EQ(window, removal.record.hWnd);
    EXPECT_EQ(104u, removal.record.uID);
    EXPECT_EQ(0u, removal.record.uFlags);
}

TEST_F(TrayTest, TheShellGetsACopyOfTheIconAndAnyTipFitsItsRecord)
{
    HICON icon = CopyIcon(LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_CLOCK)));
    ASSERT_NE(nullptr, icon);
    std::string longTip(100, 'x');
    EXPECT_TRUE(AddTrayIcon(window, 7, icon, longTip.c_str()));
    ASSERT_EQ(2u, notifyCalls.size());
    EXPECT_TRUE(notifyCalls[1].iconValid) << "alive while the shell copies it";
    EXPECT_EQ(std::string(63, 'x'), notifyCalls[1].record.szTip);
    ICONINFO info;
    EXPECT_FALSE(GetIconInfo(icon, &info)) << "destroyed right after the add";

    EXPECT_TRUE(AddTrayIcon(window, 8, NULL, NULL));
    EXPECT_STREQ("", notifyCalls[2].record.szTip);
    RemoveTrayIcon(window, 7);
    RemoveTrayIcon(window, 8);
}

TEST_F(TrayTest, RecreatedTaskbarGetsTheIconBack)
{
    SendMessageA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    ASSERT_EQ(2u, notifyCalls.size());
    ExpectAddRecord(notifyCalls[1], window);
    EXPECT_TRUE(notifyCalls[1].iconValid);
}

TEST_F(TrayTest, RightPressOpensTheMenuWhoseAboutShowsTheBox)
{
    menuScript.keys = { VK_DOWN, VK_RETURN };
    BoxWatcher watcher;
    RightPress();
    ASSERT_EQ(1, menuScript.openings);
    EXPECT_EQ(window, menuScript.foreground) << "foreground while the menu is open";
    EXPECT_EQ((std::vector<std::string>{ "&About", "", "&Exit" }), menuScript.items);
    EXPECT_EQ((std::vector<UINT>{ IDM_ABOUT, 0, IDM_EXIT }), menuScript.ids);
    std::vector<SeenBox> boxes = watcher.Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Thank You!", boxes[0].caption);
    EXPECT_EQ(nullptr, boxes[0].owner);
    EXPECT_EQ("deskclock, by the deskclock authors.\n\n  You can reach me at\ndeskclock@example.org",
              boxes[0].text);
    EXPECT_FALSE(TakeQuit());
}

TEST_F(TrayTest, MenuExitAsksToQuitAndDismissingDoesNothing)
{
    RightPress();
    RightPress();
    EXPECT_EQ(2, menuScript.openings) << "a fresh menu each time";
    EXPECT_FALSE(TakeQuit());

    menuScript.keys = { VK_DOWN, VK_DOWN, VK_RETURN };  // past the separator
    RightPress();
    WPARAM code = 99;
    ASSERT_TRUE(TakeQuit(&code));
    EXPECT_EQ(0u, code);
}

TEST_F(TrayTest, OnlyARightPressOnTheClocksIconOpensTheMenu)
{
    const LPARAM others[] = { WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                              WM_RBUTTONUP, WM_RBUTTONDBLCLK, WM_MBUTTONDOWN, WM_CONTEXTMENU,
                              MAKELPARAM(WM_RBUTTONDOWN, 1) };
    for (LPARAM mouse : others)
        RightPress(IDI_CLOCK, mouse);
    for (WPARAM id : { WPARAM(0), WPARAM(103), WPARAM(105), WPARAM(0x10068) })
        RightPress(id, WM_RBUTTONDOWN);
    EXPECT_EQ(0, menuScript.openings);
    EXPECT_FALSE(TakeQuit());
}

}  // namespace
