#include "clock_face.h"

#include "app/clock_app.h"
#include "clock_hands.h"

void UpdateClockHands(HWND window, UINT_PTR timerId)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    ClockReading reading = ReadClockHands(now.wHour, now.wMinute, now.wSecond);
    bool repaint = TakeReading(clockState, reading, static_cast<unsigned>(timerId));
    SetWindowTextA(clockApp.readout, clockState.readoutText);
    SetWindowTextA(clockApp.exitButton, clockState.minuteText);
    SetWindowTextA(clockApp.adjustButton, clockState.hourText);
    if (repaint)
        InvalidateRect(window, NULL, TRUE);
}
