// A Date and Time panel of the tests' own, put beside the clock: once loaded
// by any process it leaves a mark beside itself, timedate.loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (reason == DLL_PROCESS_ATTACH && length > 4 && length < MAX_PATH - 4) {
        lstrcpyA(path + length - 4, ".loaded");
        CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
    return TRUE;
}
