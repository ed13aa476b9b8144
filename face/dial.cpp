#include "dial.h"

#include <math.h>

int ScaleToDpi(int size, int dpi)
{
    return (size * dpi + 48) / 96;
}

namespace {

struct Rgb {
    double r, g, b;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t)
{
    Rgb mixed = { a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t };
    return mixed;
}

double Clamp01(double v)
{
    return v < 0.0 ? 0.0 : v > 1.0 ? 1.0 : v;
}

double SmoothStep(double edge0, double edge1, double v)
{
    const double t = Clamp01((v - edge0) / (edge1 - edge0));
    return t * t * (3.0 - 2.0 * t);
}

const double kPi = 3.14159265358979323846;

// Colours as 0xRRGGBB. Nothing is darker than kBezelShadow, so black hands
// always stand out.
const uint32_t kCorner = 0x808080;
const uint32_t kBezelShadow = 0x1E222E;
const uint32_t kBezelBody = 0x26345C;
const uint32_t kBezelHighlight = 0x8496C0;
const uint32_t kBrass = 0xBC9860;
const uint32_t kBrassDark = 0x86683C;
const uint32_t kFaceCentre = 0xFDFAF0;
const uint32_t kFaceEdge = 0xE8E0C8;
const uint32_t kInk = 0x2C3442;

Rgb Colour(uint32_t rgb)
{
    Rgb colour = { static_cast<double>(rgb >> 16), static_cast<double>(rgb >> 8 & 0xFF), static_cast<double>(rgb & 0xFF) };
    return colour;
}

Rgb Mix(uint32_t a, uint32_t b, double t)
{
    return Mix(Colour(a), Colour(b), t);
}

// Radii in 96-DPI pixels from the dial centre.
const double kBezelOuter = kDialRadius;
const double kBezelInner = 107.5;
const double kRimInner = 105.5;
const double kTrackOuter = 102.0;
const double kTrackInner = 95.0;
const double kTrackLineWidth = 0.6;
const double kMinuteTickWidth = 1.4;
const double kHourMarkInner = 80.0;
const double kHourMarkWidth = 4.2;
const double kBossRadius = 6.0;
const double kBossJewelRadius = 2.5;

// Every circle where the colour jumps.
const double kEdges[] = { kBezelOuter, kBezelInner, kRimInner,
                          kTrackOuter - kTrackLineWidth / 2, kTrackOuter + kTrackLineWidth / 2,
                          kTrackInner - kTrackLineWidth / 2, kTrackInner + kTrackLineWidth / 2,
                          kBossRadius, kBossJewelRadius };

// Lit from the upper left, like most desk lamps and most UI conventions.
const double kLightX = -0.45, kLightY = -0.55, kLightZ = 0.70;

Rgb BezelColour(double x, double y, double r)
{
    // Treat the bezel as a rounded ring: the surface leans inwards on its inner
    // half and outwards on its outer half, which gives it a bevelled look.
    const double mid = (kBezelOuter + kBezelInner) / 2.0;
    const double half = (kBezelOuter - kBezelInner) / 2.0;
    const double tilt = 0.85 * Clamp01((fabs(r - mid)) / half) * (r < mid ? -1.0 : 1.0);
    const double nx = x / r * tilt;
    const double ny = y / r * tilt;
    const double nz = sqrt(1.0 - tilt * tilt);
    const double lightLength = sqrt(kLightX * kLightX + kLightY * kLightY + kLightZ * kLightZ);
    const double lit = (nx * kLightX + ny * kLightY + nz * kLightZ) / lightLength;
    const double t = Clamp01((lit - 0.2) / 0.8);
    const double kBody = 0.8;  // roughly how lit the flat top of the ring is
    if (t < kBody)
        return Mix(kBezelShadow, kBezelBody, t / kBody);
    return Mix(kBezelBody, kBezelHighlight, (t - kBody) / (1.0 - kBody));
}

Rgb FaceColour(double r)
{
    const double t = SmoothStep(0.0, kRimInner, r);
    return Mix(kFaceCentre, kFaceEdge, t * t);
}

// The tick nearest to a point: its direction from the centre, where it starts
// and half its width. Ticks are at least 8 pixels apart where they are, so
// only the nearest one matters, and it is the same for every point of a pixel.
struct Tick {
    double dx, dy, start, halfWidth;
};

// Unit vectors from the centre to each minute, clockwise from 12 (y grows downwards).
struct Direction {
    double x, y;
};

Tick NearestTick(double x, double y, const Direction* minutes)
{
    int minute = static_cast<int>(floor(atan2(x, -y) * 60.0 / (2.0 * kPi) + 0.5));
    minute = (minute % 60 + 60) % 60;
    const Direction& d = minutes[minute];
    Tick tick = { d.x, d.y, kTrackInner, kMinuteTickWidth / 2.0 };
    if (minute % 5 == 0) {
        tick.start = kHourMarkInner;
        tick.halfWidth = kHourMarkWidth / 2.0;
    }
    return tick;
}

double Along(const Tick& tick, double x, double y)
{
    return x * tick.dx + y * tick.dy;
}

double Across(const Tick& tick, double x, double y)
{
    return fabs(x * -tick.dy + y * tick.dx);
}

bool OnTick(double x, double y, double r, const Tick& tick)
{
    return r >= kHourMarkInner && r <= kTrackOuter && Along(tick, x, y) >= tick.start &&
           Across(tick, x, y) <= tick.halfWidth;
}

bool OnTrack(double r)
{
    return fabs(r - kTrackOuter) <= kTrackLineWidth / 2.0 || fabs(r - kTrackInner) <= kTrackLineWidth / 2.0;
}

// The colour at a point, in 96-DPI pixels from the dial centre, with the tick nearest to it.
Rgb DialSample(double x, double y, const Tick& tick)
{
    const double r = sqrt(x * x + y * y);
    if (r > kBezelOuter)
        return Colour(kCorner);
    if (r > kBezelInner)
        return BezelColour(x, y, r);
    if (r > kRimInner)
        return Mix(kBrass, kBrassDark, (r - kRimInner) / (kBezelInner - kRimInner));
    if (r <= kBossJewelRadius)
        return Colour(kBrass);
    if (r <= kBossRadius)
        return Colour(kInk);
    if (OnTrack(r) || OnTick(x, y, r, tick))
        return Colour(kInk);
    // A faint shadow cast by the bezel keeps the face from looking pasted on.
    const double shade = 1.0 - 0.07 * SmoothStep(kTrackOuter, kRimInner, r);
    const Rgb face = FaceColour(r);
    Rgb shaded = { face.r * shade, face.g * shade, face.b * shade };
    return shaded;
}

// Whether anything where the colour jumps lies within `reach` of (x, y), r
// from the centre.
bool NearAnEdge(double x, double y, double r, const Tick& tick, double reach)
{
    for (double edge : kEdges)
        if (fabs(r - edge) <= reach)
            return true;
    if (r < kHourMarkInner - reach || r > kTrackOuter + reach)
        return false;
    const double along = Along(tick, x, y), across = Across(tick, x, y);
    return fabs(across - tick.halfWidth) <= reach ||
           (fabs(along - tick.start) <= reach && across <= tick.halfWidth + reach);
}

uint32_t ToPixel(const Rgb& c)
{
    const double channels[] = { c.r, c.g, c.b };
    uint32_t pixel = 0;
    for (double v : channels) {
        int byte = static_cast<int>(floor(v + 0.5));
        pixel = pixel << 8 | static_cast<uint32_t>(byte < 0 ? 0 : byte > 255 ? 255 : byte);
    }
    return pixel;
}

}  // namespace

void DrawDial(uint32_t* pixels, int width, int height, int centreX, int centreY, int dpi)
{
    // Samples keep 1/8 of a 96-DPI pixel apart at every scale.
    const double unit = 96.0 / dpi;
    int samples = (8 * 96 + dpi / 2) / dpi;
    if (samples < 2)
        samples = 2;
    // The furthest a point of a pixel lies from its middle, in 96-DPI pixels, and a little more.
    const double reach = 0.71 * unit;
    // The bitmap the clock ships is made with every pixel sampled.
    const bool everyPixel = dpi == 96;
    Direction minutes[60];
    for (int i = 0; i < 60; ++i) {
        minutes[i].x = sin(2.0 * kPi * i / 60.0);
        minutes[i].y = -cos(2.0 * kPi * i / 60.0);
    }
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            const double x = (px - centreX) * unit, y = (py - centreY) * unit, r = sqrt(x * x + y * y);
            Rgb colour = Colour(kCorner);
            if (r <= kBezelOuter + 1.0) {
                // Only where ticks are is the nearest one looked for: no
                // sample of a pixel further off reaches them.
                Tick tick = {};
                if (r >= kHourMarkInner - 1.0 && r <= kTrackOuter + 1.0)
                    tick = NearestTick(x, y, minutes);
                if (!everyPixel && !NearAnEdge(x, y, r, tick, reach)) {
                    colour = DialSample(x, y, tick);
                } else {
                    Rgb sum = { 0, 0, 0 };
                    for (int j = 0; j < samples; ++j) {
                        for (int i = 0; i < samples; ++i) {
                            const Rgb s = DialSample(x + ((i + 0.5) / samples - 0.5) * unit,
                                                     y + ((j + 0.5) / samples - 0.5) * unit, tick);
                            sum.r += s.r;
                            sum.g += s.g;
                            sum.b += s.b;
                        }
                    }
                    const double n = samples * samples;
                    colour.r = sum.r / n;
                    colour.g = sum.g / n;
                    colour.b = sum.b / n;
                }
            }
            pixels[py * width + px] = ToPixel(colour);
        }
    }
}
