// Helpers of the Windows tests: waits, boxes closed as a user would, real clocks.
#ifndef DESKCLOCK_TESTS_SUPPORT_H
#define DESKCLOCK_TESTS_SUPPORT_H

#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

inline std::string WindowText(HWND window)
{
    char text[512] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// Waits for a condition, for a bound generous enough for a busy machine (the emulated 32-bit guest beside
// other work once took over a minute to show the clock's notice); a failure names what was awaited.
const DWORD kPatienceMs = 180000;

template <typename Condition>
testing::AssertionResult Await(const std::string& what, Condition condition, DWORD timeoutMs = kPatienceMs)
{
    for (DWORD start = GetTickCount(); !condition(); Sleep(10))
        if (GetTickCount() - start > timeoutMs)
            return condition() ? testing::AssertionSuccess()
                               : testing::AssertionFailure() << "waited " << timeoutMs / 1000 << " s for " << what;
    return testing::AssertionSuccess();
}

// A message sent to another process's window and handled there, within the bound; a failure names it.
inline testing::AssertionResult Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, const std::string& what)
{
    DWORD_PTR result = 0;
    if (SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kPatienceMs, &result))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "waited " << kPatienceMs / 1000 << " s for " << what << " (message 0x" << std::hex
                                       << message << ", " << wParam << ", " << lParam << ") to be handled";
}

inline testing::AssertionResult PressOk(HWND box, const std::string& what)
{
    testing::AssertionResult pressed = Send(GetDlgItem(box, IDOK), BM_CLICK, 0, 0, "the OK of " + what);
    return pressed ? Await(what + " to go once its OK was pressed", [&] { return !IsWindow(box); }) : pressed;
}

// This test program's folder, where the clocks it starts are built.
inline std::string TestFolder()
{
    char path[MAX_PATH];
    std::string file(path, GetModuleFileNameA(NULL, path, MAX_PATH));
    return file.substr(0, file.find_last_of("\\/") + 1);
}

// A shown top-level window of a process by class and caption (either may be null), or with `shown` false
// any such window. Only a shown window is whole: a box once its text is set, the clock once its controls are.
inline HWND FindProcessWindow(DWORD processId, const char* className, const char* caption, bool shown = true)
{
    for (HWND window = FindWindowExA(NULL, NULL, className, caption); window;
         window = FindWindowExA(NULL, window, className, caption)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && (IsWindowVisible(window) || !shown))
            return window;
    }
    return NULL;
}

// The real clock, in a job that counts every process it starts and ends them all with the test.
class ClockProcess {
public:
    explicit ClockProcess(const char* exe)
    {
        // Wine's desktop process, if it must be started, is then not the clock's.
        GetDesktopWindow();
        std::string file = TestFolder() + exe;
        std::string commandLine = "\"" + file + "\"";
        // Started from its own folder, as from a shortcut or an Explorer window.
        std::string folder = file.substr(0, file.find_last_of("\\/") + 1);
        STARTUPINFOA startup = { sizeof(startup) };
        // Once seen to fail on a busy machine, just after another clock ended.
        EXPECT_TRUE(Await(file + " to start", [&] {
            return CreateProcessA(file.c_str(), &commandLine[0], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL,
                                  folder.c_str(), &startup, &info_) != FALSE;
        }));
        EXPECT_TRUE(AssignProcessToJobObject(job_, info_.hProcess));
        ResumeThread(info_.hThread);
        CloseHandle(info_.hThread);
    }

    ~ClockProcess()
    {
        TerminateJobObject(job_, 1);
        EXPECT_TRUE(Await("the clock's processes to end", [&] { return Accounting().ActiveProcesses == 0; }));
        CloseHandle(info_.hProcess);
        CloseHandle(job_);
    }

    DWORD Id() const { return info_.dwProcessId; }

    // Its processes and those it started: running now, and ever.
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION Accounting() const
    {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts = {};
        QueryInformationJobObject(job_, JobObjectBasicAccountingInformation, &counts, sizeof(counts), NULL);
        return counts;
    }

    // Its window once shown (after its controls are made), the notice answered on the way.
    HWND WaitForWindow()
    {
        HWND window = NULL;
        EXPECT_TRUE(Await("the clock's window", [&] {
            if (HWND notice = FindProcessWindow(Id(), "#32770", "Version")) {
                EXPECT_TRUE(PressOk(notice, "the start-up notice"));
            }
            return (window = FindProcessWindow(Id(), "MyWin", NULL)) != NULL;
        }));
        return window;
    }

    DWORD WaitForExit()
    {
        DWORD code = STILL_ACTIVE;
        EXPECT_TRUE(Await("the clock to end", [&] { return GetExitCodeProcess(info_.hProcess, &code) && code != STILL_ACTIVE; }));
        return code;
    }

private:
    HANDLE job_ = CreateJobObjectA(NULL, NULL);
    PROCESS_INFORMATION info_ = {};
};

// The visible windows of other processes than this and the one given.
inline std::vector<HWND> VisibleWindows(DWORD except = 0)
{
    std::vector<HWND> found;
    for (HWND top = GetTopWindow(NULL); top; top = GetWindow(top, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(top, &owner);
        if (owner == except || owner == GetCurrentProcessId() || !IsWindowVisible(top))
            continue;
        found.push_back(top);
        for (HWND child = GetWindow(top, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (IsWindowVisible(child))
                found.push_back(child);
    }
    return found;
}

// A time as the user's short format writes it, without seconds.
inline std::wstring ShortTime(SYSTEMTIME time)
{
    wchar_t text[64] = L"";
    GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, NULL, text, 64);
    return text;
}

// What a screen reader reads of an object itself, joined by '|': for each letter its role (r), name (n), value (v),
// state (s) or number of children (c), or "(failed)".
inline std::wstring Said(IAccessible* object, const char* what)
{
    std::wstring said;
    VARIANT self = {};
    self.vt = VT_I4;
    for (const char* c = what; *c; ++c) {
        BSTR text = NULL;
        VARIANT number = {};
        HRESULT read = *c == 'n' ? object->get_accName(self, &text) : *c == 'v' ? object->get_accValue(self, &text)
                     : *c == 'r' ? object->get_accRole(self, &number) : *c == 's' ? object->get_accState(self, &number)
                                 : object->get_accChildCount(&number.lVal);
        said += (c == what ? L"" : L"|") + (FAILED(read) ? L"(failed)" : text ? std::wstring(text) : std::to_wstring(number.lVal));
        SysFreeString(text);
    }
    return said;
}

#endif
