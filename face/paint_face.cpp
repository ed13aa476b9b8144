#include "clock_face.h"

#include <math.h>
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

// 32-bit pixels in rows from the top, the layout the needle arithmetic uses.
static BITMAPINFO TopDownPixels(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// A DIB section in that layout, its pixels reachable at *bits.
static HBITMAP CreatePixels(int width, int height, uint32_t** bits)
{
    BITMAPINFO info = TopDownPixels(width, height);
    void* pixels = NULL;
    HBITMAP bitmap = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &pixels, NULL, 0);
    *bits = static_cast<uint32_t*>(pixels);
    return bitmap;
}

// The pixels of a bitmap that is selected nowhere, as 32-bit top-down rows.
static uint32_t* ReadPixels(HDC reference, HBITMAP bitmap, int width, int height)
{
    uint32_t* pixels = static_cast<uint32_t*>(malloc(static_cast<size_t>(width) * height * 4));
    if (!pixels)
        return NULL;
    BITMAPINFO info = TopDownPixels(width, height);
    if (GetDIBits(reference, bitmap, 0, height, pixels, &info, DIB_RGB_COLORS) != height) {
        free(pixels);
        return NULL;
    }
    return pixels;
}

// A needle prepared for turning by hand: its pixels and mask, read once,
// the part of it that shows, and room for that part turned any way.
struct HandTurnedNeedle {
    HBITMAP needle;
    HBITMAP mask;
    uint32_t* pixels;
    uint32_t* maskPixels;
    PixelBox shown;
    int side;
    HBITMAP turnedPixels;
    HBITMAP turnedMask;
    uint32_t* turnedPixelBits;
    uint32_t* turnedMaskBits;
};

static HandTurnedNeedle minuteTurned;
static HandTurnedNeedle hourTurned;

static void Forget(HandTurnedNeedle& turned)
{
    free(turned.pixels);
    free(turned.maskPixels);
    DeleteObject(turned.turnedPixels);
    DeleteObject(turned.turnedMask);
    turned = HandTurnedNeedle();
}

void ReleaseHandTurnedNeedles()
{
    Forget(minuteTurned);
    Forget(hourTurned);
}

// Reads a needle once, and again only if the window is given another one.
static bool Prepare(HandTurnedNeedle& turned, HDC reference, HBITMAP needle, HBITMAP mask,
                    const BITMAP& size)
{
    if (turned.pixels && turned.needle == needle && turned.mask == mask)
        return true;
    Forget(turned);
    turned.pixels = ReadPixels(reference, needle, size.bmWidth, size.bmHeight);
    turned.maskPixels = ReadPixels(reference, mask, size.bmWidth, size.bmHeight);
    if (!turned.pixels || !turned.maskPixels) {
        Forget(turned);
        return false;
    }
    NeedleImage image = { size.bmWidth, size.bmHeight, turned.pixels, turned.maskPixels };
    turned.shown = OpaqueBounds(image);
    // A box turned any way fits in a square the size of its diagonal, plus a
    // pixel either side for rounding outwards.
    double width = turned.shown.right - turned.shown.left;
    double height = turned.shown.bottom - turned.shown.top;
    turned.side = static_cast<int>(ceil(sqrt(width * width + height * height))) + 2;
    turned.turnedPixels = CreatePixels(turned.side, turned.side, &turned.turnedPixelBits);
    turned.turnedMask = CreatePixels(turned.side, turned.side, &turned.turnedMaskBits);
    if (!turned.turnedPixels || !turned.turnedMask) {
        Forget(turned);
        return false;
    }
    turned.needle = needle;
    turned.mask = mask;
    return true;
}

// For platforms whose blits ignore rotation: the shown part of the needle and
// its mask are turned pixel by pixel, then drawn unturned with the same AND
// and OR.
static void DrawNeedleTurnedByHand(HDC paint, HDC memory, HandTurnedNeedle& turned, HBITMAP needle,
                                   HBITMAP mask, const BITMAP& size, const NeedleTransform& turn)
{
    if (!Prepare(turned, paint, needle, mask, size) || turned.shown.left == turned.shown.right)
        return;
    int left = NeedleLeft(size.bmWidth);
    PixelBox box = TransformedBounds(turn, left + turned.shown.left, turned.shown.top,
                                     turned.shown.right - turned.shown.left,
                                     turned.shown.bottom - turned.shown.top);
    if (box.right - box.left > turned.side)
        box.right = box.left + turned.side;
    if (box.bottom - box.top > turned.side)
        box.bottom = box.top + turned.side;
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    NeedleImage image = { size.bmWidth, size.bmHeight, turned.pixels, turned.maskPixels };
    GdiFlush();
    RotateNeedle(image, turn, left, box, turned.turnedPixelBits, turned.turnedMaskBits, turned.side);
    HGDIOBJ previous = SelectObject(memory, turned.turnedMask);
    BitBlt(paint, box.left, box.top, width, height, memory, 0, 0, SRCAND);
    SelectObject(memory, turned.turnedPixels);
    BitBlt(paint, box.left, box.top, width, height, memory, 0, 0, SRCPAINT);
    SelectObject(memory, previous);
}

// Draws a needle turned by blits under a world transform, or by hand; false
// where a blit on the turning path failed.
static bool DrawNeedle(HDC paint, HDC memory, HBITMAP needle, HBITMAP mask, BITMAP& size,
                       HandTurnedNeedle& turned, double angle, int cx, int cy, bool rotate)
{
    if (!rotate) {
        GetObjectA(needle, sizeof(size), &size);
        if (mask && size.bmWidth > 0)
            DrawNeedleTurnedByHand(paint, memory, turned, needle, mask, size,
                                   MakeNeedleTransform(angle, cx, cy));
        return true;
    }
    SelectObject(memory, mask);
    GetObjectA(needle, sizeof(size), &size);
    // Without its mask a needle would blacken its whole square: leave it out.
    if (!mask)
        return true;
    int left = NeedleLeft(size.bmWidth);
    XFORM turn = ToXform(MakeNeedleTransform(angle, cx, cy));
    SetWorldTransform(paint, &turn);
    bool masked = BitBlt(paint, left, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCAND) != FALSE;
    SelectObject(memory, needle);
    return BitBlt(paint, left, 0, size.bmWidth, size.bmHeight, memory, 0, 0, SRCPAINT) && masked;
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
    bool drawn = DrawNeedle(target, minuteDC, clockApp.minuteNeedle, clockApp.minuteMask, minuteSize,
                            minuteTurned, clockState.minuteAngle, cx, cy, blitsRotate);
    HDC hourDC = CreateCompatibleDC(target);
    drawn = DrawNeedle(target, hourDC, clockApp.hourNeedle, clockApp.hourMask, hourSize,
                       hourTurned, clockState.hourAngle, cx, cy, blitsRotate) && drawn;
    DeleteDC(minuteDC);
    DeleteDC(hourDC);
    // A platform that failed a turned blit once may fail it again: from now on
    // the needles are turned by hand, and this face is drawn afresh that way
    // before anything of it is shown.
    if (!drawn) {
        blitsRotate = false;
        ModifyWorldTransform(target, NULL, MWT_IDENTITY);
        DrawClockFace(target, window);
    }
}

bool ProbeBlitRotation(HWND window)
{
    // A small red needle on a grey face, turned 30 degrees both ways, in
    // bitmaps made like the face's: the face turns needles by blits only
    // where that draws what turning by hand does.
    const int kSide = 32;
    HDC screen = GetDC(window);
    HBITMAP needle = CreateCompatibleBitmap(screen, 8, 24);
    HBITMAP faces[2] = { CreateCompatibleBitmap(screen, kSide, kSide), CreateCompatibleBitmap(screen, kSide, kSide) };
    ReleaseDC(window, screen);
    HDC dc = CreateCompatibleDC(NULL);
    HDC memory = CreateCompatibleDC(NULL);
    HGDIOBJ previous = SelectObject(dc, needle);
    RECT whole = { 0, 0, 8, 24 }, bar = { 2, 0, 6, 20 };
    FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
    FillRect(dc, &bar, red);
    DeleteObject(red);
    SelectObject(dc, previous);
    HBITMAP mask = CreateNeedleMask(needle, RGB(255, 255, 255));
    HandTurnedNeedle turned = {};
    uint32_t* drawings[2] = {};
    for (int i = 0; i < 2 && mask; ++i) {
        BITMAP size;
        previous = SelectObject(dc, faces[i]);
        RECT face = { 0, 0, kSide, kSide };
        FillRect(dc, &face, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        SetGraphicsMode(dc, GM_ADVANCED);
        bool drawn = DrawNeedle(dc, memory, needle, mask, size, turned, 30, 12, 26, i == 0);
        ModifyWorldTransform(dc, NULL, MWT_IDENTITY);
        SelectObject(dc, previous);
        drawings[i] = drawn ? ReadPixels(dc, faces[i], kSide, kSide) : NULL;
    }
    bool rotates = drawings[0] && drawings[1] && DrawingsAgree(drawings[0], drawings[1], kSide, kSide);
    free(drawings[0]);
    free(drawings[1]);
    Forget(turned);
    DeleteDC(dc);
    DeleteDC(memory);
    DeleteObject(needle);
    DeleteObject(mask);
    DeleteObject(faces[0]);
    DeleteObject(faces[1]);
    return rotates;
}

void CreateFaceBuffer(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    HDC screen = GetDC(window);
    clockApp.faceBitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    ReleaseDC(window, screen);
    clockApp.faceDC = CreateCompatibleDC(NULL);
    if (clockApp.faceDC && clockApp.faceBitmap) {
        clockApp.faceDCPrevious = SelectObject(clockApp.faceDC, clockApp.faceBitmap);
    } else {
        ReleaseFaceBuffer();
    }
}

void ReleaseFaceBuffer()
{
    if (clockApp.faceDCPrevious)
        SelectObject(clockApp.faceDC, clockApp.faceDCPrevious);
    DeleteDC(clockApp.faceDC);
    DeleteObject(clockApp.faceBitmap);
    clockApp.faceDC = NULL;
    clockApp.faceBitmap = NULL;
    clockApp.faceDCPrevious = NULL;
}

void PaintClockFace(HWND window)
{
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    // Drawn in six steps straight onto the screen, the face could be seen
    // half-drawn; composed off the screen, it arrives whole.
    if (clockApp.faceDC) {
        DrawClockFace(clockApp.faceDC, window);
        // The needles' turn stays with the kept context: undone, or the next
        // skin and this copy would be turned with it.
        ModifyWorldTransform(clockApp.faceDC, NULL, MWT_IDENTITY);
        RECT client;
        GetClientRect(window, &client);
        BitBlt(target, 0, 0, client.right, client.bottom, clockApp.faceDC, 0, 0, SRCCOPY);
    } else {
        DrawClockFace(target, window);
    }
    EndPaint(window, &paint);
}
