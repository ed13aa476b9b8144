#ifndef DESKCLOCK_TESTS_CLOCK_PROCESS_H
#define DESKCLOCK_TESTS_CLOCK_PROCESS_H

#include <windows.h>

#include <string>
#include <vector>

// The folder of the running test executable; the clock is built next to it.
std::string BuildFolder();
std::string ClockExePath();

// A running copy of the clock, started by a test and ended by it.
class ClockProcess {
public:
    explicit ClockProcess(const std::string& exe = ClockExePath());
    ~ClockProcess();
    ClockProcess(const ClockProcess&) = delete;
    ClockProcess& operator=(const ClockProcess&) = delete;

    bool Started() const { return process_ != NULL; }
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_; }

    // The clock's main window once it and its three controls exist, or null.
    HWND WaitForWindow(DWORD timeoutMs = 10000);
    // The exit code once the process has ended; STILL_ACTIVE on time-out.
    DWORD WaitForExit(DWORD timeoutMs = 10000);

private:
    HANDLE process_ = NULL;
    DWORD id_ = 0;
};

// A top-level window of the given process, class and caption (either may be
// null), or null.
HWND FindProcessWindow(DWORD processId, const char* className, const char* caption);

// The visible icons in Wine's stand-alone notification area, and the first
// of them not among those known before.
std::vector<HWND> TrayIcons();
HWND NewTrayIcon(const std::vector<HWND>& known);

// A right press on a tray icon. Injected input does not reach Wine's
// stand-alone tray, so the press is handed to the icon's window itself, which
// tells its owner as usual.
void RightPressTrayIcon(HWND icon);

// An open popup menu of any process, or null.
HWND OpenMenu();

// Processor time (user + kernel) spent so far by a process, in 100-ns units.
ULONGLONG ProcessCpuTime(DWORD processId);

// The ids of the running processes whose parent is the given one.
std::vector<DWORD> ChildProcesses(DWORD parentId);

// Copies the clock with the given resources (type, id) left out: every other
// resource is carried over unchanged. True on success.
struct ResourceName { LPCSTR type; WORD id; };
bool CopyClockWithout(const std::string& from, const std::string& to,
                      const std::vector<ResourceName>& omit);

#endif
