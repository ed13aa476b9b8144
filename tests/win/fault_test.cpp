// The real deskclock.exe under faults: copies of it with resources left out,
// and messages no user would send, posted to it from another process.
#include <gtest/gtest.h>

#include <windows.h>

#include <math.h>

#include <algorithm>
#include <string>
#include <vector>

#include "box_watcher.h"
#include "clock_process.h"

namespace {

const UINT kTrayMessage = WM_APP + 100;
const WPARAM kTrayId = 104;
const int kControlIds[] = { 300, 301, 302 };

// A copy of the clock beside it, without some of its resources; removed again
// once the test and the copy's process are done.
struct ClockCopy {
    ClockCopy(const char* name, const std::vector<ResourceName>& omit)
        : path(BuildFolder() + name), made(CopyClockWithout(ClockExePath(), path, omit)) {}
    ~ClockCopy()
    {
        for (int i = 0; i < 50 && !DeleteFileA(path.c_str()) &&
                        GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(100);
    }
    const std::string path;
    const bool made;
};

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 3000)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(10))
        if (condition())
            return true;
    return condition();
}

bool ControlsShown(HWND window, bool shown)
{
    for (int id : kControlIds)
        if ((IsWindowVisible(GetDlgItem(window, id)) != FALSE) != shown)
            return false;
    return true;
}

// The boxes besides the version notice at start-up.
std::vector<SeenBox> ErrorBoxes(const std::vector<SeenBox>& boxes)
{
    std::vector<SeenBox> errors;
    for (const SeenBox& box : boxes)
        if (box.caption != "Version")
            errors.push_back(box);
    return errors;
}

// The screen under the clock's window at the top-left corner, copied at once
// so that a repaint cannot fall between two samples.
class FaceShot {
public:
    FaceShot() : pixels_(320 * 240)
    {
        HDC screen = GetDC(NULL);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, 320, 240);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, 320, 240, screen, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 320;
        info.bmiHeader.biHeight = -240;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        GetDIBits(memory, bitmap, 0, 240, pixels_.data(), &info, DIB_RGB_COLORS);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(NULL, screen);
    }
    bool Black(POINT p) const { return (pixels_[p.y * 320 + p.x] & 0xFFFFFF) == 0; }

private:
    std::vector<DWORD> pixels_;
};

// A needle as it should lie: a bar 4 pixels wide from the face's centre,
// which is screen (160, 120).
struct Needle {
    double angle;
    double length;

    double Along(double x, double y) const { return x * sin(Radians()) - y * cos(Radians()); }
    double Across(double x, double y) const { return fabs(x * cos(Radians()) + y * sin(Radians())); }
    // How far a point, relative to the centre, lies outside the bar.
    double Outside(double x, double y) const
    {
        double along = Along(x, y);
        return hypot(std::max(0.0, Across(x, y) - 2), std::max({ 0.0, -along, along - length }));
    }
    double Radians() const { return angle * 3.14159265358979 / 180; }
};

// Pixels whose centres lie well inside the needle between two distances from
// the centre, and at least a pixel clear of another needle's bar if given.
std::vector<POINT> PixelsOf(const Needle& needle, int from, int to, const Needle* clearOf = nullptr)
{
    std::vector<POINT> pixels;
    for (int d = from; d <= to; d += 2) {
        for (int side = -1; side <= 1; ++side) {
            double a = needle.Radians();
            POINT p = { static_cast<LONG>(floor(160 + d * sin(a) + side * cos(a))),
                        static_cast<LONG>(floor(120 - d * cos(a) + side * sin(a))) };
            double x = p.x + 0.5 - 160, y = p.y + 0.5 - 120;
            double along = needle.Along(x, y);
            if (needle.Across(x, y) <= 1.5 && along >= 1 && along <= needle.length - 1 &&
                (!clearOf || clearOf->Outside(x, y) >= 1))
                pixels.push_back(p);
        }
    }
    return pixels;
}

int CountBlack(const FaceShot& shot, const std::vector<POINT>& pixels)
{
    int black = 0;
    for (POINT p : pixels)
        black += shot.Black(p);
    return black;
}

// Runs the copy without its skin, answering its boxes. The boxes are
// answered here rather than by a watcher: while the error is shown the window
// and its tray icon still exist. Wine's tray also drops the icon of a window
// that went with its process, so only the order tells that the clock removed
// its own: the icon goes first, some 30 ms before the process ends.
struct SkinlessRun {
    std::vector<SeenBox> boxes;
    HWND icon = nullptr;
    bool iconWentFirst = false;
    DWORD exitCode = STILL_ACTIVE;
};

SkinlessRun RunWithoutSkin(const std::string& path, const std::vector<HWND>& before)
{
    SkinlessRun run;
    ClockProcess clock(path);
    DWORD start = GetTickCount();
    while (clock.Started() && clock.WaitForExit(10) == STILL_ACTIVE && GetTickCount() - start < 10000) {
        HWND box = FindProcessWindow(clock.Id(), "#32770", NULL);
        if (!box || !IsWindowVisible(box))
            continue;
        run.boxes.push_back({ WindowText(box), MessageBoxText(box), GetWindow(box, GW_OWNER) });
        bool error = run.boxes.back().caption == "Error";
        if (error)
            WaitUntil([&] { return (run.icon = NewTrayIcon(before)) != nullptr; });
        SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        auto running = [&] { return WaitForSingleObject(clock.Handle(), 0) == WAIT_TIMEOUT; };
        while (error && run.icon && !run.iconWentFirst && running())
            run.iconWentFirst = !IsWindowVisible(run.icon) && running();
        WaitUntil([&] { return !IsWindow(box); });
    }
    run.exitCode = clock.WaitForExit(0);
    return run;
}

TEST(ClockExeFaults, MissingSkinIsReportedAndEndsWithMinusOne)
{
    ClockCopy copy("deskclock-noskin.exe", { { RT_BITMAP, 101 } });
    ASSERT_TRUE(copy.made);
    std::vector<HWND> before = TrayIcons();
    // A stall of this test longer than that gap could miss the order, so a
    // miss is looked at again; a clock that leaves its icon misses every time.
    SkinlessRun run;
    for (int attempt = 0; attempt < 3 && !run.iconWentFirst; ++attempt) {
        run = RunWithoutSkin(copy.path, before);
        WaitUntil([&] { return TrayIcons() == before; });
    }
    EXPECT_EQ(static_cast<DWORD>(-1), run.exitCode);
    std::vector<SeenBox> errors = ErrorBoxes(run.boxes);
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ("Error", errors[0].caption);
    EXPECT_EQ("Failed to load the skin bitmap!", errors[0].text);
    ASSERT_NE(nullptr, run.icon) << "no tray icon while the error was shown";
    EXPECT_TRUE(run.iconWentFirst) << "the tray icon outlived the clock";
    EXPECT_TRUE(TrayIcons() == before) << "a tray icon was left behind";
}

// With one needle bitmap missing the clock runs without a word and draws the
// other needle alone, at the local time.
void ExpectOnlyOneNeedle(WORD missingId)
{
    bool minuteMissing = missingId == 102;
    ClockCopy copy(minuteMissing ? "deskclock-nominute.exe" : "deskclock-nohour.exe",
                   { { RT_BITMAP, missingId } });
    ASSERT_TRUE(copy.made);
    BoxWatcher watcher;
    ClockProcess clock(copy.path);
    HWND window = clock.WaitForWindow();
    ASSERT_NE(nullptr, window);
    RECT frame;
    GetWindowRect(window, &frame);
    ASSERT_EQ(0, frame.left);
    ASSERT_EQ(0, frame.top);
    Sleep(1300);  // the first tick

    // In the minute of each hour when the needles lie on one line, the
    // missing one could hide under the other: look again a minute later.
    for (DWORD start = GetTickCount(); GetTickCount() - start < 100000;) {
        SYSTEMTIME before, after;
        GetLocalTime(&before);
        FaceShot shot;
        GetLocalTime(&after);
        // Just after a minute turns the face may still show the one before.
        if (before.wSecond < 2 || after.wMinute != before.wMinute) {
            Sleep(1000);
            continue;
        }
        Needle minute = { before.wMinute * 6.0, 68 };
        Needle hour = { (before.wHour % 12) * 30.0 + (before.wMinute / 12) * 6, 33 };
        const Needle& present = minuteMissing ? hour : minute;
        const Needle& missing = minuteMissing ? minute : hour;
        std::vector<POINT> absent = PixelsOf(missing, 8, static_cast<int>(missing.length) - 2, &present);
        std::vector<POINT> shown = PixelsOf(present, 8, static_cast<int>(present.length) - 2);
        if (absent.size() < 3) {
            Sleep((62 - before.wSecond) * 1000);
            continue;
        }
        EXPECT_EQ(0, CountBlack(shot, absent)) << "missing needle at " << missing.angle;
        EXPECT_EQ(static_cast<int>(shown.size()), CountBlack(shot, shown)) << "needle at " << present.angle;
        EXPECT_EQ(0u, ErrorBoxes(watcher.Boxes()).size());
        EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), clock.WaitForExit(0));
        return;
    }
    GTEST_SKIP() << "the needles lay on one line throughout";
}

TEST(ClockExeFaults, MissingMinuteNeedleLeavesTheHourNeedleAlone)
{
    ExpectOnlyOneNeedle(102);
}

TEST(ClockExeFaults, MissingHourNeedleLeavesTheMinuteNeedleAlone)
{
    ExpectOnlyOneNeedle(103);
}

TEST(ClockExeFaults, MissingNeedlesAreReportedAndTheBareFaceRuns)
{
    ClockCopy copy("deskclock-noneedles.exe", { { RT_BITMAP, 102 }, { RT_BITMAP, 103 } });
    ASSERT_TRUE(copy.made);
    BoxWatcher watcher;
    ClockProcess clock(copy.path);
    HWND window = clock.WaitForWindow();
    ASSERT_NE(nullptr, window);
    std::vector<SeenBox> errors = ErrorBoxes(watcher.Boxes());
    ASSERT_EQ(2u, errors.size());
    EXPECT_EQ("Error", errors[0].caption);
    EXPECT_EQ("Failed to load the Needle bitmaps!", errors[0].text);
    EXPECT_EQ("Error", errors[1].caption);
    EXPECT_EQ("Could not create masks!", errors[1].text);

    Sleep(1300);  // the first tick
    EXPECT_EQ(window, WindowFromPoint(POINT{ 160, 120 }));
    FaceShot shot;
    int black = 0;
    for (int y = -75; y <= 75; ++y)
        for (int x = -75; x <= 75; ++x)
            black += x * x + y * y <= 75 * 75 && shot.Black(POINT{ 160 + x, 120 + y });
    EXPECT_EQ(0, black);
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1);
    EXPECT_EQ(0u, clock.WaitForExit());
}

// Without its icon or its menu the clock still starts, takes a right press
// on its tray icon without harm, and ends by Esc or by the system.
void ExpectRunsWithout(ResourceName missing, const char* name)
{
    ClockCopy copy(name, { missing });
    ASSERT_TRUE(copy.made);
    for (bool byEsc : { true, false }) {
        SCOPED_TRACE(byEsc ? "Esc" : "WM_CLOSE");
        std::vector<HWND> before = TrayIcons();
        ClockProcess clock(copy.path);
        HWND window = clock.WaitForWindow();
        ASSERT_NE(nullptr, window);
        if (byEsc) {
            BoxWatcher watcher;
            // Without an icon there may be nothing to press in the tray: the
            // press is then told to the window, as the tray would tell it.
            HWND icon = nullptr;
            WaitUntil([&] { return (icon = NewTrayIcon(before)) != nullptr; }, 1500);
            if (icon) {
                RightPressTrayIcon(icon);
            } else {
                PostMessageA(window, kTrayMessage, kTrayId, WM_RBUTTONDOWN);
            }
            // Without the menu nothing may open; with only the icon missing
            // the menu may open as usual, and closes again on Esc.
            bool opened = WaitUntil(OpenMenu, 1000);
            EXPECT_FALSE(opened && missing.type == RT_MENU);
            if (opened) {
                PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
                EXPECT_TRUE(WaitUntil([] { return !OpenMenu(); }));
            }
            EXPECT_EQ(0u, watcher.Boxes().size());
            EXPECT_EQ(static_cast<DWORD>(STILL_ACTIVE), clock.WaitForExit(0));
            EXPECT_TRUE(IsWindowVisible(window));
        }
        if (byEsc)
            PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1);
        else
            PostMessageA(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, clock.WaitForExit());
    }
}

TEST(ClockExeFaults, MissingIconLeavesTheClockRunning)
{
    ExpectRunsWithout({ RT_GROUP_ICON, 104 }, "deskclock-noicon.exe");
}

TEST(ClockExeFaults, MissingMenuLeavesTheClockRunning)
{
    ExpectRunsWithout({ RT_MENU, 105 }, "deskclock-nomenu.exe");
}

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Messages from another process that the clock has no use for: afterwards it
// must be as it was, and still answer its own keys.
class ClockExeHostile : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(clock.Started());
        window = clock.WaitForWindow();
        ASSERT_NE(nullptr, window);
    }

    // The hidden Adjust Time button is the marker: a state change posted to
    // it comes out of the clock's queue after everything posted before.
    bool Drained()
    {
        HWND marker = GetDlgItem(window, 300);
        if (!PostMessageA(marker, BM_SETSTATE, TRUE, 0))
            return false;
        bool done = WaitUntil([&] {
            DWORD_PTR state = 0;
            return SendMessageTimeoutA(marker, BM_GETSTATE, 0, 0, SMTO_ABORTIFHUNG, 1000, &state) &&
                   (state & BST_PUSHED);
        }, 60000);
        SendMessageTimeoutA(marker, BM_SETSTATE, FALSE, 0, SMTO_ABORTIFHUNG, 1000, NULL);
        return done;
    }

    // Posts in batches well below the queue's limit, waiting for each batch to
    // be worked through; a full queue is waited out. False if the clock stops
    // taking messages.
    bool PostAll(const std::vector<Posted>& messages)
    {
        const size_t kBatch = 2000;
        for (size_t i = 0; i < messages.size(); ++i) {
            const Posted& m = messages[i];
            for (int tries = 0; !PostMessageA(window, m.message, m.wParam, m.lParam); ++tries) {
                if (!IsWindow(window) || tries == 1000) {
                    ADD_FAILURE() << "could not post " << m.message << " with " << m.wParam;
                    return false;
                }
                Sleep(5);
            }
            if (((i + 1) % kBatch == 0 || i + 1 == messages.size()) && !Drained()) {
                ADD_FAILURE() << "not worked through after " << i + 1 << " messages";
                return false;
            }
        }
        return true;
    }

    void ExpectUnharmed()
    {
        EXPECT_EQ(0u, ErrorBoxes(watcher.Boxes()).size());
        EXPECT_EQ(nullptr, OpenMenu());
        EXPECT_TRUE(ControlsShown(window, false));
        EXPECT_TRUE(IsWindowVisible(window));
        RECT frame;
        GetWindowRect(window, &frame);
        EXPECT_EQ(0, frame.left);
        EXPECT_EQ(0, frame.top);
        EXPECT_EQ(0u, ChildProcesses(clock.Id()).size());
        ASSERT_EQ(static_cast<DWORD>(STILL_ACTIVE), clock.WaitForExit(0));
        std::string readout = WindowText(GetDlgItem(window, 302));
        EXPECT_TRUE(WaitUntil([&] { return WindowText(GetDlgItem(window, 302)) != readout; }))
            << "the readout stopped at " << readout;
        PostMessageA(window, WM_KEYDOWN, VK_DOWN, 1);
        EXPECT_TRUE(WaitUntil([&] { return ControlsShown(window, true); }));
        PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 1);
        EXPECT_EQ(0u, clock.WaitForExit());
    }

    ClockProcess clock;
    HWND window = nullptr;
    BoxWatcher watcher;
};

TEST_F(ClockExeHostile, UnknownCommandsAreIgnored)
{
    std::vector<Posted> messages;
    for (WPARAM id = 0; id <= 0xFFFF; ++id)
        if (id != 300 && id != 301 && id != 40001 && id != 40002)
            messages.push_back({ WM_COMMAND, id, 0 });
    ASSERT_TRUE(PostAll(messages));
    ExpectUnharmed();
}

TEST_F(ClockExeHostile, UnknownTimersAreIgnored)
{
    std::vector<Posted> messages;
    for (WPARAM id = 0; id <= 2000; ++id)
        if (id != 303 && id != 304)
            messages.push_back({ WM_TIMER, id, 0 });
    for (WPARAM id : { WPARAM(0xFFFF), WPARAM(0x10000), WPARAM(0x7FFFFFFF), ~WPARAM(0) })
        messages.push_back({ WM_TIMER, id, 0 });
    ASSERT_TRUE(PostAll(messages));
    ExpectUnharmed();
}

TEST_F(ClockExeHostile, TrayNotesOfOtherIconsOrOtherButtonsAreIgnored)
{
    std::vector<Posted> messages;
    for (WPARAM id : { 0, 103, 105, 0xFFFF })
        messages.push_back({ kTrayMessage, id, WM_RBUTTONDOWN });
    for (LPARAM mouse = WM_MOUSEMOVE; mouse <= 0x20E; ++mouse)
        if (mouse != WM_RBUTTONDOWN)
            messages.push_back({ kTrayMessage, kTrayId, mouse });
    ASSERT_TRUE(PostAll(messages));
    ExpectUnharmed();
}

TEST_F(ClockExeHostile, OtherKeysAreIgnored)
{
    std::vector<Posted> messages;
    for (WPARAM key = 0; key <= 255; ++key)
        if (key != VK_ESCAPE && key != VK_UP && key != VK_DOWN)
            messages.push_back({ WM_KEYDOWN, key, 1 });
    ASSERT_TRUE(PostAll(messages));
    ExpectUnharmed();
}

}  // namespace
