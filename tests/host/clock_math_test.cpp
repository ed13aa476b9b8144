// The clock's arithmetic, without a window: readings, the start-up notice and
// the needle transform.
#include <gtest/gtest.h>

#include <string>

#include "app/version_text.h"
#include "face/clock_hands.h"
#include "face/needle_geometry.h"

namespace {

// The angles as the buttons show them: the hour needle steps 6 degrees every 12
// minutes. A 12-hour dial without leading zeros: noon and midnight are 0.
TEST(ClockHands, ReadingsAcrossTheDay)
{
    const struct { unsigned hour, minute, second; const char *readout, *minuteText, *hourText; } rows[] = {
        { 0, 0, 0, "0:0:0", "M:0", "H:0.0" },          { 0, 11, 59, "0:11:59", "M:66", "H:0.0" },
        { 1, 12, 5, "1:12:5", "M:72", "H:36.0" },       { 10, 24, 31, "10:24:31", "M:144", "H:312.0" },
        { 12, 35, 7, "0:35:7", "M:210", "H:12.0" },     { 15, 36, 0, "3:36:0", "M:216", "H:108.0" },
        { 23, 59, 59, "11:59:59", "M:354", "H:354.0" },
    };
    for (const auto& row : rows) {
        ClockReading reading = ReadClockHands(row.hour, row.minute, row.second);
        SCOPED_TRACE(reading.readoutText);
        EXPECT_STREQ(row.readout, reading.readoutText);
        EXPECT_STREQ(row.minuteText, reading.minuteText);
        EXPECT_STREQ(row.hourText, reading.hourText);
    }
}

// The notice for a platform record, or "(none)" where no box is shown.
std::string Notice(unsigned long platform, unsigned long major, unsigned long minor, const char* pack = "")
{
    char text[kVersionTextSize];
    return ChooseVersionText(platform, major, minor, pack, text, sizeof(text)) ? text : "(none)";
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
    EXPECT_EQ(-8, NeedleLeft(17)) << "half the width, truncated toward zero";
}

}  // namespace
