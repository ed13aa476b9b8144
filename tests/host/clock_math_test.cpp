// The clock's arithmetic, without a window: readings, the start-up notice,
// the needle transform and the turning of needles by hand.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/version_text.h"
#include "face/clock_hands.h"
#include "face/needle_geometry.h"

namespace {

TEST(ClockHands, EveryMinuteOfTheDay)
{
    for (unsigned hour = 0; hour < 24; ++hour) {
        for (unsigned minute = 0; minute < 60; ++minute) {
            unsigned second = (minute * 7) % 60;
            SCOPED_TRACE(testing::Message() << hour << ":" << minute << ":" << second);
            ClockReading reading = ReadClockHands(hour, minute, second);
            EXPECT_EQ(static_cast<int>(minute) * 6, reading.minuteAngle);
            // Whole steps of 6 degrees, one every 12 minutes: never in between.
            int hourAngle = (hour % 12) * 30 + (minute / 12) * 6;
            EXPECT_EQ(static_cast<float>(hourAngle), reading.hourAngle);
            // A 12-hour dial without leading zeros: noon and midnight are 0.
            EXPECT_EQ(std::to_string(hour % 12) + ":" + std::to_string(minute) + ":" + std::to_string(second),
                      reading.readoutText);
            EXPECT_EQ("M:" + std::to_string(minute * 6), reading.minuteText);
            EXPECT_EQ("H:" + std::to_string(hourAngle) + ".0", reading.hourText);
        }
    }
}

// The notice for a platform record, or "(none)" where no box is shown.
std::string Notice(unsigned long platform, unsigned long major, unsigned long minor, const char* pack = "")
{
    char servicePack[128] = {};
    strncpy(servicePack, pack, sizeof(servicePack) - 1);
    char text[kVersionTextSize];
    return ChooseVersionText(platform, major, minor, servicePack, text, sizeof(text)) ? text : "(none)";
}

TEST(VersionText, EveryRowOfThePlatformTable)
{
    const std::string hint = "\n\nPress \"ESC\" if you want to quit.";
    const struct { unsigned long platform, major, minor; const char* pack; std::string notice; } rows[] = {
        { 0, 3, 11, "", "Microsoft Win32s." + hint },
        { 1, 4, 0, "", "Microsoft Windows 95" },
        { 1, 4, 0, "C", "Microsoft Windows 95" },  // the mark is the second character
        { 1, 4, 0, " C", "Microsoft Windows 95\nOSR2." + hint },
        { 1, 4, 0, " B ", "Microsoft Windows 95\nOSR2." + hint },
        { 1, 4, 10, " C", "Microsoft Windows 98" },
        { 1, 4, 10, " A ", "Microsoft Windows 98\nSE." + hint },
        { 1, 4, 10, " B", "Microsoft Windows 98\nSE." + hint },
        { 1, 4, 90, "", "Microsoft Windows Millennium Edition." + hint },
        { 1, 4, 1, " B", "(none)" },
        { 1, 5, 0, "", "(none)" },
        { 2, 10, 0, "Service Pack 3", "Windows NT product family." + hint },
        { 3, 10, 0, "", "Failed for version test" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.notice, Notice(row.platform, row.major, row.minor, row.pack))
            << row.platform << " " << row.major << "." << row.minor << " '" << row.pack << "'";
}

TEST(NeedleTransform, TurnsClockwiseFromTwelveAboutTheCentreByTheClocksOwnHalfTurn)
{
    const int cx = 159, cy = 119, h = 68;
    const struct { double angle, x, y; } tips[] = { { 0, cx, cy - h }, { 90, cx + h, cy }, { 180, cx, cy + h }, { 270, cx - h, cy } };
    for (const auto& tip : tips) {
        PointF at = TransformPoint(MakeNeedleTransform(tip.angle, cx, cy), 0, h);
        EXPECT_NEAR(tip.x, at.x, 0.05) << tip.angle;
        EXPECT_NEAR(tip.y, at.y, 0.05) << tip.angle;
    }
    // The half turn is 3.1416, a little more than pi.
    NeedleTransform up = MakeNeedleTransform(0, cx, cy);
    EXPECT_EQ(static_cast<float>(cos(3.1416)), up.eM11);
    EXPECT_EQ(static_cast<float>(sin(3.1416)), up.eM12);
    EXPECT_EQ(-up.eM12, up.eM21);
    EXPECT_EQ(-8, NeedleLeft(17)) << "half the width, truncated toward zero";
    EXPECT_EQ(-64, NeedleLeft(128));
}

// A 5 x 8 needle: a bar in column 2 behind a black mask, everything else
// key-black behind a white one, a marked pixel at the tip.
struct SmallNeedle {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(40, 0);
    std::vector<uint32_t> mask = std::vector<uint32_t>(40, 0xFFFFFF);
    SmallNeedle()
    {
        for (int row = 0; row < 8; ++row) {
            pixels[row * 5 + 2] = row == 7 ? 0xFF0000 : 0x102030;
            mask[row * 5 + 2] = 0;
        }
    }
    NeedleImage Image() const { return { 5, 8, pixels.data(), mask.data() }; }
};

TEST(TurningByHand, RightAnglesMovePixelsExactlyAndOtherAnglesKeepTheNeedleOnItsLine)
{
    SmallNeedle needle;
    PixelBox bar = OpaqueBounds(needle.Image());
    EXPECT_EQ(2, bar.left);
    EXPECT_EQ(3, bar.right);
    EXPECT_EQ(8, bar.bottom);
    for (double angle : { 90.0, 180.0, 30.0, 144.0, 276.0 }) {
        SCOPED_TRACE(angle);
        NeedleTransform t = MakeNeedleTransform(angle, 20, 20);
        PixelBox box = TransformedBounds(t, NeedleLeft(5), 0, 5, 8);
        int width = box.right - box.left;
        std::vector<uint32_t> pixels(width * (box.bottom - box.top), 0xABCDEF), mask(pixels);
        RotateNeedle(needle.Image(), t, NeedleLeft(5), box, pixels.data(), mask.data(), width);
        int shown = 0;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                uint32_t pixel = pixels[(y - box.top) * width + x - box.left];
                uint32_t maskBit = mask[(y - box.top) * width + x - box.left];
                // At 180 the needle hangs down as drawn, at 90 row r lies at x = 20 + r.
                int row = angle == 180 ? y - 20 : x - 20;
                bool bar = angle == 180 ? x == 20 && row >= 0 && row < 8 : angle == 90 && y == 19 && row >= 0 && row < 8;
                if (angle == 90 || angle == 180) {
                    EXPECT_EQ(bar ? needle.pixels[row * 5 + 2] : 0u, pixel) << x << "," << y;
                    EXPECT_EQ(bar ? 0u : 0xFFFFFFu, maskBit) << x << "," << y;
                } else if (maskBit == 0xFFFFFF) {
                    EXPECT_EQ(0u, pixel) << "the face shows through unchanged at " << x << "," << y;
                } else {
                    // Within a pixel of the needle's turned axis.
                    PointF a = TransformPoint(t, 0.5 + NeedleLeft(5) + 2, 0), b = TransformPoint(t, 0.5 + NeedleLeft(5) + 2, 8);
                    EXPECT_LT(fabs((b.x - a.x) * (y + 0.5 - a.y) - (b.y - a.y) * (x + 0.5 - a.x)) / 8, 1.0) << x << "," << y;
                }
                shown += maskBit == 0;
            }
        }
        EXPECT_GE(shown, 7);
        EXPECT_LE(shown, 11);
    }
}

}  // namespace
