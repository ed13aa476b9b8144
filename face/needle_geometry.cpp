#include "needle_geometry.h"

#include <math.h>

// Not the full value of pi: the needles have always turned by this one.
static const double kHalfTurn = 3.1416;

NeedleTransform MakeNeedleTransform(double angleDegrees, int cx, int cy)
{
    // The extra half turn points the downward-hanging needle up at 0 degrees.
    double theta = angleDegrees * kHalfTurn / 180.0 + kHalfTurn;
    NeedleTransform t;
    t.eM11 = static_cast<float>(cos(theta));
    t.eM12 = static_cast<float>(sin(theta));
    t.eM21 = static_cast<float>(-sin(theta));
    t.eM22 = static_cast<float>(cos(theta));
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
    const double xs[] = { static_cast<double>(left), static_cast<double>(left + width) };
    const double ys[] = { static_cast<double>(top), static_cast<double>(top + height) };
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    bool first = true;
    for (double x : xs) {
        for (double y : ys) {
            PointF p = TransformPoint(t, x, y);
            if (first || p.x < minX) minX = p.x;
            if (first || p.x > maxX) maxX = p.x;
            if (first || p.y < minY) minY = p.y;
            if (first || p.y > maxY) maxY = p.y;
            first = false;
        }
    }
    PixelBox box = { static_cast<int>(floor(minX)), static_cast<int>(floor(minY)),
                     static_cast<int>(ceil(maxX)), static_cast<int>(ceil(maxY)) };
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

void RotateNeedle(const NeedleImage& needle, const NeedleTransform& t, int left, const PixelBox& box,
                  uint32_t* boxPixels, uint32_t* boxMask, int stride)
{
    const double det = static_cast<double>(t.eM11) * t.eM22 - static_cast<double>(t.eM12) * t.eM21;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x) {
            uint32_t pixel = 0x000000;
            uint32_t mask = 0xFFFFFF;
            if (det != 0.0) {
                // Back from the pixel's centre into needle space.
                double dx = x + 0.5 - t.eDx;
                double dy = y + 0.5 - t.eDy;
                double u = (dx * t.eM22 - dy * t.eM21) / det - left;
                double v = (dy * t.eM11 - dx * t.eM12) / det;
                if (u >= 0 && v >= 0 && u < needle.width && v < needle.height) {
                    int index = static_cast<int>(v) * needle.width + static_cast<int>(u);
                    pixel = needle.pixels[index];
                    mask = needle.mask[index];
                }
            }
            int at = (y - box.top) * stride + (x - box.left);
            boxPixels[at] = pixel;
            boxMask[at] = mask;
        }
    }
}

// Whether a pixel of `image` next to (x, y) has the colour given.
static bool ColourNear(const uint32_t* image, int width, int height, int x, int y, uint32_t colour)
{
    for (int ny = y - 1; ny <= y + 1; ++ny)
        for (int nx = x - 1; nx <= x + 1; ++nx)
            if (nx >= 0 && ny >= 0 && nx < width && ny < height && (nx != x || ny != y) &&
                (image[ny * width + nx] & 0xFFFFFF) == colour)
                return true;
    return false;
}

bool DrawingsAgree(const uint32_t* a, const uint32_t* b, int width, int height)
{
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint32_t colourA = a[y * width + x] & 0xFFFFFF, colourB = b[y * width + x] & 0xFFFFFF;
            if (colourA != colourB && !(ColourNear(b, width, height, x, y, colourA) &&
                                        ColourNear(a, width, height, x, y, colourB)))
                return false;
        }
    }
    return true;
}
