#ifndef DESKCLOCK_CLOCK_FACE_H
#define DESKCLOCK_CLOCK_FACE_H

#include <windows.h>

// Reads the local time into the needles and the three texts, and repaints
// as the timer that fired calls for.
void UpdateClockHands(HWND window, UINT_PTR timerId);
// The same reading outside any tick: needles and texts, no repaint asked for.
void ReadClockNow(HWND window);

// A monochrome mask of the pixels equal to keyColour (1 there, 0 elsewhere);
// those pixels of the bitmap turn black, ready for AND-then-OR drawing.
// Null, with nothing created, for a missing bitmap.
HBITMAP CreateNeedleMask(HBITMAP bitmap, COLORREF keyColour);

// Each needle is read once and turned only when it moves; this lets go of
// what that keeps. Called when the window goes.
void ReleaseTurnedNeedles();

// Where the window is drawn for another DPI than 96, the dial drawn at that
// size, from its geometry, to stand in for the 96-DPI bitmap; made again
// whenever the DPI changes, let go of when the window is destroyed.
void MakeClockDial(HWND window);
void ReleaseClockDial();

// The off-screen bitmap of the client size that each paint is composed in.
// Made when the window is created, let go of when it is destroyed.
void CreateFaceBuffer(HWND window);
void ReleaseFaceBuffer();

// Answers WM_PAINT: the whole face, drawn through DrawClockFace into the
// off-screen bitmap, then put on the screen with one blit.
void PaintClockFace(HWND window);
// The skin and both needles, their edges smoothed, into any device context,
// centred on the client area of the given window.
void DrawClockFace(HDC target, HWND window);

// Sizes the window for its DPI, clips it to its circle and takes it off the
// taskbar.
void ApplyClockShape(HWND window);
// Where no monitor shows any of the face (one was unplugged, a resolution
// changed), brings it whole onto the work area of the nearest monitor. Without
// a taskbar button the clock could otherwise never be reached again. A face
// that any monitor shows, even in part, stays where the user put it.
void KeepClockOnScreen(HWND window);

#endif
