#include "clock_app.h"

#include <string.h>

#include "version_text.h"

static_assert(sizeof(OSVERSIONINFOEXA) == 156, "extended version record");
static_assert(sizeof(OSVERSIONINFOA) == 148, "basic version record");

void ShowVersionNotice()
{
    OSVERSIONINFOEXA info;
    memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    OSVERSIONINFOA* basic = reinterpret_cast<OSVERSIONINFOA*>(&info);
    if (!GetVersionExA(basic)) {
        // Older systems know only the basic record.
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(basic))
            return;
    }
    char text[kVersionTextSize];
    if (ChooseVersionText(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                          info.szCSDVersion, text, sizeof(text)))
        MessageBoxA(NULL, text, "Version", MB_OK);
}
