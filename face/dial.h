#ifndef DESKCLOCK_DIAL_H
#define DESKCLOCK_DIAL_H

#include <stdint.h>

// The face at 96 DPI: 320 x 240 pixels, the dial centred on the middle of
// pixel (159, 119), nothing of it further than 116 pixels from there.
const int kSkinWidth = 320;
const int kSkinHeight = 240;
const int kDialCentreX = 159;
const int kDialCentreY = 119;
const int kDialRadius = 116;

// A size of the clock at 96 DPI made for another: every size the clock has
// is scaled by this one rounding, to the nearest pixel.
int ScaleToDpi(int size, int dpi);

// Draws the face for a screen of the given DPI into width x height pixels,
// rows top-down, 0x00RRGGBB, the dial centred on the middle of pixel
// (centreX, centreY). It is drawn from its geometry, not enlarged: a pixel
// is the average of samples 1/8 of a 96-DPI pixel apart, except, at other
// DPIs than 96, where no mark, ring or edge crosses it: there it is its
// middle's colour, which costs a 16th or less. At 96 DPI this is the face the
// clock ships as its bitmap.
void DrawDial(uint32_t* pixels, int width, int height, int centreX, int centreY, int dpi);

#endif
