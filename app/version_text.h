#ifndef DESKCLOCK_VERSION_TEXT_H
#define DESKCLOCK_VERSION_TEXT_H

#include <stddef.h>

// Room for the longest notice and its terminator.
enum { kVersionTextSize = 100 };

// The start-up notice for a platform: its id, major and minor version and the
// service-pack text (at least two bytes, as the platform's record holds 128).
// Returns false where no notice is shown.
bool ChooseVersionText(unsigned long platformId, unsigned long major, unsigned long minor,
                       const char* servicePack, char* text, size_t size);

#endif
