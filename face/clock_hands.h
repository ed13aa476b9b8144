#ifndef DESKCLOCK_CLOCK_HANDS_H
#define DESKCLOCK_CLOCK_HANDS_H

// What the face shows for one moment of the local time.
struct ClockReading {
    int minuteAngle;      // degrees clockwise from 12
    float hourAngle;      // degrees clockwise from 12, in steps of 6
    char readoutText[16]; // "h:m:s" on a 12-hour dial, no leading zeros
    char minuteText[8];   // "M:<minuteAngle>"
    char hourText[12];    // "H:<hourAngle with one decimal>"
};

ClockReading ReadClockHands(unsigned hour, unsigned minute, unsigned second);

// The needles as last painted or about to be, and whether a repaint is owed.
struct ClockState {
    int minuteAngle;
    float hourAngle;
    bool repaintPending;
    char readoutText[16];
    char minuteText[8];
    char hourText[12];
};

extern ClockState clockState;

// Takes a reading into the state; returns whether the tick of the given
// timer repaints the face. The one-second timer repaints only when a repaint
// is owed (after start, after Adjust Time, or when either needle has moved);
// the minute timer always does.
bool TakeReading(ClockState& state, const ClockReading& reading, unsigned timerId);

#endif
