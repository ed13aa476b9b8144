#include "clock_face.h"

#include <string.h>

#include "app/clock_app.h"
#include "clock_hands.h"

// Setting a control's text costs far more than the tick's arithmetic, and the
// angle texts change once a minute at most: only changed texts are written.
static void WriteText(HWND control, const char* previous, const char* text)
{
    if (strcmp(previous, text) != 0)
        SetWindowTextA(control, text);
}

void ReadClockNow(HWND window)
{
    UpdateClockHands(window, 0);
}

// A screen reader reads the clock's value as hours and minutes: it is told
// when they change, and only then, so that it need not ask every second. A
// window's first reading has no earlier value to differ from.
static void TellReadersOfNewMinute(HWND window, const SYSTEMTIME& now)
{
    static HWND readFor;
    static WORD shownMinute;
    WORD minute = static_cast<WORD>(now.wHour * 60 + now.wMinute);
    if (readFor == window && minute != shownMinute)
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
    readFor = window;
    shownMinute = minute;
}

void UpdateClockHands(HWND window, UINT_PTR timerId)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    TellReadersOfNewMinute(window, now);
    ClockReading reading = ReadClockHands(now.wHour, now.wMinute, now.wSecond);
    ClockState previous = clockState;
    bool repaint = TakeReading(clockState, reading, static_cast<unsigned>(timerId));
    WriteText(clockApp.readout, previous.readoutText, clockState.readoutText);
    WriteText(clockApp.exitButton, previous.minuteText, clockState.minuteText);
    WriteText(clockApp.adjustButton, previous.hourText, clockState.hourText);
    if (repaint)
        InvalidateRect(window, NULL, TRUE);
}
