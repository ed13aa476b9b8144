// The face on the real GDI: masks, the painted needles read back pixel by
// pixel from a memory bitmap, the round shape and when the face repaints.
#include <gtest/gtest.h>

#include <windows.h>

#include <math.h>

#include <vector>

#include "app/clock_app.h"
#include "box_watcher.h"
#include "clock_fixture.h"
#include "face/clock_face.h"
#include "face/clock_hands.h"
#include "resource.h"
#include "ui/clock_window.h"

namespace {

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kBlack = RGB(0, 0, 0);

// A device-dependent bitmap filled with the given colours, row by row.
HBITMAP MakeBitmap(int width, int height, const std::vector<COLORREF>& colours)
{
    HDC screen = GetDC(NULL);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(NULL, screen);
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    for (int i = 0; i < width * height; ++i)
        SetPixel(dc, i % width, i / width, colours[i]);
    SelectObject(dc, previous);
    DeleteDC(dc);
    return bitmap;
}

std::vector<COLORREF> ReadBitmap(HBITMAP bitmap, int width, int height)
{
    HDC dc = CreateCompatibleDC(NULL);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    std::vector<COLORREF> colours;
    for (int i = 0; i < width * height; ++i)
        colours.push_back(GetPixel(dc, i % width, i / width));
    SelectObject(dc, previous);
    DeleteDC(dc);
    return colours;
}

// A needle in one colour: a bar 4 wide in columns 62-65, rows 0..last.
HBITMAP MakeNeedle(COLORREF colour, int lastRow)
{
    std::vector<COLORREF> pixels(128 * 128, kWhite);
    for (int row = 0; row <= lastRow; ++row)
        for (int column = 62; column <= 65; ++column)
            pixels[row * 128 + column] = colour;
    return MakeBitmap(128, 128, pixels);
}

TEST(NeedleMask, OnlyExactKeyPixelsBecomeTransparentAndTurnBlack)
{
    const COLORREF nearWhite[] = { RGB(254, 255, 255), RGB(255, 254, 255), RGB(255, 255, 254) };
    std::vector<COLORREF> pixels = { kWhite, nearWhite[0], nearWhite[1],
                                     nearWhite[2], RGB(200, 0, 0), kBlack };
    HBITMAP bitmap = MakeBitmap(3, 2, pixels);
    HBITMAP mask = CreateNeedleMask(bitmap, kWhite);
    ASSERT_NE(nullptr, mask);
    BITMAP info;
    ASSERT_TRUE(GetObjectA(mask, sizeof(info), &info));
    EXPECT_EQ(1, info.bmBitsPixel);
    EXPECT_EQ(3, info.bmWidth);
    EXPECT_EQ(2, info.bmHeight);

    std::vector<COLORREF> maskBits = ReadBitmap(mask, 3, 2);
    std::vector<COLORREF> after = ReadBitmap(bitmap, 3, 2);
    EXPECT_EQ(kWhite, maskBits[0]);
    EXPECT_EQ(kBlack, after[0]);
    for (int i = 1; i < 6; ++i) {
        EXPECT_EQ(kBlack, maskBits[i]) << i;
        EXPECT_EQ(pixels[i], after[i]) << i;
    }
    DeleteObject(mask);
    DeleteObject(bitmap);
}

TEST(NeedleMask, ShippedNeedlesTurnAllBlackWithTheBarOpaque)
{
    for (int id : { IDB_MINUTE_NEEDLE, IDB_HOUR_NEEDLE }) {
        HBITMAP needle = LoadBitmapA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(id));
        HBITMAP mask = CreateNeedleMask(needle, kWhite);
        ASSERT_NE(nullptr, mask);
        int lastRow = id == IDB_MINUTE_NEEDLE ? 67 : 32;
        std::vector<COLORREF> maskBits = ReadBitmap(mask, 128, 128);
        std::vector<COLORREF> pixels = ReadBitmap(needle, 128, 128);
        int wrong = 0;
        for (int i = 0; i < 128 * 128; ++i) {
            bool bar = i % 128 >= 62 && i % 128 <= 65 && i / 128 <= lastRow;
            wrong += maskBits[i] != (bar ? kBlack : kWhite);
            wrong += pixels[i] != kBlack;
        }
        EXPECT_EQ(0, wrong) << id;
        DeleteObject(mask);
        DeleteObject(needle);
    }
}

TEST(NeedleMask, MissingBitmapGivesNoMask)
{
    EXPECT_EQ(nullptr, CreateNeedleMask(NULL, kWhite));
    EXPECT_EQ(nullptr, CreateNeedleMask(reinterpret_cast<HBITMAP>(0x1234), kWhite));
}

TEST(BlitRotation, WineStretchesTurnedBlitsSoTheClockTurnsNeedlesItself)
{
    EXPECT_FALSE(ProbeBlitRotation());
}

// The face rendered into a 32-bit memory bitmap the size of the window.
class FaceTest : public ClockWindowTest {
protected:
    void SetUp() override
    {
        ClockWindowTest::SetUp();
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 320;
        info.bmiHeader.biHeight = -240;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits;
        target = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        dc = CreateCompatibleDC(NULL);
        previous = SelectObject(dc, target);
    }

    void TearDown() override
    {
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(target);
        ClockWindowTest::TearDown();
    }

    void Render(int minuteAngle, float hourAngle)
    {
        clockState.minuteAngle = minuteAngle;
        clockState.hourAngle = hourAngle;
        DrawClockFace(dc, window);
        // Read back in plain pixel coordinates.
        ModifyWorldTransform(dc, NULL, MWT_IDENTITY);
    }

    // The pixel at a distance from the centre (159, 119) along an angle,
    // moved sideways (clockwise positive) by `aside`.
    COLORREF Along(double angle, double distance, double aside = 0)
    {
        double a = angle * 3.14159265358979 / 180;
        double x = 159 + distance * sin(a) + aside * cos(a);
        double y = 119 - distance * cos(a) + aside * sin(a);
        return GetPixel(dc, static_cast<int>(floor(x)), static_cast<int>(floor(y)));
    }

    // Black all along the needle's line from `from` to `to`, and the face
    // (never black) a few pixels to either side.
    void ExpectNeedle(double angle, int from, int to)
    {
        for (int d = from; d <= to; d += 2) {
            EXPECT_EQ(kBlack, Along(angle, d)) << "angle " << angle << " at " << d;
            EXPECT_NE(kBlack, Along(angle, d, 6)) << "angle " << angle << " beside " << d;
            EXPECT_NE(kBlack, Along(angle, d, -6)) << "angle " << angle << " beside " << d;
        }
    }

    void ExpectFace(double angle, int from, int to)
    {
        for (int d = from; d <= to; d += 2)
            EXPECT_NE(kBlack, Along(angle, d)) << "angle " << angle << " at " << d;
    }

    HBITMAP target = nullptr;
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
};

TEST_F(FaceTest, NeedlesPointWhereTheirAnglesSay)
{
    const int angles[] = { 0, 90, 180, 270, 144, 276, 30 };
    for (int angle : angles) {
        float hourAngle = static_cast<float>((angle + 150) % 360);
        Render(angle, hourAngle);
        ExpectNeedle(angle, 40, 64);    // past the hour needle's reach
        ExpectNeedle(hourAngle, 6, 30);
        ExpectFace(angle + 90, 6, 100);
        ExpectFace(angle, 72, 100);     // beyond the tip
    }
}

TEST_F(FaceTest, HourNeedleIsDrawnOverTheMinuteNeedleInItsOwnColour)
{
    HBITMAP shipped[] = { clockApp.minuteNeedle, clockApp.minuteMask, clockApp.hourNeedle, clockApp.hourMask };
    clockApp.minuteNeedle = MakeNeedle(RGB(200, 0, 0), 67);
    clockApp.minuteMask = CreateNeedleMask(clockApp.minuteNeedle, kWhite);
    clockApp.hourNeedle = MakeNeedle(RGB(0, 0, 200), 32);
    clockApp.hourMask = CreateNeedleMask(clockApp.hourNeedle, kWhite);
    Render(144, 144.0f);
    for (int d = 6; d <= 30; d += 4)
        EXPECT_EQ(RGB(0, 0, 200), Along(144, d)) << d;
    for (int d = 40; d <= 64; d += 4)
        EXPECT_EQ(RGB(200, 0, 0), Along(144, d)) << d;
    for (HBITMAP made : { clockApp.minuteNeedle, clockApp.minuteMask, clockApp.hourNeedle, clockApp.hourMask })
        DeleteObject(made);
    clockApp.minuteNeedle = shipped[0];
    clockApp.minuteMask = shipped[1];
    clockApp.hourNeedle = shipped[2];
    clockApp.hourMask = shipped[3];
}

TEST_F(FaceTest, MissingNeedleOrMaskLeavesThatNeedleOutAndDrawsTheRest)
{
    HBITMAP needle = clockApp.minuteNeedle;
    HBITMAP mask = clockApp.minuteMask;

    clockApp.minuteNeedle = NULL;
    clockApp.minuteMask = NULL;
    Render(90, 270.0f);
    ExpectFace(90, 6, 100);
    ExpectNeedle(270, 6, 30);

    // A needle whose mask could not be made would cover its whole square.
    clockApp.minuteNeedle = needle;
    Render(90, 270.0f);
    ExpectFace(90, 6, 100);
    for (int aside : { -40, -20, 20, 40 })
        ExpectFace(90 + aside, 10, 60);
    ExpectNeedle(270, 6, 30);

    clockApp.minuteMask = mask;
}

TEST_F(FaceTest, RoundWindowWithoutTaskbarButton)
{
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(window, region));
    RECT box;
    GetRgnBox(region, &box);
    EXPECT_EQ(44, box.left);
    EXPECT_EQ(4, box.top);
    EXPECT_EQ(275, box.right);
    EXPECT_EQ(235, box.bottom);
    EXPECT_TRUE(PtInRegion(region, 160, 120));
    EXPECT_TRUE(PtInRegion(region, 160, 5));
    EXPECT_FALSE(PtInRegion(region, 50, 10));
    EXPECT_FALSE(PtInRegion(region, 270, 230));
    DeleteObject(region);

    LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(exStyle & (WS_EX_APPWINDOW | 0x00C00000));
    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_EQ(320, frame.right - frame.left);
    EXPECT_EQ(240, frame.bottom - frame.top);
}

bool NeedsPaint(HWND window)
{
    return GetUpdateRect(window, NULL, FALSE) != FALSE;
}

TEST_F(FaceTest, TicksWriteTheTimeAndRepaintAsTheirTimerCallsFor)
{
    SendMessageA(window, WM_TIMER, 999, 0);  // catch up with the minute
    EXPECT_TRUE(clockState.repaintPending) << "owed since start";
    EXPECT_FALSE(NeedsPaint(window)) << "an unknown timer repaints nothing";
    EXPECT_EQ(std::string(clockState.readoutText), WindowText(Child(IDC_READOUT)));
    EXPECT_EQ(std::string(clockState.minuteText), WindowText(Child(IDC_EXIT)));
    EXPECT_EQ(std::string(clockState.hourText), WindowText(Child(IDC_ADJUST_TIME)));

    SendMessageA(window, WM_TIMER, IDT_SECOND, 0);
    EXPECT_TRUE(NeedsPaint(window));
    EXPECT_FALSE(clockState.repaintPending);
    ValidateRect(window, NULL);

    // Repeated a few times in case the wall clock's minute turns meanwhile.
    bool quiet = false;
    for (int attempt = 0; attempt < 3 && !quiet; ++attempt) {
        int minute = clockState.minuteAngle;
        SendMessageA(window, WM_TIMER, IDT_SECOND, 0);
        quiet = clockState.minuteAngle == minute && !NeedsPaint(window);
        ValidateRect(window, NULL);
    }
    EXPECT_TRUE(quiet) << "a one-second tick with nothing owed repaints nothing";

    SendMessageA(window, WM_TIMER, IDT_MINUTE, 0);
    EXPECT_TRUE(NeedsPaint(window));
    ValidateRect(window, NULL);

    clockState.minuteAngle = -6;  // as if the last tick was a minute ago
    SendMessageA(window, WM_TIMER, 999, 0);
    EXPECT_TRUE(clockState.repaintPending);
    SendMessageA(window, WM_TIMER, IDT_SECOND, 0);
    EXPECT_TRUE(NeedsPaint(window));
    ValidateRect(window, NULL);

    launchProcess = RecordLaunch;
    SendMessageA(window, WM_COMMAND, IDC_ADJUST_TIME, 0);
    EXPECT_TRUE(clockState.repaintPending);
}

}  // namespace
