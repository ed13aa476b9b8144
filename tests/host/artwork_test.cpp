// The generated artwork: a dial the needles stand out on, and an icon in the
// two sizes the shell asks for. Formats and sizes of the bitmaps are checked
// in the built executables.
#include "artwork.h"

#include <gtest/gtest.h>

#include <math.h>

#include <algorithm>

namespace {

typedef std::vector<unsigned char> Bytes;

unsigned U16(const Bytes& b, size_t at) { return b.at(at) | b.at(at + 1) << 8; }

// Luminance of the skin's pixel (x, y from the top-left); the file is 24-bit,
// bottom-up, its pixels after a 54-byte header.
int Luminance(const Bytes& skin, int x, int y)
{
    size_t at = 54 + (kSkinHeight - 1 - y) * kSkinWidth * 3 + x * 3;
    return (114 * skin.at(at) + 587 * skin.at(at + 1) + 299 * skin.at(at + 2)) / 1000;
}

TEST(Skin, StaysClearOfBlackAndMarksTheHours)
{
    const Bytes skin = MakeSkinBitmap();
    int darkest = 255;
    for (int y = 0; y < kSkinHeight; ++y)
        for (int x = 0; x < kSkinWidth; ++x)
            darkest = std::min(darkest, Luminance(skin, x, y));
    EXPECT_GE(darkest, 10) << "the needles are black";
    // The darkest pixel near a point at 88 pixels from the centre.
    auto ink = [&](double minutes) {
        double a = minutes / 60 * 2 * M_PI;
        int x = static_cast<int>(lround(kDialCentreX + 88 * sin(a))), y = static_cast<int>(lround(kDialCentreY - 88 * cos(a)));
        int dark = 255;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                dark = std::min(dark, Luminance(skin, x + dx, y + dy));
        return dark;
    };
    for (int hour = 0; hour < 12; ++hour) {
        EXPECT_LT(ink(hour * 5.0), 100) << "no mark at hour " << hour;
        EXPECT_GT(ink(hour * 5.0 + 2.5), 200) << "stray ink after hour " << hour;
    }
}

TEST(Icon, HoldsA32And16PixelImageOf16Colours)
{
    const Bytes icon = MakeIconFile();
    ASSERT_EQ(2u, U16(icon, 4));
    for (int i = 0; i < 2; ++i) {
        size_t entry = 6 + 16 * i;
        EXPECT_EQ(i ? 16 : 32, icon.at(entry)) << "width";
        EXPECT_EQ(i ? 16 : 32, icon.at(entry + 1)) << "height";
        EXPECT_EQ(16, icon.at(entry + 2)) << "colours";
        EXPECT_EQ(4u, U16(icon, entry + 6)) << "bits per pixel";
    }
}

}  // namespace
