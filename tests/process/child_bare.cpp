// Test child linked exactly as vornelle.exe is (no C start-up, entered at the
// runtime's WinMain): its main function asks for process_planted.dll, which
// lies beside it, by name, and answers in its exit code whether it was found.
#include <windows.h>

#include "process/startup.h"
#include "tests/process/child_bare.h"

int32_t vornelle::application_main(HINSTANCE, HINSTANCE, const char*, int32_t) {
    HMODULE planted = LoadLibraryA("process_planted.dll");
    if (!planted) return BARE_CHILD_NOT_FOUND;
    FreeLibrary(planted);
    return BARE_CHILD_FOUND;
}
