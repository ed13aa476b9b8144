#ifndef DESKCLOCK_ACCESSIBLE_H
#define DESKCLOCK_ACCESSIBLE_H

#include <windows.h>
#include <oleacc.h>

// What a screen reader asking the clock's window for its client object is
// answered: the clock's own object where the platform can hand it over,
// otherwise the system's.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam);

// The clock's object for the window, made at the first request and kept, or
// null where the platform's accessibility DLLs are missing. The caller gets
// no reference of its own.
IAccessible* ClockAccessible(HWND window);

// The window is going: a reader still holding the object gets errors from
// then on, and the object goes with its last holder.
void ReleaseClockAccessible();

#endif
