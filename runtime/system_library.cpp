// System-folder libraries: the search restriction through GetProcAddress, and
// loading by name with the system-folder flag or the system folder's full path.
#include "runtime/system_library.h"

#include <string.h>

namespace vornelle {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD flags);

bool restrict_library_search() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return false;
    SetDefaultDllDirectoriesFunction restrictSearch = (SetDefaultDllDirectoriesFunction)(
        void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
    return restrictSearch && restrictSearch(LIBRARY_SEARCH_SYSTEM_FOLDER);
}

// A plain file name: a name with a folder in it would be searched for there.
static bool is_plain_name(const char* name) {
    return name && *name && !strpbrk(name, "\\/:");
}

bool system_library_path(const char* folder, const char* name, char* path, uint32_t size) {
    size_t folderLength = strlen(folder);
    size_t nameLength = strlen(name);
    if (folderLength + 1 + nameLength + 1 > size) return false;
    memcpy(path, folder, folderLength);
    path[folderLength] = '\\';
    memcpy(path + folderLength + 1, name, nameLength + 1);
    return true;
}

HMODULE load_system_library_by_path(const char* name) {
    if (!is_plain_name(name)) return 0;
    char folder[MAX_PATH];
    UINT length = GetSystemDirectoryA(folder, sizeof folder);
    if (length == 0 || length >= sizeof folder) return 0;
    char path[MAX_PATH];
    if (!system_library_path(folder, name, path, sizeof path)) return 0;
    // The library's own imports are searched for in its folder first.
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}

HMODULE load_system_library(const char* name) {
    if (!is_plain_name(name)) return 0;
    HMODULE library = LoadLibraryExA(name, NULL, LIBRARY_SEARCH_SYSTEM_FOLDER);
    if (library || GetLastError() != ERROR_INVALID_PARAMETER) return library;
    // Windows 7 without its update knows no search flags and refuses them.
    return load_system_library_by_path(name);
}

}  // namespace vornelle
