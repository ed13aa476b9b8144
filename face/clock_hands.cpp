#include "clock_hands.h"

#include <stdio.h>
#include <string.h>

#include "resource.h"

ClockState clockState = { 0, 0.0f, true, "", "", "" };

// The hour needle moves in steps of 6 degrees, one every 12 minutes.
static float HourStep(int minuteAngle)
{
    if (minuteAngle >= 0 && minuteAngle < 72)
        return 0.0f;
    if (minuteAngle >= 72 && minuteAngle < 144)
        return 6.0f;
    if (minuteAngle >= 144 && minuteAngle < 216)
        return 12.0f;
    if (minuteAngle >= 216 && minuteAngle < 288)
        return 18.0f;
    if (minuteAngle >= 288 && minuteAngle < 360)
        return 24.0f;
    return 0.0f;
}

ClockReading ReadClockHands(unsigned hour, unsigned minute, unsigned second)
{
    ClockReading reading;
    snprintf(reading.readoutText, sizeof(reading.readoutText), "%d:%d:%d",
             static_cast<int>(hour % 12), static_cast<int>(minute), static_cast<int>(second));
    reading.minuteAngle = static_cast<int>(minute) * 6;
    reading.hourAngle = static_cast<float>(hour % 12) * 30.0f;
    reading.hourAngle += HourStep(reading.minuteAngle);
    snprintf(reading.minuteText, sizeof(reading.minuteText), "M:%d", reading.minuteAngle);
    snprintf(reading.hourText, sizeof(reading.hourText), "H:%.1f",
             static_cast<double>(reading.hourAngle));
    return reading;
}

bool TakeReading(ClockState& state, const ClockReading& reading, unsigned timerId)
{
    // The minute timer runs in step with the program's start, not with the
    // wall clock: without this the needles could lag by most of a minute, and
    // an hour set on at the same minute (a new zone, summer time) by all of it.
    if (reading.minuteAngle != state.minuteAngle || reading.hourAngle != state.hourAngle)
        state.repaintPending = true;
    state.minuteAngle = reading.minuteAngle;
    state.hourAngle = reading.hourAngle;
    memcpy(state.readoutText, reading.readoutText, sizeof(state.readoutText));
    memcpy(state.minuteText, reading.minuteText, sizeof(state.minuteText));
    memcpy(state.hourText, reading.hourText, sizeof(state.hourText));

    switch (timerId) {
    case IDT_SECOND:
        if (!state.repaintPending)
            return false;
        state.repaintPending = false;
        return true;
    case IDT_MINUTE:
        return true;
    }
    return false;
}
