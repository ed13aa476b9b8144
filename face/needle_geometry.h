#ifndef DESKCLOCK_NEEDLE_GEOMETRY_H
#define DESKCLOCK_NEEDLE_GEOMETRY_H

#include <stdint.h>

// A world transform in the platform's layout: needle point (x, y) lands on
// (x*eM11 + y*eM21 + eDx, x*eM12 + y*eM22 + eDy).
struct NeedleTransform {
    float eM11, eM12, eM21, eM22, eDx, eDy;
};

// Turns a needle, which hangs down from the middle of its bitmap's top edge,
// about (cx, cy) so that it points angleDegrees clockwise from 12, and makes
// it `scale` times its bitmap's size.
NeedleTransform MakeNeedleTransform(double angleDegrees, int cx, int cy, double scale = 1.0);

// Where a needle of this width is placed in needle space, left of its pivot.
int NeedleLeft(int width);

struct PointF {
    double x, y;
};
PointF TransformPoint(const NeedleTransform& t, double x, double y);

// Pixel rectangle [left, right) x [top, bottom).
struct PixelBox {
    int left, top, right, bottom;
};

// The pixels a needle rectangle can cover once transformed.
PixelBox TransformedBounds(const NeedleTransform& t, int left, int top, int width, int height);

// A needle ready to draw: rows top-down, 0x00RRGGBB. Where mask is white the
// face shows; where it is black the needle's pixel does.
struct NeedleImage {
    int width;
    int height;
    const uint32_t* pixels;
    const uint32_t* mask;
};

// The smallest box of a needle holding every pixel its mask lets through;
// empty (left == right) for a needle that shows nothing.
PixelBox OpaqueBounds(const NeedleImage& needle);

// Turns a needle onto a box of pixels with smoothed edges. Each pixel of the
// box is sampled in a grid 1/8 of a needle pixel apart (8 x 8 samples at the
// bitmap's own size); a sample takes the needle pixel under it, or nothing
// where the mask lets the face through. The pixel gets the share of its
// samples on the needle as its alpha (0 to 255) and their colours averaged
// over all of them, which is the needle's colour times that share: a
// pixel the needle covers wholly is the needle's own colour at alpha 255, one
// it does not touch is 0. Written as 0xAARRGGBB in rows of `stride` pixels,
// box pixel (box.left, box.top) first. `shown` is the needle's OpaqueBounds.
void TurnNeedle(const NeedleImage& needle, const PixelBox& shown, const NeedleTransform& t, int left,
                const PixelBox& box, uint32_t* turned, int stride);

// Lays a turned needle over the face beneath it, a box of 0x00RRGGBB pixels:
// each becomes the needle's colour mixed with the face in the needle's share.
void LayNeedle(const uint32_t* turned, int turnedStride, uint32_t* face, int faceStride,
               int width, int height);

#endif
