// Libraries from the system folder only. The process entry first restricts the
// process's default library search to the system folder, so that no library
// the platform loads by name is taken from the program's own folder (where a
// planted copy may lie), the current folder or PATH; and the program loads the
// libraries it needs beyond its import table from the system folder by name.
#pragma once
#include <stdint.h>
#include <windows.h>

namespace vornelle {

// LOAD_LIBRARY_SEARCH_SYSTEM32: the system folder and nothing else.
const DWORD LIBRARY_SEARCH_SYSTEM_FOLDER = 0x00000800;

// SetDefaultDllDirectories(LIBRARY_SEARCH_SYSTEM_FOLDER), found through
// GetProcAddress (Windows 7 without its update lacks it); false where the
// platform has no such call or refuses it.
bool restrict_library_search();

// The library of that file name from the system folder: LoadLibraryEx with
// LIBRARY_SEARCH_SYSTEM_FOLDER, or by the system folder's full path where the
// platform refuses that flag. Null when the name holds a path or the library
// is not there; never a library from anywhere else.
HMODULE load_system_library(const char* name);
// By the system folder's full path only (what load_system_library falls back on).
HMODULE load_system_library_by_path(const char* name);

// "folder\name" into path (size bytes with the NUL); false when it does not fit.
bool system_library_path(const char* folder, const char* name, char* path, uint32_t size);

}  // namespace vornelle
