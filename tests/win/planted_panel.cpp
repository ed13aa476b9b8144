// A Date and Time panel planted beside the clock: loaded, it leaves timedate.loaded beside itself.
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
