#ifndef DESKCLOCK_TESTS_BOX_WATCHER_H
#define DESKCLOCK_TESTS_BOX_WATCHER_H

#include <windows.h>

#include <string>
#include <vector>

// A message box seen and closed by BoxWatcher.
struct SeenBox {
    std::string caption;
    std::string text;
    HWND owner;
};

// Closes message boxes as they appear, from a thread of its own, and records
// their caption, text and owner. A modal box blocks the thread that showed it,
// so a test that triggers one cannot close it itself.
class BoxWatcher {
public:
    BoxWatcher();
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;

    // Everything seen so far, in order.
    std::vector<SeenBox> Boxes();

private:
    static DWORD WINAPI Run(void* self);
    static BOOL CALLBACK Visit(HWND window, LPARAM self);

    CRITICAL_SECTION lock_;
    HANDLE stop_;
    HANDLE thread_;
    std::vector<SeenBox> boxes_;
};

// The text of a message box: its static control with id 0xFFFF.
std::string MessageBoxText(HWND box);
std::string WindowText(HWND window);

#endif
