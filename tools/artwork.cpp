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
// Dial rendering.

struct Rgb {
    double r, g, b;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

double Clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

double SmoothStep(double edge0, double edge1, double v) {
    const double t = Clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

constexpr double kPi = 3.14159265358979323846;

// Nothing is darker than kBezelShadow, so black hands always stand out.
const Rgb kCorner{128, 128, 128};
const Rgb kBezelShadow{30, 34, 46};
const Rgb kBezelBody{38, 52, 92};
const Rgb kBezelHighlight{132, 150, 192};
const Rgb kBrass{188, 152, 96};
const Rgb kBrassDark{134, 104, 60};
const Rgb kFaceCentre{253, 250, 240};
const Rgb kFaceEdge{232, 224, 200};
const Rgb kInk{44, 52, 66};

// Radii in pixels from the dial centre.
constexpr double kBezelOuter = kDialRadius;
constexpr double kBezelInner = 107.5;
constexpr double kRimInner = 105.5;
constexpr double kTrackOuter = 102.0;
constexpr double kTrackInner = 95.0;
constexpr double kTrackLineWidth = 0.6;
constexpr double kMinuteTickWidth = 1.4;
constexpr double kHourMarkInner = 80.0;
constexpr double kHourMarkWidth = 4.2;
constexpr double kBossRadius = 6.0;
constexpr double kBossJewelRadius = 2.5;

// Lit from the upper left, like most desk lamps and most UI conventions.
const double kLightX = -0.45, kLightY = -0.55, kLightZ = 0.70;

Rgb BezelColour(double x, double y, double r) {
    // Treat the bezel as a rounded ring: the surface leans inwards on its inner
    // half and outwards on its outer half, which gives it a bevelled look.
    const double mid = (kBezelOuter + kBezelInner) / 2.0;
    const double half = (kBezelOuter - kBezelInner) / 2.0;
    const double tilt = 0.85 * Clamp01((std::fabs(r - mid)) / half) * (r < mid ? -1.0 : 1.0);
    const double nx = x / r * tilt;
    const double ny = y / r * tilt;
    const double nz = std::sqrt(1.0 - tilt * tilt);
    const double lightLength = std::sqrt(kLightX * kLightX + kLightY * kLightY + kLightZ * kLightZ);
    const double lit = (nx * kLightX + ny * kLightY + nz * kLightZ) / lightLength;
    const double t = Clamp01((lit - 0.2) / 0.8);
    constexpr double kBody = 0.8;  // roughly how lit the flat top of the ring is
    if (t < kBody) return Mix(kBezelShadow, kBezelBody, t / kBody);
    return Mix(kBezelBody, kBezelHighlight, (t - kBody) / (1.0 - kBody));
}

Rgb FaceColour(double r) {
    const double t = SmoothStep(0.0, kRimInner, r);
    return Mix(kFaceCentre, kFaceEdge, t * t);
}

// Unit vectors pointing from the centre to each minute position, clockwise
// from twelve o'clock (y grows downwards).
struct Direction {
    double x, y;
};

const std::array<Direction, 60>& MinuteDirections() {
    static const std::array<Direction, 60> table = [] {
        std::array<Direction, 60> t{};
        for (int i = 0; i < 60; ++i) {
            const double angle = 2.0 * kPi * i / 60.0;
            t[i] = {std::sin(angle), -std::cos(angle)};
        }
        return t;
    }();
    return table;
}

bool OnTick(double x, double y, double r) {
    if (r < kHourMarkInner || r > kTrackOuter) return false;
    // Ticks are at least 8 px apart in this band, so only the nearest one matters.
    const double angle = std::atan2(x, -y);
    int minute = static_cast<int>(std::lround(angle * 60.0 / (2.0 * kPi)));
    minute = (minute % 60 + 60) % 60;
    const Direction& d = MinuteDirections()[minute];
    const double along = x * d.x + y * d.y;
    const double across = std::fabs(x * -d.y + y * d.x);
    if (minute % 5 == 0) return along >= kHourMarkInner && across <= kHourMarkWidth / 2.0;
    return along >= kTrackInner && across <= kMinuteTickWidth / 2.0;
}

bool OnTrack(double r) {
    return std::fabs(r - kTrackOuter) <= kTrackLineWidth / 2.0 ||
           std::fabs(r - kTrackInner) <= kTrackLineWidth / 2.0;
}

Rgb DialSample(double x, double y) {
    const double r = std::sqrt(x * x + y * y);
    if (r > kBezelOuter) return kCorner;
    if (r > kBezelInner) return BezelColour(x, y, r);
    if (r > kRimInner) return Mix(kBrass, kBrassDark, (r - kRimInner) / (kBezelInner - kRimInner));
    if (r <= kBossJewelRadius) return kBrass;
    if (r <= kBossRadius) return kInk;
    if (OnTrack(r) || OnTick(x, y, r)) return kInk;
    // A faint shadow cast by the bezel keeps the face from looking pasted on.
    const double shade = 1.0 - 0.07 * SmoothStep(kTrackOuter, kRimInner, r);
    const Rgb face = FaceColour(r);
    return {face.r * shade, face.g * shade, face.b * shade};
}

unsigned char ToByte(double v) {
    return static_cast<unsigned char>(std::clamp(static_cast<int>(std::floor(v + 0.5)), 0, 255));
}

// Box-filtered supersampling: plain, deterministic anti-aliasing.
constexpr int kSamplesPerAxis = 8;

Rgb DialPixel(int px, int py) {
    // Pixel (px, py) covers [px, px+1) x [py, py+1); the dial centre is the
    // middle of pixel (kDialCentreX, kDialCentreY).
    const double ox = px - (kDialCentreX + 0.5);
    const double oy = py - (kDialCentreY + 0.5);
    if (std::sqrt((ox + 0.5) * (ox + 0.5) + (oy + 0.5) * (oy + 0.5)) > kBezelOuter + 1.0) return kCorner;

    Rgb sum{0, 0, 0};
    for (int j = 0; j < kSamplesPerAxis; ++j) {
        for (int i = 0; i < kSamplesPerAxis; ++i) {
            const Rgb s = DialSample(ox + (i + 0.5) / kSamplesPerAxis, oy + (j + 0.5) / kSamplesPerAxis);
            sum.r += s.r;
            sum.g += s.g;
            sum.b += s.b;
        }
    }
    const double n = kSamplesPerAxis * kSamplesPerAxis;
    return {sum.r / n, sum.g / n, sum.b / n};
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

    Bytes out;
    out.reserve(offset + imageSize);
    PutFileHeader(out, offset + imageSize, offset);
    PutInfoHeader(out, {kSkinWidth, kSkinHeight, 24, imageSize, kPixelsPerMetre72Dpi, 0});
    for (int row = kSkinHeight - 1; row >= 0; --row) {
        for (int x = 0; x < kSkinWidth; ++x) {
            const Rgb c = DialPixel(x, row);
            Put8(out, ToByte(c.b));
            Put8(out, ToByte(c.g));
            Put8(out, ToByte(c.r));
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
    const Bytes images[] = {EncodeIconImage(PaintIcon(kIcon32)), EncodeIconImage(PaintIcon(kIcon16))};
    const int sizes[] = {kIcon32.size, kIcon16.size};
    constexpr int kCount = 2;
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
