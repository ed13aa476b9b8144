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

// Blits turn needles only where they draw what turning by hand does: the two
// drawings may differ along the needle's edge, nowhere else.
TEST(DrawingsAgree, OnlyAlongTheNeedlesEdge)
{
    const uint32_t grey = 0x808080, red = 0xC80000;
    std::vector<uint32_t> drawn(36, grey);  // 6 x 6, a bar down columns 2 and 3
    for (int y = 0; y < 6; ++y)
        drawn[y * 6 + 2] = drawn[y * 6 + 3] = red;
    auto changed = [&](int x, int y, uint32_t colour, std::vector<uint32_t> image) {
        image[y * 6 + x] = colour;
        return image;
    };
    std::vector<uint32_t> edge = changed(4, 1, red, changed(1, 3, red, changed(3, 4, grey, drawn)));
    EXPECT_TRUE(DrawingsAgree(drawn.data(), edge.data(), 6, 6));
    EXPECT_TRUE(DrawingsAgree(edge.data(), drawn.data(), 6, 6));
    const struct { const char* name; std::vector<uint32_t> image; } unlike[] = {
        { "needle missing", std::vector<uint32_t>(36, grey) },
        { "a fringe of black", changed(4, 2, 0x000000, drawn) },
        { "stretched into its corner", changed(5, 5, red, drawn) },
    };
    for (const auto& other : unlike)
        EXPECT_FALSE(DrawingsAgree(drawn.data(), other.image.data(), 6, 6)) << other.name;
}


}  // namespace
