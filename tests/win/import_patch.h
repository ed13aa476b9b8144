#ifndef DESKCLOCK_TESTS_IMPORT_PATCH_H
#define DESKCLOCK_TESTS_IMPORT_PATCH_H

// Points this executable's import of a function at another one; returns the
// one it replaced, or null if the executable does not import it. The clock's
// code is linked into the test executables, so its calls go through here too.
void* PatchImport(const char* dll, const char* function, void* replacement);

#endif
