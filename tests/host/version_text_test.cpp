// The start-up notice chosen for every kind of platform record.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "app/version_text.h"

namespace {

const std::string kHint = "\n\nPress \"ESC\" if you want to quit.";

// The notice for a record, or "(none)" where no box is shown.
std::string Notice(unsigned long platform, unsigned long major, unsigned long minor, const char* pack = "")
{
    char servicePack[128] = {};
    strncpy(servicePack, pack, sizeof(servicePack) - 1);
    char text[kVersionTextSize];
    memset(text, '#', sizeof(text));
    if (!ChooseVersionText(platform, major, minor, servicePack, text, sizeof(text)))
        return "(none)";
    EXPECT_NE(nullptr, memchr(text, '\0', sizeof(text)));
    return text;
}

TEST(VersionText, EveryPlatformOfTheTable)
{
    EXPECT_EQ("Microsoft Win32s." + kHint, Notice(0, 3, 11));
    EXPECT_EQ("Microsoft Windows Millennium Edition." + kHint, Notice(1, 4, 90));
    EXPECT_EQ("Windows NT product family." + kHint, Notice(2, 10, 0));
    EXPECT_EQ("Windows NT product family." + kHint, Notice(2, 5, 1, "Service Pack 3"));
    EXPECT_EQ("Failed for version test", Notice(3, 10, 0));
    EXPECT_EQ("Failed for version test", Notice(0xFFFFFFFF, 0, 0));
}

TEST(VersionText, NinetyFiveAndNinetyEightNameTheirLaterReleasesByTheServicePackMark)
{
    EXPECT_EQ("Microsoft Windows 95", Notice(1, 4, 0));
    EXPECT_EQ("Microsoft Windows 95", Notice(1, 4, 0, "A"));
    EXPECT_EQ("Microsoft Windows 95", Notice(1, 4, 0, " A "));
    EXPECT_EQ("Microsoft Windows 95", Notice(1, 4, 0, "C"));  // the mark is the second character
    EXPECT_EQ("Microsoft Windows 95\nOSR2." + kHint, Notice(1, 4, 0, " C"));
    EXPECT_EQ("Microsoft Windows 95\nOSR2." + kHint, Notice(1, 4, 0, " B "));

    EXPECT_EQ("Microsoft Windows 98", Notice(1, 4, 10));
    EXPECT_EQ("Microsoft Windows 98", Notice(1, 4, 10, " C"));
    EXPECT_EQ("Microsoft Windows 98\nSE." + kHint, Notice(1, 4, 10, " A "));
    EXPECT_EQ("Microsoft Windows 98\nSE." + kHint, Notice(1, 4, 10, " B"));
}

TEST(VersionText, OtherNineXVersionsShowNoBox)
{
    EXPECT_EQ("(none)", Notice(1, 4, 1));
    EXPECT_EQ("(none)", Notice(1, 4, 91));
    EXPECT_EQ("(none)", Notice(1, 5, 0));
    EXPECT_EQ("(none)", Notice(1, 3, 10, " B"));
}

TEST(VersionText, StaysWithinASmallBuffer)
{
    char servicePack[128] = " B";
    char text[24];
    ASSERT_TRUE(ChooseVersionText(1, 4, 0, servicePack, text, sizeof(text)));
    EXPECT_EQ(std::string("Microsoft Windows 95\nOS"), text);
}

}  // namespace
