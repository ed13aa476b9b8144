#include "artwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Rgb = std::array<int, 3>;

constexpr double kPi = 3.14159265358979323846;

unsigned U16(const Bytes& b, std::size_t at) { return b.at(at) | b.at(at + 1) << 8; }

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

std::int32_t S32(const Bytes& b, std::size_t at) { return static_cast<std::int32_t>(U32(b, at)); }

// Just enough of a BITMAPINFOHEADER reader for uncompressed, bottom-up images.
struct Dib {
    const Bytes* file = nullptr;
    std::size_t header = 0;  // offset of the BITMAPINFOHEADER
    std::size_t pixels = 0;  // offset of the first stored (bottom) row
    std::uint32_t headerSize = 0, imageSize = 0, coloursUsed = 0;
    std::int32_t width = 0, height = 0, xPpm = 0, yPpm = 0;
    unsigned planes = 0, bpp = 0;
    std::uint32_t compression = 0;

    std::size_t Stride() const { return (static_cast<std::size_t>(width) * bpp + 31) / 32 * 4; }
    std::size_t PaletteOffset() const { return header + headerSize; }

    Rgb PaletteEntry(unsigned index) const {
        const std::size_t at = PaletteOffset() + 4 * index;
        return {file->at(at + 2), file->at(at + 1), file->at(at)};
    }
    // (x, y) as displayed, y = 0 at the top.
    std::size_t RowOffset(int y) const { return pixels + Stride() * static_cast<std::size_t>(height - 1 - y); }
    unsigned Index8(int x, int y) const { return file->at(RowOffset(y) + x); }
    Rgb Pixel24(int x, int y) const {
        const std::size_t at = RowOffset(y) + 3 * static_cast<std::size_t>(x);
        return {file->at(at + 2), file->at(at + 1), file->at(at)};
    }
};

Dib ReadDib(const Bytes& file, std::size_t header) {
    Dib d;
    d.file = &file;
    d.header = header;
    d.headerSize = U32(file, header);
    d.width = S32(file, header + 4);
    d.height = S32(file, header + 8);
    d.planes = U16(file, header + 12);
    d.bpp = U16(file, header + 14);
    d.compression = U32(file, header + 16);
    d.imageSize = U32(file, header + 20);
    d.xPpm = S32(file, header + 24);
    d.yPpm = S32(file, header + 28);
    d.coloursUsed = U32(file, header + 32);
    return d;
}

Dib ReadBmpFile(const Bytes& file) {
    EXPECT_EQ(file.at(0), 'B');
    EXPECT_EQ(file.at(1), 'M');
    EXPECT_EQ(U32(file, 2), file.size());
    Dib d = ReadDib(file, 14);
    d.pixels = U32(file, 10);
    return d;
}

int Luminance(const Rgb& c) { return (299 * c[0] + 587 * c[1] + 114 * c[2]) / 1000; }

int MaxChannel(const Rgb& c) { return std::max(c[0], std::max(c[1], c[2])); }

// ---------------------------------------------------------------------------

// Rendering takes a while, so the skin tests share one copy.
const Bytes& SkinFile() {
    static const Bytes file = MakeSkinBitmap();
    return file;
}

Dib Skin() { return ReadBmpFile(SkinFile()); }

// Darkest luminance in the 3x3 block around the point at `radius` and
// `minutes` (0..60, clockwise from twelve), so a thin tick is found even when
// it falls between pixel centres.
int DarkestNear(double minutes, double radius) {
    const double angle = minutes / 60.0 * 2.0 * kPi;
    const int cx = static_cast<int>(std::lround(kDialCentreX + radius * std::sin(angle)));
    const int cy = static_cast<int>(std::lround(kDialCentreY - radius * std::cos(angle)));
    const Dib d = Skin();
    int darkest = 255;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) darkest = std::min(darkest, Luminance(d.Pixel24(cx + dx, cy + dy)));
    return darkest;
}

TEST(SkinBitmap, IsAnUncompressedBottomUp24BitImage) {
    ASSERT_EQ(SkinFile().size(), 54u + 230400u);
    const Dib d = Skin();
    EXPECT_EQ(d.pixels, 54u);
    EXPECT_EQ(d.headerSize, 40u);
    EXPECT_EQ(d.width, kSkinWidth);
    EXPECT_EQ(d.height, kSkinHeight);
    EXPECT_EQ(d.planes, 1u);
    EXPECT_EQ(d.bpp, 24u);
    EXPECT_EQ(d.compression, 0u);
    EXPECT_EQ(d.imageSize, 230400u);
    EXPECT_EQ(d.xPpm, d.yPpm);
    EXPECT_TRUE(d.xPpm == 0 || d.xPpm == 2835) << d.xPpm;
}

TEST(SkinBitmap, StaysClearOfBlackSoNeedlesCanBeToldApart) {
    const Dib d = Skin();
    for (int y = 0; y < kSkinHeight; ++y) {
        for (int x = 0; x < kSkinWidth; ++x) {
            const Rgb c = d.Pixel24(x, y);
            ASSERT_NE(c, (Rgb{0, 0, 0})) << "at " << x << "," << y;
            ASSERT_GE(MaxChannel(c), 40) << "near-black at " << x << "," << y;
        }
    }
}

TEST(SkinBitmap, HasTwelveHourMarksAndMinuteTicksBetween) {
    for (int hour = 0; hour < 12; ++hour) {
        EXPECT_LT(DarkestNear(hour * 5.0, 88.0), 100) << "no mark at hour " << hour;
        EXPECT_GT(DarkestNear(hour * 5.0 + 2.5, 88.0), 200) << "stray ink after hour " << hour;
    }
    for (int minute = 0; minute < 60; ++minute) {
        if (minute % 5 == 0) continue;
        EXPECT_LT(DarkestNear(minute, 98.5), 150) << "no tick at minute " << minute;
        EXPECT_GT(DarkestNear(minute + 0.5, 98.5), 190) << "stray ink after minute " << minute;
    }
}

// ---------------------------------------------------------------------------

TEST(NeedleBitmap, IsAn8BitImageWithAFullColourTable) {
    const Bytes file = MakeNeedleBitmap(kMinuteNeedleLastRow);
    const Dib d = ReadBmpFile(file);
    ASSERT_EQ(file.size(), 14u + 40u + 1024u + 128u * 128u);
    EXPECT_EQ(d.pixels, 14u + 40u + 1024u);
    EXPECT_EQ(d.width, kNeedleSize);
    EXPECT_EQ(d.height, kNeedleSize);
    EXPECT_EQ(d.planes, 1u);
    EXPECT_EQ(d.bpp, 8u);
    EXPECT_EQ(d.compression, 0u);
    EXPECT_EQ(d.coloursUsed, 256u);
    EXPECT_EQ(d.PaletteEntry(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(d.PaletteEntry(255), (Rgb{255, 255, 255}));
    EXPECT_EQ(file[d.PaletteOffset() + 4 * 255 + 3], 0);
}

class NeedleBar : public ::testing::TestWithParam<int> {};

TEST_P(NeedleBar, IsBlackExactlyOverTheBarAndWhiteElsewhere) {
    const int lastRow = GetParam();
    const Bytes file = MakeNeedleBitmap(lastRow);
    const Dib d = ReadBmpFile(file);
    for (int y = 0; y < kNeedleSize; ++y) {
        for (int x = 0; x < kNeedleSize; ++x) {
            const bool inBar = y <= lastRow && x >= 62 && x <= 65;
            const Rgb expected = inBar ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
            ASSERT_EQ(d.PaletteEntry(d.Index8(x, y)), expected) << "at " << x << "," << y;
        }
    }
    // The top row as displayed is the last one stored; the bar starts there.
    const std::size_t topRow = file.size() - kNeedleSize;
    EXPECT_EQ(file[topRow + 61], 255);
    EXPECT_EQ(file[topRow + 62], 0);
    EXPECT_EQ(file[topRow + 65], 0);
    EXPECT_EQ(file[topRow + 66], 255);
}

INSTANTIATE_TEST_SUITE_P(Lengths, NeedleBar,
                         ::testing::Values(kMinuteNeedleLastRow, kHourNeedleLastRow, 0, kNeedleSize - 1));

// ---------------------------------------------------------------------------

struct IconEntry {
    int width, height, colours, planes, bpp;
    std::uint32_t bytes, offset;
};

std::vector<IconEntry> ReadIconDirectory(const Bytes& file) {
    std::vector<IconEntry> entries;
    for (unsigned i = 0; i < U16(file, 4); ++i) {
        const std::size_t at = 6 + 16 * i;
        entries.push_back({file.at(at), file.at(at + 1), file.at(at + 2), static_cast<int>(U16(file, at + 4)),
                           static_cast<int>(U16(file, at + 6)), U32(file, at + 8), U32(file, at + 12)});
    }
    return entries;
}

TEST(IconFile, DirectoryListsBothSizesBackToBack) {
    const Bytes file = MakeIconFile();
    EXPECT_EQ(U16(file, 0), 0u);
    EXPECT_EQ(U16(file, 2), 1u);
    ASSERT_EQ(U16(file, 4), 2u);
    const std::vector<IconEntry> entries = ReadIconDirectory(file);
    const int sizes[] = {32, 16};
    std::uint32_t expectedOffset = 6 + 16 * 2;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IconEntry& e = entries[i];
        SCOPED_TRACE(sizes[i]);
        EXPECT_EQ(e.width, sizes[i]);
        EXPECT_EQ(e.height, sizes[i]);
        EXPECT_EQ(e.colours, 16);
        EXPECT_EQ(e.planes, 1);
        EXPECT_EQ(e.bpp, 4);
        EXPECT_EQ(e.offset, expectedOffset);
        expectedOffset += e.bytes;
    }
    EXPECT_EQ(expectedOffset, file.size());
}

TEST(IconFile, ImagesAre4BitDibsWithColourAndMaskRows) {
    const Bytes file = MakeIconFile();
    for (const IconEntry& e : ReadIconDirectory(file)) {
        SCOPED_TRACE(e.width);
        const Dib d = ReadDib(file, e.offset);
        EXPECT_EQ(d.headerSize, 40u);
        EXPECT_EQ(d.width, e.width);
        EXPECT_EQ(d.height, 2 * e.width);
        EXPECT_EQ(d.planes, 1u);
        EXPECT_EQ(d.bpp, 4u);
        EXPECT_EQ(d.compression, 0u);
        const std::uint32_t xorBytes = (e.width * 4 + 31) / 32 * 4 * e.width;
        const std::uint32_t andBytes = (e.width + 31) / 32 * 4 * e.width;
        EXPECT_EQ(e.bytes, 40u + 16u * 4u + xorBytes + andBytes);
        EXPECT_EQ(d.PaletteEntry(4), (Rgb{0, 0, 128}));
        EXPECT_EQ(d.PaletteEntry(8), (Rgb{128, 128, 128}));
        EXPECT_EQ(d.PaletteEntry(15), (Rgb{255, 255, 255}));
    }
}

}  // namespace
