// What one repaint of the face costs, next to the five plain copies it is
// made of. Prints medians over many paints; asserts nothing.
#include <windows.h>

#include <stdio.h>

#include <stdint.h>

#include <algorithm>
#include <vector>

#include "app/clock_app.h"
#include "face/clock_face.h"
#include "face/clock_hands.h"
#include "face/dial.h"
#include "ui/clock_window.h"

static double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) / frequency.QuadPart;
}

template <typename Work>
static double MedianMicroseconds(int runs, Work work)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QueryPerformanceCounter(&start);
        work(i);
        GdiFlush();
        QueryPerformanceCounter(&end);
        times.push_back(Seconds(start, end, frequency) * 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The repaint as it was before the face was composed off the screen: the
// class brush erases the window white, then the face is drawn on it in six
// steps. Kept here to measure the new repaint against in the same run.
static LRESULT CALLBACK DirectPaintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC target = BeginPaint(window, &paint);
        DrawClockFace(target, window);
        EndPaint(window, &paint);
        return 0;
    }
    return ClockWndProc(window, message, wParam, lParam);
}

// The platform's part of a repaint: the paint messages with nothing drawn.
static LRESULT CALLBACK EmptyPaintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    return ClockWndProc(window, message, wParam, lParam);
}

int main()
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    if (!RegisterClockClass(instance) || !CreateClockWindow(instance) || !LoadClockSkin(instance))
        return 1;
    HWND window = clockApp.mainWindow;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    const int kRuns = 1000;

    // Most repaints find the needles where they were: they move once a minute.
    clockState.minuteAngle = 144;
    clockState.hourAngle = 312.0f;
    auto repaint = [&](int) {
        InvalidateRect(window, NULL, TRUE);
        UpdateWindow(window);
    };
    // Repaints answered by another window procedure for the time measured.
    auto repaintWith = [&](WNDPROC procedure) {
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
        double time = MedianMicroseconds(kRuns, repaint);
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ClockWndProc));
        return time;
    };
    double paint = repaintWith(ClockWndProc);
    double directPaint = repaintWith(DirectPaintProc);
    double emptyPaint = repaintWith(EmptyPaintProc);
    // The same two without the round window region: what the shape costs.
    SetWindowRgn(window, NULL, TRUE);
    double unshapedPaint = repaintWith(ClockWndProc);
    double unshapedEmpty = repaintWith(EmptyPaintProc);
    ApplyClockShape(window);

    HDC dc = GetDC(window);
    double draw = MedianMicroseconds(kRuns, [&](int) { DrawClockFace(dc, window); });
    // The minute needle on at every paint, as once a minute: turned afresh.
    double drawTurned = MedianMicroseconds(kRuns, [&](int i) {
        clockState.minuteAngle = (i * 6) % 360;
        DrawClockFace(dc, window);
    });
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, clockApp.minuteMask);
    double blits = MedianMicroseconds(kRuns, [&](int) {
        BitBlt(dc, 0, 0, 320, 240, clockApp.skinDC, 0, 0, SRCCOPY);
        SelectObject(memory, clockApp.minuteMask);
        BitBlt(dc, 95, 119, 128, 128, memory, 0, 0, SRCAND);
        SelectObject(memory, clockApp.minuteNeedle);
        BitBlt(dc, 95, 119, 128, 128, memory, 0, 0, SRCPAINT);
        SelectObject(memory, clockApp.hourMask);
        BitBlt(dc, 95, 119, 128, 128, memory, 0, 0, SRCAND);
        SelectObject(memory, clockApp.hourNeedle);
        BitBlt(dc, 95, 119, 128, 128, memory, 0, 0, SRCPAINT);
    });
    SelectObject(memory, previous);
    DeleteDC(memory);

    // The dial drawn from its geometry, as the clock does once for each DPI it meets.
    double dialTimes[3];
    const int dpis[3] = { 120, 144, 192 };
    for (int i = 0; i < 3; ++i) {
        int width = ScaleToDpi(kSkinWidth, dpis[i]), height = ScaleToDpi(kSkinHeight, dpis[i]);
        std::vector<uint32_t> dial(width * height);
        dialTimes[i] = MedianMicroseconds(21, [&](int) {
            DrawDial(dial.data(), width, height, (width - 2) / 2, (height - 2) / 2, dpis[i]);
        });
    }
    // The painting routine at 200 %, the window moved to such a screen.
    RECT twice = { 0, 0, 640, 480 };
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&twice));
    double draw200 = MedianMicroseconds(kRuns, [&](int) { DrawClockFace(dc, window); });
    double drawTurned200 = MedianMicroseconds(kRuns, [&](int i) {
        clockState.minuteAngle = (i * 6) % 360;
        DrawClockFace(dc, window);
    });
    ReleaseDC(window, dc);

    printf("medians of %d runs:\n", kRuns);
    printf("  repaint through WM_PAINT  %8.1f us  %5.2fx the bare blits\n", paint, paint / blits);
    printf("  erase and direct paint    %8.1f us  %5.2fx\n", directPaint, directPaint / blits);
    printf("  paint messages, no drawing %7.1f us  %5.2fx\n", emptyPaint, emptyPaint / blits);
    printf("  repaint, window unshaped  %8.1f us  %5.2fx\n", unshapedPaint, unshapedPaint / blits);
    printf("  paint messages, unshaped  %8.1f us  %5.2fx\n", unshapedEmpty, unshapedEmpty / blits);
    printf("  drawing the face alone    %8.1f us  %5.2fx\n", draw, draw / blits);
    printf("  the same, a needle turned %8.1f us  %5.2fx\n", drawTurned, drawTurned / blits);
    printf("  five bare BitBlts         %8.1f us\n", blits);
    printf("  at 200 %%, needles as they were %8.1f us  %5.2fx\n", draw200, draw200 / blits);
    printf("  at 200 %%, a needle turned %8.1f us  %5.2fx\n", drawTurned200, drawTurned200 / blits);
    for (int i = 0; i < 3; ++i)
        printf("  the dial drawn at %d %%  %8.1f us\n", dpis[i] * 100 / 96, dialTimes[i]);
    ReleaseClockApp();
    return 0;
}
