#include "clock_process.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <string.h>

#include <algorithm>

std::string BuildFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string ClockExePath()
{
    return BuildFolder() + "deskclock.exe";
}

ClockProcess::ClockProcess(const std::string& exe)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info;
    std::string commandLine = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, NULL,
                        &startup, &info))
        return;
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
}

ClockProcess::~ClockProcess()
{
    if (!process_)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

namespace {
struct WindowQuery {
    DWORD processId;
    const char* className;
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data)
{
    WindowQuery* query = reinterpret_cast<WindowQuery*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != query->processId)
        return TRUE;
    char text[256] = "";
    if (query->className) {
        GetClassNameA(window, text, sizeof(text));
        if (strcmp(text, query->className) != 0)
            return TRUE;
    }
    if (query->caption) {
        GetWindowTextA(window, text, sizeof(text));
        if (strcmp(text, query->caption) != 0)
            return TRUE;
    }
    query->found = window;
    return FALSE;
}
}  // namespace

HWND FindProcessWindow(DWORD processId, const char* className, const char* caption)
{
    WindowQuery query = { processId, className, caption, NULL };
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND ClockProcess::WaitForWindow(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (process_ && GetTickCount() - start < timeoutMs) {
        // The version notice comes first; a user reads it and presses OK.
        if (HWND notice = FindProcessWindow(id_, "#32770", "Version"))
            SendMessageA(GetDlgItem(notice, IDOK), BM_CLICK, 0, 0);
        HWND window = FindProcessWindow(id_, "MyWin", NULL);
        // The window is found before its children exist.
        if (window && GetDlgItem(window, 300) && GetDlgItem(window, 301) &&
            GetDlgItem(window, 302) && IsWindowVisible(window))
            return window;
        if (WaitForSingleObject(process_, 20) != WAIT_TIMEOUT)
            break;
    }
    return NULL;
}

DWORD ClockProcess::WaitForExit(DWORD timeoutMs)
{
    DWORD code = STILL_ACTIVE;
    if (process_ && WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_, &code);
    return code;
}

namespace {
// The system's process list, in the layout the kernel returns it. The process
// totals are not filled in under Wine, so the threads' times are added up.
struct ThreadRecord {
    LARGE_INTEGER kernelTime;
    LARGE_INTEGER userTime;
    LARGE_INTEGER createTime;
    ULONG waitTime;
    PVOID startAddress;
    CLIENT_ID clientId;
    LONG priority;
    LONG basePriority;
    ULONG contextSwitches;
    ULONG threadState;
    ULONG waitReason;
};

struct ProcessRecord {
    ULONG nextEntryOffset;
    ULONG numberOfThreads;
    BYTE reserved1[48];
    UNICODE_STRING imageName;
    LONG basePriority;
    HANDLE uniqueProcessId;
    HANDLE inheritedFromProcessId;
    ULONG handleCount;
    ULONG sessionId;
    ULONG_PTR uniqueProcessKey;
    SIZE_T virtualMemoryCounters[11];
    SIZE_T privatePageCount;
    LARGE_INTEGER ioCounters[6];
};

typedef LONG(NTAPI* QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);
}  // namespace

ULONGLONG ProcessCpuTime(DWORD processId)
{
    static QuerySystemInformation query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<BYTE> buffer(1 << 20);
    ULONG needed = 0;
    const ULONG kProcessInformation = 5;
    while (query(kProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0) {
        if (buffer.size() >= (64u << 20))
            return 0;
        buffer.resize(buffer.size() * 2);
    }
    for (size_t offset = 0;;) {
        const ProcessRecord* process = reinterpret_cast<const ProcessRecord*>(&buffer[offset]);
        if (reinterpret_cast<ULONG_PTR>(process->uniqueProcessId) == processId) {
            const ThreadRecord* threads = reinterpret_cast<const ThreadRecord*>(process + 1);
            ULONGLONG total = 0;
            for (ULONG i = 0; i < process->numberOfThreads; ++i)
                total += threads[i].kernelTime.QuadPart + threads[i].userTime.QuadPart;
            return total;
        }
        if (!process->nextEntryOffset)
            return 0;
        offset += process->nextEntryOffset;
    }
}

std::vector<DWORD> ChildProcesses(DWORD parentId)
{
    std::vector<DWORD> children;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return children;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parentId)
            children.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return children;
}

namespace {
struct Resource {
    LPSTR type;
    LPSTR name;
    WORD language;
    std::vector<BYTE> data;
};

LPSTR CopyName(LPCSTR name)
{
    return IS_INTRESOURCE(name) ? const_cast<LPSTR>(name) : _strdup(name);
}

struct Collector {
    HMODULE module;
    std::vector<Resource> resources;
};

BOOL CALLBACK CollectLanguage(HMODULE module, LPCSTR type, LPCSTR name, WORD language, LONG_PTR data)
{
    Collector* collector = reinterpret_cast<Collector*>(data);
    HRSRC found = FindResourceExA(module, type, name, language);
    DWORD size = SizeofResource(module, found);
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    Resource resource = { CopyName(type), CopyName(name), language,
                          std::vector<BYTE>(bytes, bytes + size) };
    collector->resources.push_back(resource);
    return TRUE;
}

BOOL CALLBACK CollectName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR data)
{
    return EnumResourceLanguagesA(module, type, name, CollectLanguage, data);
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR data)
{
    return EnumResourceNamesA(module, type, CollectName, data);
}

bool SameName(LPCSTR a, LPCSTR b)
{
    if (IS_INTRESOURCE(a) || IS_INTRESOURCE(b))
        return a == b;
    return strcmp(a, b) == 0;
}
}  // namespace

bool CopyClockWithout(const std::string& from, const std::string& to,
                      const std::vector<ResourceName>& omit)
{
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE))
        return false;
    HMODULE module = LoadLibraryExA(from.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return false;
    Collector collector = { module, {} };
    EnumResourceTypesA(module, CollectType, reinterpret_cast<LONG_PTR>(&collector));

    // Removing a single resource is not supported everywhere, so the copy's
    // resources are all dropped and the wanted ones written back.
    bool ok = false;
    if (HANDLE update = BeginUpdateResourceA(to.c_str(), TRUE)) {
        ok = true;
        for (Resource& resource : collector.resources) {
            bool skip = false;
            for (const ResourceName& name : omit)
                skip = skip || (SameName(resource.type, name.type) &&
                                SameName(resource.name, MAKEINTRESOURCEA(name.id)));
            if (!skip)
                ok = ok && UpdateResourceA(update, resource.type, resource.name, resource.language,
                                           resource.data.data(), static_cast<DWORD>(resource.data.size()));
        }
        ok = EndUpdateResourceA(update, !ok) && ok;
    }
    FreeLibrary(module);
    return ok;
}

std::vector<HWND> TrayIcons()
{
    std::vector<HWND> icons;
    HWND tray = FindWindowA("__winex11_standalone_tray", NULL);
    for (HWND icon = tray ? GetWindow(tray, GW_CHILD) : NULL; icon; icon = GetWindow(icon, GW_HWNDNEXT))
        if (IsWindowVisible(icon))
            icons.push_back(icon);
    return icons;
}

HWND NewTrayIcon(const std::vector<HWND>& known)
{
    for (HWND icon : TrayIcons())
        if (std::find(known.begin(), known.end(), icon) == known.end())
            return icon;
    return NULL;
}

void RightPressTrayIcon(HWND icon)
{
    RECT place;
    GetWindowRect(icon, &place);
    SetCursorPos((place.left + place.right) / 2, (place.top + place.bottom) / 2);
    LPARAM at = MAKELPARAM((place.right - place.left) / 2, (place.bottom - place.top) / 2);
    PostMessageA(icon, WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageA(icon, WM_RBUTTONUP, 0, at);
}

HWND OpenMenu()
{
    for (HWND menu = FindWindowExA(NULL, NULL, "#32768", NULL); menu;
         menu = FindWindowExA(NULL, menu, "#32768", NULL))
        if (IsWindowVisible(menu))
            return menu;
    return NULL;
}
