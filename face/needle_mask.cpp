#include "clock_face.h"

#ifndef _WIN64
static_assert(sizeof(BITMAP) == 24, "bitmap record of the 32-bit platform");
#endif

HBITMAP CreateNeedleMask(HBITMAP bitmap, COLORREF keyColour)
{
    BITMAP info;
    if (!GetObjectA(bitmap, sizeof(info), &info))
        return NULL;
    HBITMAP mask = CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, NULL);
    HDC source = CreateCompatibleDC(NULL);
    HDC maskDC = CreateCompatibleDC(NULL);
    HGDIOBJ sourcePrevious = SelectObject(source, bitmap);
    HGDIOBJ maskPrevious = SelectObject(maskDC, mask);

    // Colour to monochrome: pixels equal to the background colour become 1.
    SetBkColor(source, keyColour);
    BitBlt(maskDC, 0, 0, info.bmWidth, info.bmHeight, source, 0, 0, SRCCOPY);
    // Monochrome to colour maps 1 to the key and 0 to black; XOR then turns
    // exactly the key pixels black and leaves the rest as they were.
    BitBlt(source, 0, 0, info.bmWidth, info.bmHeight, maskDC, 0, 0, SRCINVERT);

    // Both bitmaps are selected elsewhere later, so they are let go of here.
    SelectObject(source, sourcePrevious);
    SelectObject(maskDC, maskPrevious);
    DeleteDC(source);
    DeleteDC(maskDC);
    return mask;
}
