// The clock's arithmetic, without a window: readings, the repaint rule, the
// needle transform and the turning of needles by hand.
#include <gtest/gtest.h>

#include <math.h>

#include <string>
#include <vector>

#include "face/clock_hands.h"
#include "face/needle_geometry.h"
#include "resource.h"

namespace {

TEST(ClockHands, EveryMinuteOfTheDay)
{
    for (unsigned hour = 0; hour < 24; ++hour) {
        for (unsigned minute = 0; minute < 60; ++minute) {
            SCOPED_TRACE(testing::Message() << hour << ":" << minute);
            ClockReading reading = ReadClockHands(hour, minute, 0);
            EXPECT_EQ(static_cast<int>(minute) * 6, reading.minuteAngle);
            // Whole steps of 6 degrees, one every 12 minutes: never in between.
            EXPECT_EQ(static_cast<float>((hour % 12) * 30 + (minute / 12) * 6), reading.hourAngle);
            EXPECT_EQ("M:" + std::to_string(minute * 6), reading.minuteText);
            EXPECT_EQ(std::to_string(hour % 12) + ":" + std::to_string(minute) + ":0",
                      reading.readoutText);
            char hourText[16];
            snprintf(hourText, sizeof(hourText), "H:%d.0", (hour % 12) * 30 + (minute / 12) * 6);
            EXPECT_STREQ(hourText, reading.hourText);
        }
    }
}

TEST(ClockHands, KnownMoments)
{
    struct Moment { unsigned h, m, s; int minuteAngle; float hourAngle; const char* readout; const char* hourText; };
    const Moment moments[] = {
        { 0, 0, 0, 0, 0.0f, "0:0:0", "H:0.0" },
        { 11, 59, 30, 354, 354.0f, "11:59:30", "H:354.0" },
        { 15, 11, 59, 66, 90.0f, "3:11:59", "H:90.0" },
        { 15, 12, 0, 72, 96.0f, "3:12:0", "H:96.0" },
        { 23, 48, 0, 288, 354.0f, "11:48:0", "H:354.0" },
        { 12, 5, 7, 30, 0.0f, "0:5:7", "H:0.0" },
        { 9, 14, 5, 84, 276.0f, "9:14:5", "H:276.0" },
        { 18, 30, 0, 180, 192.0f, "6:30:0", "H:192.0" },
    };
    for (const Moment& m : moments) {
        ClockReading reading = ReadClockHands(m.h, m.m, m.s);
        EXPECT_EQ(m.minuteAngle, reading.minuteAngle) << m.readout;
        EXPECT_EQ(m.hourAngle, reading.hourAngle) << m.readout;
        EXPECT_STREQ(m.readout, reading.readoutText);
        EXPECT_STREQ(m.hourText, reading.hourText);
    }
    EXPECT_STREQ("M:354", ReadClockHands(11, 59, 30).minuteText);
}

TEST(RepaintRule, SecondTickRepaintsOnlyWhenOwedAndMinuteTickAlways)
{
    ClockState state = { 0, 0.0f, true, "", "", "" };
    ClockReading tenTwentyFour = ReadClockHands(10, 24, 31);

    EXPECT_TRUE(TakeReading(state, tenTwentyFour, IDT_SECOND)) << "the first tick after start";
    EXPECT_FALSE(state.repaintPending);
    EXPECT_EQ(144, state.minuteAngle);
    EXPECT_EQ(312.0f, state.hourAngle);
    EXPECT_STREQ("10:24:31", state.readoutText);
    EXPECT_STREQ("M:144", state.minuteText);
    EXPECT_STREQ("H:312.0", state.hourText);

    EXPECT_FALSE(TakeReading(state, ReadClockHands(10, 24, 32), IDT_SECOND));
    EXPECT_STREQ("10:24:32", state.readoutText) << "texts follow every tick";
    EXPECT_TRUE(TakeReading(state, ReadClockHands(10, 24, 33), IDT_MINUTE));
    EXPECT_FALSE(state.repaintPending);
    EXPECT_FALSE(TakeReading(state, ReadClockHands(10, 24, 34), 999));

    // A turned minute is owed a repaint, whichever timer saw it first.
    EXPECT_FALSE(TakeReading(state, ReadClockHands(10, 25, 0), 999));
    EXPECT_TRUE(state.repaintPending);
    EXPECT_TRUE(TakeReading(state, ReadClockHands(10, 25, 1), IDT_SECOND));
    EXPECT_FALSE(TakeReading(state, ReadClockHands(10, 25, 2), IDT_SECOND));

    state.repaintPending = true;  // as after Adjust Time
    EXPECT_TRUE(TakeReading(state, ReadClockHands(10, 25, 3), IDT_SECOND));
    EXPECT_FALSE(state.repaintPending);
}

TEST(NeedleTransform, TurnsClockwiseFromTwelveAboutTheCentre)
{
    const int cx = 159, cy = 119, h = 68;
    struct Case { double angle; double x, y; };
    const Case cases[] = { { 0, cx, cy - h }, { 90, cx + h, cy }, { 180, cx, cy + h }, { 270, cx - h, cy } };
    for (const Case& c : cases) {
        PointF tip = TransformPoint(MakeNeedleTransform(c.angle, cx, cy), 0, h);
        EXPECT_NEAR(c.x, tip.x, 0.05) << c.angle;
        EXPECT_NEAR(c.y, tip.y, 0.05) << c.angle;
    }
    // The half turn is 3.1416, a little more than pi: the tip sits a hair off.
    NeedleTransform up = MakeNeedleTransform(0, cx, cy);
    EXPECT_EQ(static_cast<float>(cos(3.1416)), up.eM11);
    EXPECT_EQ(static_cast<float>(sin(3.1416)), up.eM12);
    EXPECT_EQ(-up.eM12, up.eM21);
    EXPECT_EQ(static_cast<float>(cx), up.eDx);
    EXPECT_EQ(static_cast<float>(cy), up.eDy);
}

TEST(NeedleTransform, PlacesNeedlesHalfTheirWidthLeftTruncatingTowardZero)
{
    EXPECT_EQ(-64, NeedleLeft(128));
    EXPECT_EQ(-8, NeedleLeft(17));
    EXPECT_EQ(0, NeedleLeft(1));
    EXPECT_EQ(0, NeedleLeft(0));
}

// A 5 x 8 needle: a bar in column 2 (mask black), everything else key-black
// behind a white mask, with one marked pixel at the tip.
struct SmallNeedle {
    static constexpr int kWidth = 5, kHeight = 8;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(kWidth * kHeight, 0);
    std::vector<uint32_t> mask = std::vector<uint32_t>(kWidth * kHeight, 0xFFFFFF);
    SmallNeedle()
    {
        for (int row = 0; row < kHeight; ++row) {
            pixels[row * kWidth + 2] = row == kHeight - 1 ? 0xFF0000 : 0x102030;
            mask[row * kWidth + 2] = 0;
        }
    }
    NeedleImage Image() const { return { kWidth, kHeight, pixels.data(), mask.data() }; }
};

std::vector<uint32_t> Turned(const SmallNeedle& needle, double angle, PixelBox* box, std::vector<uint32_t>* mask)
{
    NeedleTransform t = MakeNeedleTransform(angle, 20, 20);
    int left = NeedleLeft(SmallNeedle::kWidth);
    *box = TransformedBounds(t, left, 0, SmallNeedle::kWidth, SmallNeedle::kHeight);
    size_t count = static_cast<size_t>(box->right - box->left) * (box->bottom - box->top);
    std::vector<uint32_t> pixels(count, 0xABCDEF);
    mask->assign(count, 0xABCDEF);
    RotateNeedle(needle.Image(), t, left, *box, pixels.data(), mask->data(), box->right - box->left);
    return pixels;
}

TEST(TurningByHand, OnlyTheVisiblePartOfANeedleNeedsTurning)
{
    SmallNeedle needle;
    PixelBox bar = OpaqueBounds(needle.Image());
    EXPECT_EQ(2, bar.left);
    EXPECT_EQ(0, bar.top);
    EXPECT_EQ(3, bar.right);
    EXPECT_EQ(SmallNeedle::kHeight, bar.bottom);

    needle.mask.assign(needle.mask.size(), 0xFFFFFF);
    needle.mask[3 * SmallNeedle::kWidth + 4] = 0;
    PixelBox dot = OpaqueBounds(needle.Image());
    EXPECT_EQ(4, dot.left);
    EXPECT_EQ(3, dot.top);
    EXPECT_EQ(5, dot.right);
    EXPECT_EQ(4, dot.bottom);

    needle.mask.assign(needle.mask.size(), 0xFFFFFF);
    PixelBox none = OpaqueBounds(needle.Image());
    EXPECT_EQ(none.left, none.right);
}

TEST(TurningByHand, RightAnglesMoveEveryPixelExactly)
{
    SmallNeedle needle;
    PixelBox box;
    std::vector<uint32_t> mask;
    // At 180 degrees the needle hangs down as drawn: a plain copy at (20 - 2, 20).
    // The half turn is not exactly pi, so the box may reach a pixel further.
    std::vector<uint32_t> down = Turned(needle, 180, &box, &mask);
    int width = box.right - box.left;
    EXPECT_LE(box.right - box.left, SmallNeedle::kWidth + 2);
    EXPECT_LE(box.bottom - box.top, SmallNeedle::kHeight + 2);
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            int at = (y - box.top) * width + (x - box.left);
            int column = x - 18, row = y - 20;
            bool inside = column >= 0 && column < SmallNeedle::kWidth && row >= 0 && row < SmallNeedle::kHeight;
            EXPECT_EQ(inside ? needle.pixels[row * SmallNeedle::kWidth + column] : 0u, down[at]) << x << "," << y;
            EXPECT_EQ(inside ? needle.mask[row * SmallNeedle::kWidth + column] : 0xFFFFFFu, mask[at]) << x << "," << y;
        }
    }

    // At 90 degrees row r of the needle lies at x = 20 + r, pointing right;
    // the needle's column 2, just right of the pivot, turns to the row above.
    std::vector<uint32_t> right = Turned(needle, 90, &box, &mask);
    width = box.right - box.left;
    for (int r = 0; r < SmallNeedle::kHeight; ++r) {
        int at = (19 - box.top) * width + (20 + r - box.left);
        EXPECT_EQ(needle.pixels[r * SmallNeedle::kWidth + 2], right[at]) << r;
        EXPECT_EQ(0u, mask[at]) << r;
    }
}

TEST(TurningByHand, OddAnglesKeepTheNeedleOnItsLineAndTheFaceBesideIt)
{
    SmallNeedle needle;
    for (double angle : { 30.0, 144.0, 276.0, 333.0 }) {
        SCOPED_TRACE(angle);
        PixelBox box;
        std::vector<uint32_t> mask;
        std::vector<uint32_t> pixels = Turned(needle, angle, &box, &mask);
        int width = box.right - box.left;
        NeedleTransform t = MakeNeedleTransform(angle, 20, 20);
        int needlePixels = 0;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                int at = (y - box.top) * width + (x - box.left);
                ASSERT_NE(0xABCDEFu, pixels[at]) << "every pixel of the box is written";
                if (mask[at] == 0xFFFFFF) {
                    EXPECT_EQ(0u, pixels[at]) << "the face shows through unchanged";
                    continue;
                }
                ++needlePixels;
                // A needle pixel lies within a pixel of the needle's turned axis.
                PointF a = TransformPoint(t, 0.5 + NeedleLeft(5) + 2, 0);
                PointF b = TransformPoint(t, 0.5 + NeedleLeft(5) + 2, SmallNeedle::kHeight);
                double cross = (b.x - a.x) * (y + 0.5 - a.y) - (b.y - a.y) * (x + 0.5 - a.x);
                double distance = fabs(cross) / SmallNeedle::kHeight;
                EXPECT_LT(distance, 1.0) << x << "," << y;
            }
        }
        EXPECT_GE(needlePixels, SmallNeedle::kHeight - 1);
        EXPECT_LE(needlePixels, SmallNeedle::kHeight + 3);
    }
}

}  // namespace
