// System-folder libraries: the search restriction through GetProcAddress, and
// loading by name with the system-folder flag or the system folder's full path.
#include "runtime/system_library.h"

namespace vornelle {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD flags);

bool restrict_library_search() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return false;
    SetDefaultDllDirectoriesFunction restrictSearch =
        (SetDefaultDllDirectoriesFunction)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
    return restrictSearch && restrictSearch(LIBRARY_SEARCH_SYSTEM_FOLDER);
}

// Plain loops rather than the C library's string functions: the program links
// no C library (its import table names none, as the release-file tests check).
// It does use memcpy and memset, which the compiler expands inline; a call of
// strlen or strcpy could instead become an import of a C library.

// The length of text, or limit when it is at least that long.
static uint32_t length_within(const char* text, uint32_t limit) {
    uint32_t length = 0;
    while (length < limit && text[length]) ++length;
    return length;
}

static void copy_text(char* to, const char* from, uint32_t length) {
    for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
}

// A plain file name: a name with a folder in it would be searched for there.
static bool is_plain_name(const char* name) {
    if (!name || !*name) return false;
    for (; *name; ++name) {
        if (*name == '\\' || *name == '/' || *name == ':') return false;
    }
    return true;
}

bool system_library_path(const char* folder, const char* name, char* path, uint32_t size) {
    uint32_t folderLength = length_within(folder, size);
    uint32_t nameLength = length_within(name, size);
    if ((uint64_t)folderLength + 1 + nameLength + 1 > size) return false;
    copy_text(path, folder, folderLength);
    path[folderLength] = '\\';
    copy_text(path + folderLength + 1, name, nameLength + 1);
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
