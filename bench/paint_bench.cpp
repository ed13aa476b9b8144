// What one repaint of the face costs, next to the five plain copies it is
// made of. Prints medians over many paints; asserts nothing.
#include <windows.h>

#include <stdio.h>

#include <algorithm>
#include <vector>

#include "app/clock_app.h"
#include "face/clock_face.h"
#include "face/clock_hands.h"

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

int main()
{
    HINSTANCE instance = GetModuleHandleA(NULL);
    if (!RegisterClockClass(instance) || !CreateClockWindow(instance) || !LoadClockSkin(instance))
        return 1;
    HWND window = clockApp.mainWindow;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    const int kRuns = 1000;

    double paint = MedianMicroseconds(kRuns, [&](int i) {
        clockState.minuteAngle = (i * 6) % 360;
        clockState.hourAngle = static_cast<float>((i * 30) % 360);
        InvalidateRect(window, NULL, TRUE);
        UpdateWindow(window);
    });

    HDC dc = GetDC(window);
    double draw = MedianMicroseconds(kRuns, [&](int i) {
        clockState.minuteAngle = (i * 6) % 360;
        clockState.hourAngle = static_cast<float>((i * 30) % 360);
        DrawClockFace(dc, window);
    });
    ModifyWorldTransform(dc, NULL, MWT_IDENTITY);
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
    ReleaseDC(window, dc);

    printf("medians of %d runs (blits %s):\n", kRuns, blitsRotate ? "rotate" : "are turned by hand");
    printf("  repaint through WM_PAINT  %8.1f us  %5.2fx the bare blits\n", paint, paint / blits);
    printf("  drawing the face alone    %8.1f us  %5.2fx\n", draw, draw / blits);
    printf("  five bare BitBlts         %8.1f us\n", blits);
    ReleaseClockApp();
    return 0;
}
