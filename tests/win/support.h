// Helpers shared by the Windows tests: boxes closed as a user would, and a
// real clock process with the windows it shows.
#ifndef DESKCLOCK_TESTS_SUPPORT_H
#define DESKCLOCK_TESTS_SUPPORT_H

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

inline std::string WindowText(HWND window)
{
    char text[512] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 5000)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(10))
        if (condition())
            return true;
    return condition();
}

// This test program's folder, where the clocks it starts are built.
inline std::string TestFolder()
{
    char path[MAX_PATH];
    std::string file(path, GetModuleFileNameA(NULL, path, MAX_PATH));
    return file.substr(0, file.find_last_of("\\/") + 1);
}

// A top-level window of a process by class and caption (either may be null).
inline HWND FindProcessWindow(DWORD processId, const char* className, const char* caption)
{
    for (HWND window = FindWindowExA(NULL, NULL, className, caption); window;
         window = FindWindowExA(NULL, window, className, caption)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return NULL;
}

// Closes message boxes of any process as they appear, from a thread of its
// own (a modal box blocks the thread that showed it), and records all but the
// start-up notice as "caption: text" until asked for them.
class BoxWatcher {
public:
    ~BoxWatcher() { Boxes(); }

    std::vector<std::string> Boxes()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return boxes_;
    }

private:
    void Watch()
    {
        for (; !stop_; Sleep(20)) {
            HWND box = FindWindowExA(NULL, NULL, "#32770", NULL);
            while (box && !IsWindowVisible(box))
                box = FindWindowExA(NULL, box, "#32770", NULL);
            if (!box)
                continue;
            // The text is the box's static control, id 0xFFFF.
            if (WindowText(box) != "Version")
                boxes_.push_back(WindowText(box) + ": " + WindowText(GetDlgItem(box, 0xFFFF)));
            SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            WaitUntil([&] { return !IsWindowVisible(box); }, 2000);
        }
    }

    std::atomic<bool> stop_{ false };
    std::vector<std::string> boxes_;
    std::thread thread_{ [this] { Watch(); } };
};

// The real clock, started from the build folder; ended, if still running,
// when the test is done.
class ClockProcess {
public:
    explicit ClockProcess(const char* exe = "deskclock.exe")
    {
        std::string file = TestFolder() + exe;
        std::string commandLine = "\"" + file + "\"";
        STARTUPINFOA startup = { sizeof(startup) };
        // Once seen to fail on a busy machine, just after another clock ended.
        for (int tries = 0; tries < 3 && !info_.hProcess; ++tries)
            if (!CreateProcessA(file.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info_))
                Sleep(500);
        EXPECT_NE(nullptr, info_.hProcess) << file << ": error " << GetLastError();
        CloseHandle(info_.hThread);
    }

    ~ClockProcess()
    {
        TerminateProcess(info_.hProcess, 1);  // refused if it has ended
        WaitForSingleObject(info_.hProcess, 5000);
        CloseHandle(info_.hProcess);
    }

    DWORD Id() const { return info_.dwProcessId; }

    // Its main window once shown with its three controls, answering the
    // start-up notice on the way as a user would; null on time-out.
    HWND WaitForWindow()
    {
        HWND window = NULL;
        // Shown only after its controls are made.
        return WaitUntil([&] {
            if (HWND notice = FindProcessWindow(Id(), "#32770", "Version"))
                SendMessageA(GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
            return (window = FindProcessWindow(Id(), "MyWin", NULL)) && IsWindowVisible(window);
        }, 20000) ? window : NULL;
    }

    // The exit code, or STILL_ACTIVE on time-out.
    DWORD WaitForExit(DWORD timeoutMs = 10000)
    {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(info_.hProcess, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_ = {};
};

inline std::vector<DWORD> ChildProcesses(DWORD parentId)
{
    std::vector<DWORD> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = { sizeof(entry) };
    // Wine's desktop, started by a program's first window when none runs, is
    // not one of the program's own.
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry))
        if (entry.th32ParentProcessID == parentId && lstrcmpiA(entry.szExeFile, "explorer.exe") != 0)
            children.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return children;
}

// The icons in Wine's stand-alone notification area.
inline std::vector<HWND> TrayIcons()
{
    std::vector<HWND> icons;
    HWND tray = FindWindowA("__winex11_standalone_tray", NULL);
    for (HWND icon = tray ? GetWindow(tray, GW_CHILD) : NULL; icon; icon = GetWindow(icon, GW_HWNDNEXT))
        if (IsWindowVisible(icon))
            icons.push_back(icon);
    return icons;
}

// An open popup menu of any process, or null.
inline HWND OpenMenu()
{
    for (HWND menu = FindWindowExA(NULL, NULL, "#32768", NULL); menu; menu = FindWindowExA(NULL, menu, "#32768", NULL))
        if (IsWindowVisible(menu))
            return menu;
    return NULL;
}

#endif
