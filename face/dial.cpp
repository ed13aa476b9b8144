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

// Nothing is darker than kBezelShadow, so black hands always stand out.
const Rgb kCorner = { 128, 128, 128 };
const Rgb kBezelShadow = { 30, 34, 46 };
const Rgb kBezelBody = { 38, 52, 92 };
const Rgb kBezelHighlight = { 132, 150, 192 };
const Rgb kBrass = { 188, 152, 96 };
const Rgb kBrassDark = { 134, 104, 60 };
const Rgb kFaceCentre = { 253, 250, 240 };
const Rgb kFaceEdge = { 232, 224, 200 };
const Rgb kInk = { 44, 52, 66 };

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

// The tick nearest to (x, y): how far along its direction from the centre,
// how far across it, where it starts and half its width. Ticks are at least
// 8 pixels apart where they are, so only the nearest one matters.
struct Tick {
    double along, across, start, halfWidth;
};

// Unit vectors from the centre to each minute, clockwise from 12 (y grows downwards).
struct Direction {
    double x, y;
};

const Direction* MinuteDirections()
{
    static Direction table[60];
    if (table[0].y == 0.0) {
        for (int i = 0; i < 60; ++i) {
            const double angle = 2.0 * kPi * i / 60.0;
            table[i].x = sin(angle);
            table[i].y = -cos(angle);
        }
    }
    return table;
}

Tick NearestTick(double x, double y)
{
    int minute = static_cast<int>(lround(atan2(x, -y) * 60.0 / (2.0 * kPi)));
    minute = (minute % 60 + 60) % 60;
    const Direction& d = MinuteDirections()[minute];
    Tick tick = { x * d.x + y * d.y, fabs(x * -d.y + y * d.x), kTrackInner, kMinuteTickWidth / 2.0 };
    if (minute % 5 == 0) {
        tick.start = kHourMarkInner;
        tick.halfWidth = kHourMarkWidth / 2.0;
    }
    return tick;
}

bool OnTick(double x, double y, double r)
{
    if (r < kHourMarkInner || r > kTrackOuter)
        return false;
    const Tick tick = NearestTick(x, y);
    return tick.along >= tick.start && tick.across <= tick.halfWidth;
}

bool OnTrack(double r)
{
    return fabs(r - kTrackOuter) <= kTrackLineWidth / 2.0 || fabs(r - kTrackInner) <= kTrackLineWidth / 2.0;
}

// The colour at a point, in 96-DPI pixels from the dial centre.
Rgb DialSample(double x, double y)
{
    const double r = sqrt(x * x + y * y);
    if (r > kBezelOuter)
        return kCorner;
    if (r > kBezelInner)
        return BezelColour(x, y, r);
    if (r > kRimInner)
        return Mix(kBrass, kBrassDark, (r - kRimInner) / (kBezelInner - kRimInner));
    if (r <= kBossJewelRadius)
        return kBrass;
    if (r <= kBossRadius)
        return kInk;
    if (OnTrack(r) || OnTick(x, y, r))
        return kInk;
    // A faint shadow cast by the bezel keeps the face from looking pasted on.
    const double shade = 1.0 - 0.07 * SmoothStep(kTrackOuter, kRimInner, r);
    const Rgb face = FaceColour(r);
    Rgb shaded = { face.r * shade, face.g * shade, face.b * shade };
    return shaded;
}

// Whether anything where the colour jumps lies within `reach` of (x, y).
bool NearAnEdge(double x, double y, double reach)
{
    const double r = sqrt(x * x + y * y);
    for (double edge : kEdges)
        if (fabs(r - edge) <= reach)
            return true;
    if (r < kHourMarkInner - reach || r > kTrackOuter + reach)
        return false;
    const Tick tick = NearestTick(x, y);
    return fabs(tick.across - tick.halfWidth) <= reach ||
           (fabs(tick.along - tick.start) <= reach && tick.across <= tick.halfWidth + reach);
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
    for (int py = 0; py < height; ++py) {
        for (int px = 0; px < width; ++px) {
            const double x = (px - centreX) * unit, y = (py - centreY) * unit;
            Rgb colour = kCorner;
            if (sqrt(x * x + y * y) <= kBezelOuter + 1.0) {
                if (!NearAnEdge(x, y, reach)) {
                    colour = DialSample(x, y);
                } else {
                    Rgb sum = { 0, 0, 0 };
                    for (int j = 0; j < samples; ++j) {
                        for (int i = 0; i < samples; ++i) {
                            const Rgb s = DialSample(x + ((i + 0.5) / samples - 0.5) * unit,
                                                     y + ((j + 0.5) / samples - 0.5) * unit);
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
