#ifndef DESKCLOCK_NEEDLE_GEOMETRY_H
#define DESKCLOCK_NEEDLE_GEOMETRY_H

#include <stdint.h>

// A world transform in the platform's layout: needle point (x, y) lands on
// (x*eM11 + y*eM21 + eDx, x*eM12 + y*eM22 + eDy).
struct NeedleTransform {
    float eM11, eM12, eM21, eM22, eDx, eDy;
};

// Turns a needle, which hangs down from the middle of its bitmap's top edge,
// about (cx, cy) so that it points angleDegrees clockwise from 12.
NeedleTransform MakeNeedleTransform(double angleDegrees, int cx, int cy);

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

// Rotates a needle by hand, for platforms whose blits ignore rotation: each
// pixel of box takes the needle pixel under its centre (nearest neighbour).
// Pixels outside the needle get a white mask and a black needle pixel, so that
// the usual AND-then-OR drawing leaves the face there as it is. The outputs
// are rows of `stride` pixels, box pixel (box.left, box.top) first.
void RotateNeedle(const NeedleImage& needle, const NeedleTransform& t, int left, const PixelBox& box,
                  uint32_t* boxPixels, uint32_t* boxMask, int stride);

// Whether two drawings of the same needle on the same face, rows of `width`
// pixels (0x00RRGGBB), differ at most along the needle's edge: each pixel
// where they differ has, among the eight around it, a pixel of the other
// drawing in its own colour, and one of its own drawing in the other's colour.
// Two ways of turning may well disagree on a pixel the edge only grazes; a
// needle missing, stretched, or drawn with a fringe of another colour leaves
// pixels with no such neighbour.
bool DrawingsAgree(const uint32_t* a, const uint32_t* b, int width, int height);

#endif
