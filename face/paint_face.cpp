#include "clock_face.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "app/clock_app.h"
#include "clock_hands.h"
#include "dial.h"
#include "needle_geometry.h"

// Each needle's size as last read; a needle never loaded stays 0 x 0.
static BITMAP minuteSize;
static BITMAP hourSize;

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

// A needle as the face lays it: its pixels and mask, read once; the part of
// it that shows; that part turned to the needle's angle, kept until the
// needle moves; and room for the face beneath, where the two are mixed.
struct TurnedNeedle {
    HBITMAP needle;
    HBITMAP mask;
    double scale;
    uint32_t* pixels;
    uint32_t* maskPixels;
    PixelBox shown;
    int side;
    uint32_t* turned;
    NeedleTransform turn;
    PixelBox box;
    HBITMAP beneath;
    uint32_t* beneathBits;
};

static TurnedNeedle minuteTurned;
static TurnedNeedle hourTurned;

static void Forget(TurnedNeedle& turned)
{
    free(turned.pixels);
    free(turned.maskPixels);
    free(turned.turned);
    DeleteObject(turned.beneath);
    turned = TurnedNeedle();
}

void ReleaseTurnedNeedles()
{
    Forget(minuteTurned);
    Forget(hourTurned);
}

// Reads a needle once, and again only if the window is given another one or
// another size.
static bool Prepare(TurnedNeedle& turned, HDC reference, HBITMAP needle, HBITMAP mask,
                    const BITMAP& size, double scale)
{
    if (turned.pixels && turned.needle == needle && turned.mask == mask && turned.scale == scale)
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
    turned.side = static_cast<int>(ceil(sqrt(width * width + height * height) * scale)) + 2;
    size_t pixels = static_cast<size_t>(turned.side) * turned.side;
    turned.turned = static_cast<uint32_t*>(malloc(pixels * 4));
    BITMAPINFO info = TopDownPixels(turned.side, turned.side);
    void* bits = NULL;
    turned.beneath = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    turned.beneathBits = static_cast<uint32_t*>(bits);
    if (!turned.turned || !turned.beneath) {
        Forget(turned);
        return false;
    }
    turned.needle = needle;
    turned.mask = mask;
    turned.scale = scale;
    return true;
}

// Lays a needle on the face with smoothed edges: the needle, turned by the
// clock's own arithmetic wherever it runs, is mixed with the face beneath in
// a box of pixels, which goes back where it came from.
static void DrawNeedle(HDC target, HDC memory, HBITMAP needle, HBITMAP mask, BITMAP& size,
                       TurnedNeedle& turned, double angle, int cx, int cy, double scale)
{
    GetObjectA(needle, sizeof(size), &size);
    // Without its mask a needle would cover its whole square: leave it out.
    if (!mask || size.bmWidth <= 0 || !Prepare(turned, target, needle, mask, size, scale) ||
        turned.shown.left == turned.shown.right)
        return;
    int left = NeedleLeft(size.bmWidth);
    NeedleTransform turn = MakeNeedleTransform(angle, cx, cy, scale);
    // The turn is the costly part, and a needle moves once a minute at most.
    if (memcmp(&turn, &turned.turn, sizeof(turn)) != 0) {
        PixelBox box = TransformedBounds(turn, left + turned.shown.left, turned.shown.top,
                                         turned.shown.right - turned.shown.left,
                                         turned.shown.bottom - turned.shown.top);
        box.right = std::min(box.right, box.left + turned.side);
        box.bottom = std::min(box.bottom, box.top + turned.side);
        NeedleImage image = { size.bmWidth, size.bmHeight, turned.pixels, turned.maskPixels };
        TurnNeedle(image, turned.shown, turn, left, box, turned.turned, turned.side);
        turned.turn = turn;
        turned.box = box;
    }
    const PixelBox& box = turned.box;
    int width = box.right - box.left;
    int height = box.bottom - box.top;
    HGDIOBJ previous = SelectObject(memory, turned.beneath);
    BitBlt(memory, 0, 0, width, height, target, box.left, box.top, SRCCOPY);
    GdiFlush();
    LayNeedle(turned.turned, turned.side, turned.beneathBits, turned.side, width, height);
    BitBlt(target, box.left, box.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
}

// The centre of the client area: the needles' pivot, and the corner of the
// pixel whose middle is the dial's centre.
static POINT ClientCentre(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    POINT centre = { (client.right - client.left) / 2, (client.bottom - client.top) / 2 };
    return centre;
}

void DrawClockFace(HDC target, HWND window)
{
    UINT dpi = clockApp.dpi ? clockApp.dpi : 96;
    HDC dial = clockApp.dialDC ? clockApp.dialDC : clockApp.skinDC;
    BitBlt(target, 0, 0, ScaleToDpi(kSkinWidth, dpi), ScaleToDpi(kSkinHeight, dpi), dial, 0, 0, SRCCOPY);
    POINT centre = ClientCentre(window);
    double scale = dpi / 96.0;

    HDC minuteDC = CreateCompatibleDC(target);
    DrawNeedle(target, minuteDC, clockApp.minuteNeedle, clockApp.minuteMask, minuteSize,
               minuteTurned, clockState.minuteAngle, centre.x, centre.y, scale);
    HDC hourDC = CreateCompatibleDC(target);
    DrawNeedle(target, hourDC, clockApp.hourNeedle, clockApp.hourMask, hourSize,
               hourTurned, clockState.hourAngle, centre.x, centre.y, scale);
    DeleteDC(minuteDC);
    DeleteDC(hourDC);
}

void MakeClockDial(HWND window)
{
    ReleaseClockDial();
    if (clockApp.dpi == 96 || clockApp.dpi == 0)
        return;
    int width = ScaleToDpi(kSkinWidth, clockApp.dpi), height = ScaleToDpi(kSkinHeight, clockApp.dpi);
    BITMAPINFO info = TopDownPixels(width, height);
    void* bits = NULL;
    clockApp.dialBitmap = CreateDIBSection(NULL, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    clockApp.dialDC = CreateCompatibleDC(NULL);
    if (!clockApp.dialBitmap || !clockApp.dialDC) {
        ReleaseClockDial();
        return;
    }
    POINT centre = ClientCentre(window);
    DrawDial(static_cast<uint32_t*>(bits), width, height, centre.x, centre.y, clockApp.dpi);
    clockApp.dialDCPrevious = SelectObject(clockApp.dialDC, clockApp.dialBitmap);
}

// A bitmap kept selected in a memory context: put back, and both let go of.
static void ReleaseKeptBitmap(HDC& dc, HBITMAP& bitmap, HGDIOBJ& previous)
{
    if (previous)
        SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    dc = NULL;
    bitmap = NULL;
    previous = NULL;
}

void ReleaseClockDial()
{
    ReleaseKeptBitmap(clockApp.dialDC, clockApp.dialBitmap, clockApp.dialDCPrevious);
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
    ReleaseKeptBitmap(clockApp.faceDC, clockApp.faceBitmap, clockApp.faceDCPrevious);
}

void PaintClockFace(HWND window)
{
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    // Drawn in six steps straight onto the screen, the face could be seen
    // half-drawn; composed off the screen, it arrives whole.
    if (clockApp.faceDC) {
        DrawClockFace(clockApp.faceDC, window);
        RECT client;
        GetClientRect(window, &client);
        BitBlt(target, 0, 0, client.right, client.bottom, clockApp.faceDC, 0, 0, SRCCOPY);
    } else {
        DrawClockFace(target, window);
    }
    EndPaint(window, &paint);
}
