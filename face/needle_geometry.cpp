#include "needle_geometry.h"

#include <math.h>

// Not the full value of pi: the needles have always turned by this one.
static const double kHalfTurn = 3.1416;

NeedleTransform MakeNeedleTransform(double angleDegrees, int cx, int cy, double scale)
{
    // The extra half turn points the downward-hanging needle up at 0 degrees.
    double theta = angleDegrees * kHalfTurn / 180.0 + kHalfTurn;
    NeedleTransform t;
    t.eM11 = static_cast<float>(cos(theta) * scale);
    t.eM12 = static_cast<float>(sin(theta) * scale);
    t.eM21 = static_cast<float>(-sin(theta) * scale);
    t.eM22 = static_cast<float>(cos(theta) * scale);
    t.eDx = static_cast<float>(cx);
    t.eDy = static_cast<float>(cy);
    return t;
}

int NeedleLeft(int width)
{
    return (-width) / 2;
}

PointF TransformPoint(const NeedleTransform& t, double x, double y)
{
    PointF p = { x * t.eM11 + y * t.eM21 + t.eDx, x * t.eM12 + y * t.eM22 + t.eDy };
    return p;
}

PixelBox TransformedBounds(const NeedleTransform& t, int left, int top, int width, int height)
{
    // The rectangle's middle goes where the transform puts it; each half of
    // its sides adds what the transform makes of it along either axis.
    PointF middle = TransformPoint(t, left + width / 2.0, top + height / 2.0);
    double halfX = (fabs(t.eM11) * width + fabs(t.eM21) * height) / 2;
    double halfY = (fabs(t.eM12) * width + fabs(t.eM22) * height) / 2;
    PixelBox box = { static_cast<int>(floor(middle.x - halfX)), static_cast<int>(floor(middle.y - halfY)),
                     static_cast<int>(ceil(middle.x + halfX)), static_cast<int>(ceil(middle.y + halfY)) };
    return box;
}

PixelBox OpaqueBounds(const NeedleImage& needle)
{
    PixelBox box = { needle.width, needle.height, 0, 0 };
    for (int y = 0; y < needle.height; ++y) {
        for (int x = 0; x < needle.width; ++x) {
            if ((needle.mask[y * needle.width + x] & 0xFFFFFF) == 0xFFFFFF)
                continue;
            if (x < box.left) box.left = x;
            if (y < box.top) box.top = y;
            if (x >= box.right) box.right = x + 1;
            if (y >= box.bottom) box.bottom = y + 1;
        }
    }
    if (box.right == 0) {
        PixelBox empty = { 0, 0, 0, 0 };
        return empty;
    }
    return box;
}

void TurnNeedle(const NeedleImage& needle, const PixelBox& shown, const NeedleTransform& t, int left,
                const PixelBox& box, uint32_t* turned, int stride)
{
    const double det = static_cast<double>(t.eM11) * t.eM22 - static_cast<double>(t.eM12) * t.eM21;
    // A needle made larger needs fewer samples to the pixel for the same grid.
    int samples = det != 0.0 ? static_cast<int>(8.0 / sqrt(fabs(det)) + 0.5) : 2;
    if (samples < 2)
        samples = 2;
    // Back from a point of the box into needle space; a flat transform covers nothing.
    const double inverse = det != 0.0 ? 1.0 / det : 0.0;
    const double uX = t.eM22 * inverse, uY = -t.eM21 * inverse, vX = -t.eM12 * inverse, vY = t.eM11 * inverse;
    // A pixel whose middle lies further than half its diagonal from the part
    // of the needle that shows has no sample on it.
    const double reach = 0.71 * sqrt(fabs(inverse));
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            unsigned hits = 0, red = 0, green = 0, blue = 0;
            const double u = (x + 0.5 - t.eDx) * uX + (y + 0.5 - t.eDy) * uY - left;
            const double v = (x + 0.5 - t.eDx) * vX + (y + 0.5 - t.eDy) * vY;
            const bool near = u > shown.left - reach && u < shown.right + reach && v > shown.top - reach &&
                              v < shown.bottom + reach;
            for (int sy = 0; sy < samples && det != 0.0 && near; ++sy) {
                const double dy = y + (sy + 0.5) / samples - t.eDy;
                for (int sx = 0; sx < samples; ++sx) {
                    const double dx = x + (sx + 0.5) / samples - t.eDx;
                    const double u = dx * uX + dy * uY - left, v = dx * vX + dy * vY;
                    if (u < 0 || v < 0 || u >= needle.width || v >= needle.height)
                        continue;
                    int index = static_cast<int>(v) * needle.width + static_cast<int>(u);
                    if ((needle.mask[index] & 0xFFFFFF) == 0xFFFFFF)
                        continue;
                    uint32_t colour = needle.pixels[index];
                    ++hits;
                    red += colour >> 16 & 0xFF;
                    green += colour >> 8 & 0xFF;
                    blue += colour & 0xFF;
                }
            }
            const unsigned n = samples * samples, half = n / 2;
            turned[(y - box.top) * stride + (x - box.left)] =
                (hits * 255 + half) / n << 24 | (red + half) / n << 16 | (green + half) / n << 8 | (blue + half) / n;
        }
    }
}

void LayNeedle(const uint32_t* turned, int turnedStride, uint32_t* face, int faceStride,
               int width, int height)
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t needle = turned[y * turnedStride + x];
            uint32_t share = needle >> 24;
            if (share == 0)
                continue;
            uint32_t& pixel = face[y * faceStride + x];
            uint32_t mixed = 0;
            // The colour is already times the share: the face adds what is
            // left of it. Neither part can take a channel past 255.
            for (int shift = 0; shift < 24; shift += 8)
                mixed |= ((needle >> shift & 0xFF) + ((pixel >> shift & 0xFF) * (255 - share) + 127) / 255) << shift;
            pixel = mixed;
        }
    }
}
