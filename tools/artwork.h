// Generators for deskclock's resource artwork.
//
// Each function returns the complete image of one resource file so the build
// can regenerate the artwork from source and check the committed copies.
#pragma once

#include <vector>

#include "face/dial.h"

// Needle bitmaps are square; the bar hangs from the top row down towards the
// pivot at the middle of the bitmap.
constexpr int kNeedleSize = 128;
constexpr int kNeedleBarFirstColumn = 62;
constexpr int kNeedleBarLastColumn = 65;
constexpr int kMinuteNeedleLastRow = 67;
constexpr int kHourNeedleLastRow = 32;

// 320 x 240, 24-bit .bmp of the clock face without hands.
std::vector<unsigned char> MakeSkinBitmap();

// 128 x 128, 8-bit .bmp: white, with a black bar from the top row down to
// barLastRow (inclusive). Throws std::out_of_range unless 0 <= barLastRow < 128.
std::vector<unsigned char> MakeNeedleBitmap(int barLastRow);

// .ico with images of 32, 16, 20, 24, 40 and 48 pixels, 16 colours each.
std::vector<unsigned char> MakeIconFile();
