// A library planted where a program might find it by name instead of the
// system's own: when loaded it records the fact in a file beside itself, named
// after it with ".loaded" added. Built with PLANTED_RANDOM it also exports a
// BCryptGenRandom that fills every buffer with zeros and reports success, as a
// hostile copy of the platform's generator library would.
#include <windows.h>

namespace {

void record_loading(HINSTANCE self) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(self, path, MAX_PATH - 8);
    if (length == 0 || length >= MAX_PATH - 8) return;
    lstrcatA(path, ".loaded");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) record_loading(self);
    return TRUE;
}

#if defined(PLANTED_RANDOM)
extern "C" __declspec(dllexport) LONG WINAPI BCryptGenRandom(void*, unsigned char* buffer,
                                                             ULONG size, ULONG) {
    for (ULONG i = 0; i < size; ++i) buffer[i] = 0;
    return 0;
}
#endif
