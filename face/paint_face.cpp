#include "clock_face.h"

#include <stdlib.h>

#include "app/clock_app.h"
#include "clock_hands.h"
#include "needle_geometry.h"

bool blitsRotate = true;

// Each needle's size as last read; a needle never loaded stays 0 x 0.
static BITMAP minuteSize;
static BITMAP hourSize;

static XFORM ToXform(const NeedleTransform& t)
{
    XFORM form = { t.eM11, t.eM12, t.eM21, t.eM22, t.eDx, t.eDy };
    return form;
}

// A 32-bit top-down DIB section, its pixels reachable at *bits.
static HBITMAP CreatePixels(int width, int height, uint32_t** bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = NULL;
    HBITMAP bitmap = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &pixels, NULL, 0);
    *bits = static_cast<uint32_t*>(pixels);
    return bitmap;
}

bool ProbeBlitRotation()
{
    // A 2 x 16 black bar turned 45 degrees: turned for real it leaves the far
    // corner of its bounding box white; stretched into that box, it does not.
    uint32_t* target;
    uint32_t* bar;
    HBITMAP targetBitmap = CreatePixels(24, 24, &target);
    HBITMAP barBitmap = CreatePixels(2, 16, &bar);
    HDC targetDC = CreateCompatibleDC(NULL);
    HDC barDC = CreateCompatibleDC(NULL);
    bool rotates = false;
    if (targetBitmap && barBitmap && targetDC && barDC) {
        for (int i = 0; i < 24 * 24; ++i)
            target[i] = 0xFFFFFF;
        for (int i = 0; i < 2 * 16; ++i)
            bar[i] = 0x000000;
        HGDIOBJ targetPrevious = SelectObject(targetDC, targetBitmap);
        HGDIOBJ barPrevious = SelectObject(barDC, barBitmap);
        SetGraphicsMode(targetDC, GM_ADVANCED);
        XFORM turn = { 0.70710678f, 0.70710678f, -0.70710678f, 0.70710678f, 16.0f, 4.0f };
        SetWorldTransform(targetDC, &turn);
        BitBlt(targetDC, 0, 0, 2, 16, barDC, 0, 0, SRCCOPY);
        GdiFlush();
        bool onTheBar = (target[10 * 24 + 10] & 0xFFFFFF) == 0;
        bool besideIt = (target[14 * 24 + 15] & 0xFFFFFF) == 0xFFFFFF;
        rotates = onTheBar && besideIt;
        SelectObject(targetDC, targetPrevious);
        SelectObject(barDC, barPrevious);
    }
    DeleteDC(targetDC);
    DeleteDC(barDC);
    DeleteObject(targetBitmap);
    DeleteObject(barBitmap);
    return rotates;
}

// The pixels of a bitmap that is selected nowhere, as 32-bit top-down rows.
static uint32_t* ReadPixels(HDC reference, HBITMAP bitmap, int width, int height)
{
    uint32_t* pixels = static_cast<uint32_t*>(malloc(static_cast<size_t>(width) * height * 4));
    if (!pixels)
        return NULL;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    if (GetDIBits(reference, bitmap, 0, height, pixels, &info, DIB_RGB_COLORS) != height) {
        free(pixels);
        return NULL;
    }
    return pixels;
}

// For platforms whose blits ignore rotation: the needle and its mask are
// turned pixel by pixel, then drawn unturned with the same AND and OR.
static void DrawNeedleTurnedByHand(HDC paint, HDC memory, HBITMAP needle, HBITMAP mask,
                                   const BITMAP& size, const NeedleTransform& turn)
{
    int left = NeedleLeft(size.bmWidth);
    PixelBox box = TransformedBounds(turn, left, 0, size.bmWidth, size.bmHeight);
    uint32_t* needlePixels = ReadPixels(paint, needle, size.bmWidth, size.bmHeight);
    uint32_t* maskPixels = ReadPixels(paint, mask, size.bmWidth, size.bmHeight);
    uint32_t* turnedPixels;
    uint32_t* turnedMask;
    HBITMAP turnedNeedle = CreatePixels(box.right - box.left, box.bottom - box.top, &turnedPixels);
    HBITMAP turnedMaskBitmap = CreatePixels(box.right - box.left, box.bottom - box.top, &turnedMask);
    if (needlePixels && maskPixels && turnedNeedle && turnedMaskBitmap) {
        NeedleImage image = { size.bmWidth, size.bmHeight, needlePixels, maskPixels };
        RotateNeedle(image, turn, left, box, turnedPixels, turnedMask);
        GdiFlush();
        HGDIOBJ previous = SelectObject(memory, turnedMaskBitmap);
        BitBlt(paint, box.left, box.top, box.right - box.left, box.bottom - box.top, memory, 0, 0, SRCAND);
        SelectObject(memory, turnedNeedle);
        BitBlt(paint, box.left, box.top, box.right - box.left, box.bottom - box.top, memory, 0, 0, SRCPAINT);
        SelectObject(memory, previous);
    }
    DeleteObject(turnedNeedle);
    DeleteObject(turnedMaskBitmap);
    free(needlePixels);
    free(maskPixels);
}

static void DrawNeedle(HDC paint, HDC memory, HBITMAP needle, HBITMAP mask, BITMAP& size,
                       double angle, int cx, int cy)
{
    if (!blitsRotate) {
        GetObjectA(needle, sizeof(size), &size);
        if (mask && size.bmWidth > 0)
            DrawNeedleTurnedByHand(paint, memory, needle, mask, size, MakeNeedleTransform(angle, cx, cy));
        return;
    }
    SelectObject(memory, mask);
    GetObjectA(needle, sizeof(size), &size);
    // Without its mask a needle would blacken its whole square: leave it out.
    if (!mask)
        return;
    int left = NeedleLeft(size.bmWidth);
    XFORM turn = ToXform(MakeNeedleTransform(angle, cx, cy));
    SetWorldTransform(paint, &turn);
    BitBlt(paint, left, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCAND);
    SelectObject(memory, needle);
    BitBlt(paint, left, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCPAINT);
}

void DrawClockFace(HDC target, HWND window)
{
    BitBlt(target, 0, 0, 320, 240, clockApp.skinDC, 0, 0, SRCCOPY);
    SetGraphicsMode(target, GM_ADVANCED);
    RECT client;
    GetClientRect(window, &client);
    int cx = (client.right - client.left) / 2;
    int cy = (client.bottom - client.top) / 2;

    HDC minuteDC = CreateCompatibleDC(target);
    DrawNeedle(target, minuteDC, clockApp.minuteNeedle, clockApp.minuteMask, minuteSize,
               clockState.minuteAngle, cx, cy);
    HDC hourDC = CreateCompatibleDC(target);
    DrawNeedle(target, hourDC, clockApp.hourNeedle, clockApp.hourMask, hourSize,
               clockState.hourAngle, cx, cy);
    DeleteDC(minuteDC);
    DeleteDC(hourDC);
}

void PaintClockFace(HWND window)
{
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    DrawClockFace(target, window);
    EndPaint(window, &paint);
}
