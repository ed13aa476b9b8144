#include "clock_fixture.h"

#include "app/clock_app.h"
#include "face/clock_hands.h"
#include "ui/clock_window.h"

void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Put back, for TakeQuit to find.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool TakeQuit(WPARAM* code)
{
    MSG message;
    if (!PeekMessageA(&message, NULL, WM_QUIT, WM_QUIT, PM_REMOVE))
        return false;
    if (code)
        *code = message.wParam;
    return true;
}

LaunchRecord launched;

bool RecordLaunch(const char* application, char* commandLine)
{
    ++launched.calls;
    launched.application = application;
    launched.commandLine = commandLine;
    return true;
}

void ClockWindowTest::SetUpTestSuite()
{
    ASSERT_NE(0, RegisterClockClass(GetModuleHandleA(NULL)));
    ASSERT_TRUE(LoadClockSkin(GetModuleHandleA(NULL)));
}

void ClockWindowTest::TearDownTestSuite()
{
    ReleaseClockApp();
    UnregisterClassA(kClockClassName, GetModuleHandleA(NULL));
}

void ClockWindowTest::SetUp()
{
    clockState = ClockState{ 0, 0.0f, true, "", "", "" };
    window = CreateClockWindow(GetModuleHandleA(NULL));
    ASSERT_NE(nullptr, window);
    // As start-up does: a child counts as visible only inside a visible parent.
    ShowWindow(window, SW_SHOW);
    PumpMessages();
}

void ClockWindowTest::TearDown()
{
    if (IsWindow(window))
        DestroyWindow(window);
    PumpMessages();
    TakeQuit();
    launchProcess = LaunchProcess;
}

void ClockWindowTest::Key(WPARAM key)
{
    SendMessageA(window, WM_KEYDOWN, key, 1);
    PumpMessages();
}
