#include "version_text.h"

#include <string.h>

static const char kQuitHint[] = "\n\nPress \"ESC\" if you want to quit.";

// Bounded append that always leaves the text terminated.
static void Append(char* text, size_t size, const char* more)
{
    size_t length = strlen(text);
    if (length + 1 >= size)
        return;
    strncat(text, more, size - length - 1);
}

static void Compose(char* text, size_t size, const char* first, const char* second = "",
                    const char* third = "")
{
    text[0] = '\0';
    Append(text, size, first);
    Append(text, size, second);
    Append(text, size, third);
}

bool ChooseVersionText(unsigned long platformId, unsigned long major, unsigned long minor,
                       const char* servicePack, char* text, size_t size)
{
    if (size == 0)
        return false;
    // The second character of the service-pack text marks the later releases.
    char mark = servicePack[0] ? servicePack[1] : '\0';
    switch (platformId) {
    case 0:
        Compose(text, size, "Microsoft Win32s.", kQuitHint);
        return true;
    case 1:
        if (major == 4 && minor == 0) {
            if (mark == 'C' || mark == 'B')
                Compose(text, size, "Microsoft Windows 95", "\nOSR2.", kQuitHint);
            else
                Compose(text, size, "Microsoft Windows 95");
            return true;
        }
        if (major == 4 && minor == 10) {
            if (mark == 'A' || mark == 'B')
                Compose(text, size, "Microsoft Windows 98", "\nSE.", kQuitHint);
            else
                Compose(text, size, "Microsoft Windows 98");
            return true;
        }
        if (major == 4 && minor == 90) {
            Compose(text, size, "Microsoft Windows Millennium Edition.", kQuitHint);
            return true;
        }
        return false;
    case 2:
        Compose(text, size, "Windows NT product family.", kQuitHint);
        return true;
    }
    Compose(text, size, "Failed for version test");
    return true;
}
