#include "box_watcher.h"

std::string WindowText(HWND window)
{
    char text[512] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

std::string MessageBoxText(HWND box)
{
    return WindowText(GetDlgItem(box, 0xFFFF));
}

BoxWatcher::BoxWatcher()
{
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventA(NULL, TRUE, FALSE, NULL);
    thread_ = CreateThread(NULL, 0, Run, this, 0, NULL);
}

BoxWatcher::~BoxWatcher()
{
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

std::vector<SeenBox> BoxWatcher::Boxes()
{
    EnterCriticalSection(&lock_);
    std::vector<SeenBox> copy = boxes_;
    LeaveCriticalSection(&lock_);
    return copy;
}

BOOL CALLBACK BoxWatcher::Visit(HWND window, LPARAM self)
{
    char className[32] = "";
    GetClassNameA(window, className, sizeof(className));
    if (lstrcmpA(className, "#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    BoxWatcher* watcher = reinterpret_cast<BoxWatcher*>(self);
    SeenBox box = { WindowText(window), MessageBoxText(window), GetWindow(window, GW_OWNER) };
    EnterCriticalSection(&watcher->lock_);
    watcher->boxes_.push_back(box);
    LeaveCriticalSection(&watcher->lock_);
    // Closing by the OK button, as a user would; the box is gone before the
    // next look, so it is recorded once.
    SendMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    for (int i = 0; i < 200 && IsWindow(window) && IsWindowVisible(window); ++i)
        Sleep(10);
    return TRUE;
}

DWORD WINAPI BoxWatcher::Run(void* self)
{
    BoxWatcher* watcher = static_cast<BoxWatcher*>(self);
    while (WaitForSingleObject(watcher->stop_, 20) == WAIT_TIMEOUT)
        EnumWindows(Visit, reinterpret_cast<LPARAM>(watcher));
    return 0;
}
