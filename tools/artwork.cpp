#include "artwork.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace {

using Bytes = std::vector<unsigned char>;

// ---------------------------------------------------------------------------
// Little-endian writers. Headers are emitted field by field so the output does
// not depend on the host's struct layout or byte order.

void Put8(Bytes& out, unsigned value) { out.push_back(static_cast<unsigned char>(value & 0xFFu)); }

void Put16(Bytes& out, unsigned value) {
    Put8(out, value);
    Put8(out, value >> 8);
}

void Put32(Bytes& out, std::uint32_t value) {
    Put16(out, value & 0xFFFFu);
    Put16(out, value >> 16);
}

void PutSigned32(Bytes& out, std::int32_t value) { Put32(out, static_cast<std::uint32_t>(value)); }

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kPixelsPerMetre72Dpi = 2835;

void PutFileHeader(Bytes& out, std::uint32_t fileSize, std::uint32_t pixelOffset) {
    Put8(out, 'B');
    Put8(out, 'M');
    Put32(out, fileSize);
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, pixelOffset);
}

struct InfoHeader {
    std::int32_t width;
    std::int32_t height;  // positive: rows are stored bottom-up
    unsigned bitsPerPixel;
    std::uint32_t imageSize;
    std::uint32_t pixelsPerMetre;
    std::uint32_t coloursUsed;
};

void PutInfoHeader(Bytes& out, const InfoHeader& h) {
    Put32(out, kInfoHeaderSize);
    PutSigned32(out, h.width);
    PutSigned32(out, h.height);
    Put16(out, 1);  // planes
    Put16(out, h.bitsPerPixel);
    Put32(out, 0);  // BI_RGB
    Put32(out, h.imageSize);
    Put32(out, h.pixelsPerMetre);
    Put32(out, h.pixelsPerMetre);
    Put32(out, h.coloursUsed);
    Put32(out, 0);  // all colours important
}

std::uint32_t RowStride(int width, int bitsPerPixel) {
    return static_cast<std::uint32_t>((width * bitsPerPixel + 31) / 32 * 4);
}

// ---------------------------------------------------------------------------
// Icon painting.

constexpr int kTransparent = -1;

// Indices into the standard VGA palette.
enum Vga { kVgaBlack = 0, kVgaNavy = 4, kVgaSilver = 7, kVgaGrey = 8, kVgaRed = 9, kVgaWhite = 15 };

constexpr std::array<std::array<unsigned char, 3>, 16> kVgaPalette{{
    {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0},
    {0, 0, 128}, {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
    {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
}};

// Window rectangle (right/bottom exclusive) and trimmings for one icon size;
// each size is laid out by hand because 16 px leaves no room for scaling.
struct IconLayout {
    int size;
    int left, top, right, bottom;
    int titleHeight;
    int shadowOffset;
    int buttonSize;
    bool detailed;  // caption text and button glyphs, only legible at 32 px
};

constexpr IconLayout kIcon32{32, 1, 2, 28, 28, 8, 2, 5, true};
constexpr IconLayout kIcon16{16, 0, 1, 14, 14, 4, 1, 2, false};
// What 125 % to 200 % ask for: 20 and 24 pixels in the tray, 40 and 48 in Explorer.
constexpr IconLayout kIcon20{20, 0, 1, 18, 17, 5, 1, 3, false};
constexpr IconLayout kIcon24{24, 1, 1, 21, 21, 6, 1, 3, false};
constexpr IconLayout kIcon40{40, 1, 2, 35, 35, 10, 2, 6, true};
constexpr IconLayout kIcon48{48, 2, 3, 42, 42, 12, 3, 8, true};

class IconCanvas {
public:
    explicit IconCanvas(int size) : size_(size), pixels_(size * size, kTransparent) {}

    void Fill(int left, int top, int right, int bottom, int colour) {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) Set(x, y, colour);
    }
    void Set(int x, int y, int colour) { pixels_[y * size_ + x] = colour; }
    int At(int x, int y) const { return pixels_[y * size_ + x]; }
    int Size() const { return size_; }

private:
    int size_;
    std::vector<int> pixels_;
};

void PaintButtonGlyph(IconCanvas& c, int index, int x, int y, int size) {
    switch (index) {
    case 0:  // close
        for (int i = 1; i < size - 1; ++i) {
            c.Set(x + i, y + i, kVgaWhite);
            c.Set(x + size - 1 - i, y + i, kVgaWhite);
        }
        break;
    case 1:  // maximise
        c.Fill(x + 1, y + 1, x + size - 1, y + 2, kVgaBlack);
        c.Fill(x + 1, y + size - 2, x + size - 1, y + size - 1, kVgaBlack);
        c.Fill(x + 1, y + 1, x + 2, y + size - 1, kVgaBlack);
        c.Fill(x + size - 2, y + 1, x + size - 1, y + size - 1, kVgaBlack);
        break;
    default:  // minimise
        c.Fill(x + 1, y + size - 2, x + size - 1, y + size - 1, kVgaBlack);
        break;
    }
}

IconCanvas PaintIcon(const IconLayout& l) {
    IconCanvas c(l.size);
    const int s = l.shadowOffset;
    c.Fill(l.left + s, l.top + s, l.right + s, l.bottom + s, kVgaGrey);
    c.Fill(l.left, l.top, l.right, l.bottom, kVgaNavy);
    c.Fill(l.left + 1, l.top + l.titleHeight, l.right - 1, l.bottom - 1, kVgaWhite);

    // Close, maximise and minimise buttons, right to left.
    const int buttonTop = l.top + 1;
    int buttonRight = l.right - 1;
    for (int i = 0; i < 3; ++i) {
        const int x = buttonRight - l.buttonSize;
        c.Fill(x, buttonTop, buttonRight, buttonTop + l.buttonSize, i == 0 ? kVgaRed : kVgaSilver);
        if (l.detailed) PaintButtonGlyph(c, i, x, buttonTop, l.buttonSize);
        buttonRight = x - 1;
    }
    if (l.detailed) c.Fill(l.left + 2, buttonTop + l.buttonSize / 2, l.left + 8, buttonTop + l.buttonSize / 2 + 1, kVgaWhite);
    return c;
}

// One icon image as stored in the .ico: a BITMAPINFOHEADER whose height covers
// both the colour (XOR) rows and the transparency (AND) rows.
Bytes EncodeIconImage(const IconCanvas& c) {
    const int size = c.Size();
    const std::uint32_t xorStride = RowStride(size, 4);
    const std::uint32_t andStride = RowStride(size, 1);
    const std::uint32_t imageSize = (xorStride + andStride) * size;

    Bytes out;
    PutInfoHeader(out, {size, 2 * size, 4, imageSize, 0, 0});
    for (const auto& rgb : kVgaPalette) {
        Put8(out, rgb[2]);
        Put8(out, rgb[1]);
        Put8(out, rgb[0]);
        Put8(out, 0);
    }
    for (int row = size - 1; row >= 0; --row) {
        Bytes line(xorStride, 0);
        for (int x = 0; x < size; ++x) {
            // Transparent pixels keep colour 0 so the XOR pass leaves the screen alone.
            const unsigned index = static_cast<unsigned>(std::max(c.At(x, row), 0));
            line[x / 2] |= static_cast<unsigned char>(x % 2 == 0 ? index << 4 : index);
        }
        out.insert(out.end(), line.begin(), line.end());
    }
    for (int row = size - 1; row >= 0; --row) {
        Bytes line(andStride, 0);
        for (int x = 0; x < size; ++x)
            if (c.At(x, row) == kTransparent) line[x / 8] |= static_cast<unsigned char>(0x80u >> (x % 8));
        out.insert(out.end(), line.begin(), line.end());
    }
    return out;
}

}  // namespace

std::vector<unsigned char> MakeSkinBitmap() {
    const std::uint32_t stride = RowStride(kSkinWidth, 24);
    const std::uint32_t imageSize = stride * kSkinHeight;
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;
    std::vector<std::uint32_t> dial(kSkinWidth * kSkinHeight);
    DrawDial(dial.data(), kSkinWidth, kSkinHeight, kDialCentreX, kDialCentreY, 96);

    Bytes out;
    out.reserve(offset + imageSize);
    PutFileHeader(out, offset + imageSize, offset);
    PutInfoHeader(out, {kSkinWidth, kSkinHeight, 24, imageSize, kPixelsPerMetre72Dpi, 0});
    for (int row = kSkinHeight - 1; row >= 0; --row) {
        for (int x = 0; x < kSkinWidth; ++x) {
            const std::uint32_t pixel = dial[row * kSkinWidth + x];
            Put8(out, pixel & 0xFFu);
            Put8(out, pixel >> 8 & 0xFFu);
            Put8(out, pixel >> 16 & 0xFFu);
        }
        for (std::uint32_t pad = kSkinWidth * 3; pad < stride; ++pad) Put8(out, 0);
    }
    return out;
}

std::vector<unsigned char> MakeNeedleBitmap(int barLastRow) {
    if (barLastRow < 0 || barLastRow >= kNeedleSize) throw std::out_of_range("needle bar must end inside the bitmap");

    constexpr unsigned kBlackIndex = 0;
    constexpr unsigned kWhiteIndex = 255;
    const std::uint32_t stride = RowStride(kNeedleSize, 8);
    const std::uint32_t imageSize = stride * kNeedleSize;
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize + 256 * 4;

    Bytes out;
    out.reserve(offset + imageSize);
    PutFileHeader(out, offset + imageSize, offset);
    PutInfoHeader(out, {kNeedleSize, kNeedleSize, 8, imageSize, kPixelsPerMetre72Dpi, 256});
    // A grey ramp keeps the table meaningful if anyone ever anti-aliases the bar.
    for (unsigned i = 0; i < 256; ++i) {
        Put8(out, i);
        Put8(out, i);
        Put8(out, i);
        Put8(out, 0);
    }
    for (int row = kNeedleSize - 1; row >= 0; --row) {
        for (int x = 0; x < kNeedleSize; ++x) {
            const bool inBar = row <= barLastRow && x >= kNeedleBarFirstColumn && x <= kNeedleBarLastColumn;
            Put8(out, inBar ? kBlackIndex : kWhiteIndex);
        }
        for (std::uint32_t pad = kNeedleSize; pad < stride; ++pad) Put8(out, 0);
    }
    return out;
}

std::vector<unsigned char> MakeIconFile() {
    // 32 and 16 first, as the icon has always begun.
    const IconLayout layouts[] = {kIcon32, kIcon16, kIcon20, kIcon24, kIcon40, kIcon48};
    constexpr int kCount = 6;
    Bytes images[kCount];
    int sizes[kCount];
    for (int i = 0; i < kCount; ++i) {
        images[i] = EncodeIconImage(PaintIcon(layouts[i]));
        sizes[i] = layouts[i].size;
    }
    constexpr std::uint32_t kDirSize = 6 + 16 * kCount;

    Bytes out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // icon, not cursor
    Put16(out, kCount);
    std::uint32_t offset = kDirSize;
    for (int i = 0; i < kCount; ++i) {
        Put8(out, static_cast<unsigned>(sizes[i]));
        Put8(out, static_cast<unsigned>(sizes[i]));
        Put8(out, 16);  // colours
        Put8(out, 0);
        Put16(out, 1);  // planes
        Put16(out, 4);  // bits per pixel
        Put32(out, static_cast<std::uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}
