// A stand-in for a DLL someone left in a downloads folder, under the name of
// one the system loads for the clock's window. It does nothing: a test only
// looks at where the clock's copy of that DLL was loaded from.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
